// The OME layout dialog "OME-Layout": position and size of the bars in millimetres (X, Y, gap A,
// length B, thickness D) beside a picture of the sheet corner. Enter moves to the next field.
// "&Ok" stores the five values; "Abbre&chen" changes nothing.
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

class OmeLayoutDialog : public QDialog {
    Q_OBJECT
public:
    explicit OmeLayoutDialog(Session& session, QWidget* parent = nullptr);

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    // The fields' values, and the settings with them in place (for the preview).
    OmeLayoutValues Values() const;
    Settings Choice() const;
    // Refuses settings without a readable code and redraws the preview.
    void UpdateOkButton();
    void Confirm();

    Session& m_session;
    QLabel* labReason = nullptr;
    QPushButton* btnOK = nullptr;
    PreviewPanel m_preview{};
    NumEdit* txtCode[5] = {};
};

} // namespace kuvrion
