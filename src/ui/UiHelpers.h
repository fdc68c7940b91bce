// Small helpers shared by the windows: text conversions between the user interface (QString) and
// the shared state (UTF-8 file names, Windows-1252 byte text), the display form of millimetres,
// field colours and the picture buttons.
#pragma once

#include <QString>
#include <cstdint>
#include <string>

class QBoxLayout;
class QDialog;
class QLabel;
class QListWidget;
class QLineEdit;
class QPushButton;
class QToolButton;
class QWidget;

namespace kuvrion {

// File names: UTF-8 in the shared state.
QString FromPath(const std::string& path);
std::string ToPath(const QString& path);
// Markers and other byte text: Windows-1252 in the shared state.
QString FromCp1252(const std::string& bytes);
std::string ToCp1252(const QString& text);

// Key filter of the millimetre fields: digits and backspace pass, "." and "," both become ",",
// "-" passes only with `allowMinus`; every other key gives 0 (swallowed).
std::int16_t FilterNumKey(std::int16_t key, bool allowMinus);

// A millimetre value as a field shows it: up to 7 significant digits, no trailing zeros, German
// decimal comma, never an exponent ("0,5", "12", "-1,5").
QString DisplayMM(float value);

// Selects the whole text of the field.
void SelectAllText(QLineEdit* field);
// The field admits digits only (typed or pasted).
void SetDigitsOnly(QLineEdit* field);
// Text colour of a path field: the normal button-text colour, or pure red (255, 0, 0) when the
// path is not usable.
void SetPathColour(QLineEdit* field, bool ok);
// Background of a field: the normal field background, or the grey of a button face.
void SetFieldGrey(QLineEdit* field, bool grey);

// A toggle shown as an indicator picture: unlit ("led_off") when off, lit ("led_on") when on.
QToolButton* NewPictureToggle(QWidget* parent, const QString& objectName);
// A button that shows only the picture `key`.
QToolButton* NewPictureButton(QWidget* parent, const QString& objectName, const QString& key);

// The buttons every settings dialog ends with.
struct DialogButtons {
    QPushButton* btnOK;
    QPushButton* btnAbbruch;
};
// Adds "&Ok" (the default button, unless `okIsDefault` is false) and "Abbre&chen" (closes the
// dialog, changing nothing) right-aligned at the end of `layout`, the dialog's main layout, and
// keeps the dialog at the size its content needs.
DialogButtons AddDialogButtons(QDialog* dialog, QBoxLayout* layout, bool okIsDefault = true);

// The line under a dialog's fields that says why "&Ok" is disabled: red, wrapped, hidden while
// there is nothing to say.
QLabel* NewReasonLabel(QWidget* parent);
// Gives every row of a filled list the height of an accented capital ("BÖHM" must not read
// "BOHM") and the list the width of its longest row.
void FitListRows(QListWidget* list);
// Shows `reason` there and enables `btnOK` exactly when it is empty.
void ShowReason(QLabel* label, QPushButton* btnOK, const QString& reason);

} // namespace kuvrion
