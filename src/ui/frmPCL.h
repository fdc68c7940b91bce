// The print-area dialog "PCL-Einstellungen": the printable-area margins (never negative) and the
// standard and OME offsets in millimetres. "&Ok" stores the six values; "Abbre&chen" changes
// nothing.
#pragma once

#include "settings/Settings.h"

#include <QDialog>

class QLabel;
class QPushButton;

namespace kuvrion {

class Commands;
class NumEdit;

class frmPCL : public QDialog {
    Q_OBJECT
public:
    explicit frmPCL(Commands& commands, QWidget* parent = nullptr);

private:
    // The settings as the fields stand.
    Settings Choice() const;
    void UpdateOkButton();
    void Confirm();

    Commands& m_commands;
    QLabel* labReason = nullptr;
    QPushButton* btnOK = nullptr;
    NumEdit* txtMM[6] = {};
};

} // namespace kuvrion
