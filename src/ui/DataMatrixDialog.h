// The 2D code dialog "2D-Code": whether the code is printed, its place and module size in
// millimetres, quiet zone, white clear area, job number and the content template, with the list of
// the template's fields and a live example of the content of envelope 1, sheet 1 of 2.
// "&Ok" stores the settings unless the example cannot be written (the message says why and the
// dialog stays open); "Abbre&chen" changes nothing.
#pragma once

#include <QDialog>

class QCheckBox;
class QLabel;
class QLineEdit;
class QListWidget;

namespace kuvrion {

class Session;
class NumEdit;
struct Settings;

class DataMatrixDialog : public QDialog {
    Q_OBJECT
public:
    explicit DataMatrixDialog(Session& session, QWidget* parent = nullptr);

private:
    Settings Edited() const;
    void UpdateExample();
    void InsertField();
    void Confirm();

    Session& m_session;
    QCheckBox* chkUseDmx = nullptr;
    NumEdit* txtDmxX = nullptr;
    NumEdit* txtDmxY = nullptr;
    NumEdit* txtDmxModule = nullptr;
    QLineEdit* txtDmxQuiet = nullptr;
    QCheckBox* chkDmxClear = nullptr;
    QLineEdit* txtDmxJob = nullptr;
    QLineEdit* txtDmxTemplate = nullptr;
    QListWidget* lstDmxFields = nullptr;
    QLabel* labDmxExample = nullptr;
};

} // namespace kuvrion
