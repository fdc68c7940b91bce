// The dialog "Nachdruck": the envelopes of the last import (number, addressee, sheets, as in the
// manifest of the full export), several of them chosen, and a destination. "&Ok" exports only the
// chosen envelopes there; the destination of the main window stays as it was.
#pragma once

#include <QDialog>

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
};

} // namespace kuvrion
