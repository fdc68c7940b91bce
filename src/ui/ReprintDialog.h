// The dialog "Nachdruck": the envelopes of the last import (number, addressee, sheets, as in the
// manifest of the full export), several of them chosen, and a destination. "&Ok" exports only the
// chosen envelopes there, through the main window's runner (so "Abbrechen" stops a running
// export); the destination of the main window stays as it was. Each sheet keeps the sequence
// value it had in the full export unless "Neu nummerieren" is on.
#pragma once

#include "CommandRunner.h"

#include <QDialog>

class QCheckBox;
class QLineEdit;
class QListWidget;

namespace kuvrion {

class Session;

class ReprintDialog : public QDialog {
    Q_OBJECT
public:
    ReprintDialog(Session& session, CommandRunner runner, QWidget* parent = nullptr);

    // While the export runs, "Abbrechen" and Escape stop it instead of closing the dialog.
    void reject() override;

private:
    void ChooseDestination();
    void Confirm();

    Session& m_session;
    CommandRunner m_runner;
    bool m_running = false;
    QListWidget* lstEnvelopes = nullptr;
    QLineEdit* txtDstFile = nullptr;
    QCheckBox* chkRenumber = nullptr;
};

} // namespace kuvrion
