// A one-line field for numbers and short codes: selects its whole text when it gets the focus,
// passes every typed character through an optional key filter, and signals when it loses the focus.
#pragma once

#include <QLineEdit>
#include <functional>

namespace kuvrion {

class NumEdit : public QLineEdit {
    Q_OBJECT
public:
    // Gets a typed character and returns the character to insert, or 0 to swallow it. Control
    // characters (Tab, Enter, Backspace, Escape), shortcuts and menu keys never reach the filter.
    using KeyFilter = std::function<char16_t(char16_t)>;

    explicit NumEdit(QWidget* parent = nullptr);
    void SetKeyFilter(KeyFilter filter) { m_filter = std::move(filter); }
    void SetSelectAllOnFocus(bool on) { m_selectAll = on; }

signals:
    void focusLeft();

protected:
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    KeyFilter m_filter;
    bool m_selectAll = true;
};

// The key filter of the millimetre fields (FilterNumKey): digits pass, "." and "," become ",",
// "-" only with `allowMinus`.
NumEdit::KeyFilter MillimetreKeys(bool allowMinus);

// A millimetre field showing `value` in its display form: at most 5 characters typed (a longer
// stored value is shown whole), the millimetre key filter, and the display form again when it is
// left ("5,50" becomes "5,5", an unreadable text "0").
NumEdit* NewMillimetreField(QWidget* parent, const QString& objectName, float value,
                            bool allowMinus);
// The value of a millimetre field (ValMM of its text).
float MillimetreValue(const QLineEdit* field);

} // namespace kuvrion
