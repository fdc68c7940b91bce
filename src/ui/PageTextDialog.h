// "Seitentext": the text of one page of the imported job as the key search sees it. Windows-1252
// is shown as such, control bytes as visible symbols, the start marker and the ID found are
// highlighted, and a line tells what the import made of the page. Changes nothing.
#pragma once

#include <QDialog>

class QLabel;
class QSpinBox;
class QTextEdit;

namespace kuvrion {

class Session;

class PageTextDialog : public QDialog {
    Q_OBJECT
public:
    explicit PageTextDialog(Session& session, QWidget* parent = nullptr);

private:
    void ShowPage(int page);

    Session& m_session;
    QSpinBox* spnPage = nullptr;
    QTextEdit* txtPage = nullptr;
    QLabel* labOutcome = nullptr;
};

// A page text for the eye: Windows-1252 decoded, each control byte as its symbol from the Control
// Pictures block (CR LF and LF also end the line), so that nothing the search sees is hidden.
QString VisiblePageText(const std::string& text);

} // namespace kuvrion
