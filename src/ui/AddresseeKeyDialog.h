// The addressee key dialog "Adressatenschlüssel": start marker, end marker or fixed ID length, and
// whether the export blanks the key out. "&Ok" (enabled only while the entries are complete) stores
// all five key settings; "Abbre&chen" changes nothing.
#pragma once

#include <QDialog>

class QCheckBox;
class QLineEdit;
class QLabel;
class QPushButton;
class QRadioButton;

namespace kuvrion {

class Session;
class NumEdit;

class AddresseeKeyDialog : public QDialog {
    Q_OBJECT
public:
    explicit AddresseeKeyDialog(Session& session, QWidget* parent = nullptr);

private:
    void SetKeyStyle(int index);
    void UpdateOkButton();
    void Confirm();

    Session& m_session;
    NumEdit* txtBegKenn = nullptr;
    NumEdit* txtEndKenn = nullptr;
    NumEdit* txtIdLen = nullptr;
    QRadioButton* optKeyStyle[2] = {};
    QCheckBox* chkRemKey = nullptr;
    QLabel* labReason = nullptr;
    QPushButton* btnOK = nullptr;
    QPushButton* btnAbbruch = nullptr;
    int keyStyle = 0;
    bool loading = false;
};

} // namespace kuvrion
