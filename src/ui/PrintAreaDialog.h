// The print-area dialog "PCL-Einstellungen": the printable-area margins (never negative) and the
// standard and OME offsets in millimetres. "&Ok" stores the six values; "Abbre&chen" changes
// nothing.
#pragma once

#include "SheetPreview.h"
#include "app/SettingsCommands.h"
#include "settings/Settings.h"

#include <QDialog>

class QLabel;
class QPushButton;

namespace kuvrion {

class Session;
class NumEdit;

class PrintAreaDialog : public QDialog {
    Q_OBJECT
public:
    explicit PrintAreaDialog(Session& session, QWidget* parent = nullptr);

private:
    // The fields' values, and the settings with them in place (for the preview).
    PrintAreaValues Values() const;
    Settings Choice() const;
    // Refuses settings without a readable code and redraws the preview.
    void UpdateOkButton();
    void Confirm();

    Session& m_session;
    QLabel* labReason = nullptr;
    QPushButton* btnOK = nullptr;
    PreviewPanel m_preview{};
    NumEdit* txtMM[6] = {};
};

} // namespace kuvrion
