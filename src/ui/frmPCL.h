// The print-area dialog "PCL-Einstellungen": the printable-area margins (never negative) and the
// standard and OME offsets in millimetres. "&Ok" stores the six values; "Abbre&chen" changes
// nothing.
#pragma once

#include <QDialog>

namespace kuvrion {

class Commands;
class NumEdit;

class frmPCL : public QDialog {
    Q_OBJECT
public:
    explicit frmPCL(Commands& commands, QWidget* parent = nullptr);

private:
    void Confirm();

    Commands& m_commands;
    NumEdit* txtMM[6] = {};
};

} // namespace kuvrion
