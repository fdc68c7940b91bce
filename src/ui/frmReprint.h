// The dialog "Nachdruck": the envelopes of the last import (number, addressee, sheets, as in the
// manifest of the full export), several of them chosen, and a destination. "&Ok" exports only the
// chosen envelopes there; the destination of the main window stays as it was. Each sheet keeps
// the sequence value it had in the full export unless "Neu nummerieren" is on.
#pragma once

#include <QDialog>

class QCheckBox;
class QLineEdit;
class QListWidget;

namespace kuvrion {

class Commands;

class frmReprint : public QDialog {
    Q_OBJECT
public:
    explicit frmReprint(Commands& commands, QWidget* parent = nullptr);

private:
    void ChooseDestination();
    void Confirm();

    Commands& m_commands;
    QListWidget* lstEnvelopes = nullptr;
    QLineEdit* txtDstFile = nullptr;
    QCheckBox* chkRenumber = nullptr;
};

} // namespace kuvrion
