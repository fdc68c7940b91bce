// The reference page dialog "Referenzseite drucken": the job file (red while its folder does not
// exist) and the two options, grid lines and OME marks. "&Ok" (enabled while the folder exists and
// an option is on) stores the choices and writes the job; "Abbre&chen" changes nothing.
#pragma once

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;
class QToolButton;

namespace kuvrion {

class Session;

class ReferencePageDialog : public QDialog {
    Q_OBJECT
public:
    explicit ReferencePageDialog(Session& session, QWidget* parent = nullptr);

private:
    void PathChanged();
    void ChooseFile();
    void UpdateOkButton();
    void Confirm();

    Session& m_session;
    QLineEdit* txtRefFile = nullptr;
    QToolButton* chkRef[2] = {};
    QPushButton* btnOK = nullptr;
    QLabel* labReason = nullptr; // why "&Ok" is not offered
    bool pathOk = false;
    bool loading = false;
};

} // namespace kuvrion
