// The window "Protokoll anzeigen": the import log of the last import, read-only, with its columns
// lined up. "Im &Editor öffnen" hands the file to the program the desktop opens text files with;
// "&Schließen" closes.
#pragma once

#include <QDialog>
#include <string>

class QPlainTextEdit;

namespace kuvrion {

class Commands;

class LogWindow : public QDialog {
    Q_OBJECT
public:
    // `log`: the log's bytes (Windows-1252), as Commands::LogText gives them.
    LogWindow(Commands& commands, const std::string& log, QWidget* parent = nullptr);

private:
    void OpenInEditor();

    Commands& m_commands;
    QPlainTextEdit* txtLog = nullptr;
};

} // namespace kuvrion
