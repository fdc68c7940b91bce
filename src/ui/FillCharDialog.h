// The fill-character dialog "Escape-Skelett": one character whose Windows-1252 code (32..255)
// replaces the text of the pages in an escape skeleton. "&Ok" (enabled only while the field holds
// such a character) stores the code; "Abbre&chen" changes nothing.
#pragma once

#include <QDialog>
#include <QString>
#include <cstdint>

class QLabel;
class QPushButton;

namespace kuvrion {

class Session;
class NumEdit;

class FillCharDialog : public QDialog {
    Q_OBJECT
public:
    explicit FillCharDialog(Session& session, QWidget* parent = nullptr);

    // The Windows-1252 code of the field's character, or -1 when there is no usable one.
    int FillCode() const;

private:
    void UpdateOkButton();
    void Confirm();

    Session& m_session;
    NumEdit* txtF = nullptr;
    QPushButton* btnOK = nullptr;
    QLabel* labReason = nullptr; // why "&Ok" is not offered
    std::int32_t m_loadedCode = 97;
    QString m_loadedText;
};

} // namespace kuvrion
