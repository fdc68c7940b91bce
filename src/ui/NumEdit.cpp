#include "NumEdit.h"

#include "UiHelpers.h"
#include "app/Helpers.h"

#include <QFocusEvent>
#include <QKeyEvent>
#include <QTimer>

namespace kuvrion {

NumEdit::NumEdit(QWidget* parent) : QLineEdit(parent) {}

void NumEdit::focusInEvent(QFocusEvent* event)
{
    QLineEdit::focusInEvent(event);
    if (!m_selectAll)
        return;
    SelectAllText(this);
    // A click places the cursor after the focus arrived; select again once it has.
    if (event->reason() == Qt::MouseFocusReason)
        QTimer::singleShot(0, this, [this] {
            if (hasFocus())
                SelectAllText(this);
        });
}

void NumEdit::focusOutEvent(QFocusEvent* event)
{
    QLineEdit::focusOutEvent(event);
    emit focusLeft();
}

void NumEdit::keyPressEvent(QKeyEvent* event)
{
    const QString text = event->text();
    const auto mods = event->modifiers();
    const bool ctrl = mods.testFlag(Qt::ControlModifier);
    const bool alt = mods.testFlag(Qt::AltModifier);
    const bool shortcut = ctrl != alt; // Ctrl+Alt is AltGr on some systems and types characters
    if (m_filter && text.size() == 1 && text.at(0).unicode() >= 32 && !shortcut) {
        const char16_t typed = text.at(0).unicode();
        const char16_t passed = m_filter(typed);
        if (passed == 0) {
            event->accept();
            return;
        }
        if (passed != typed) {
            insert(QString(QChar(passed)));
            event->accept();
            return;
        }
    }
    QLineEdit::keyPressEvent(event);
}

NumEdit::KeyFilter MillimetreKeys(bool allowMinus)
{
    return [allowMinus](char16_t c) -> char16_t {
        if (c > 0x7fff)
            return 0;
        return static_cast<char16_t>(FilterNumKey(static_cast<std::int16_t>(c), allowMinus));
    };
}

} // namespace kuvrion
