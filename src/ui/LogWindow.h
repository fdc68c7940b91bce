// The window "Protokoll anzeigen": the import log of the last import, read-only, with its columns
// lined up. "Im &Editor öffnen" hands the file to the program the desktop opens text files with;
// "&Schließen" closes.
#pragma once

#include <QDialog>
#include <string>

class QPlainTextEdit;

namespace kuvrion {

struct ProgramPaths;

class LogWindow : public QDialog {
    Q_OBJECT
public:
    // `log`: the log's bytes (Windows-1252), as LogText gives them; `paths` must outlive the
    // window.
    LogWindow(const ProgramPaths& paths, const std::string& log, QWidget* parent = nullptr);

private:
    void OpenInEditor();

    const ProgramPaths& m_paths;
    QPlainTextEdit* txtLog = nullptr;
};

} // namespace kuvrion
