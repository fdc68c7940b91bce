#include "NumEdit.h"

#include "UiHelpers.h"
#include "base/Numbers.h"

#include <QFocusEvent>
#include <QKeyEvent>
#include <QRegularExpressionValidator>
#include <QTimer>
#include <algorithm>

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

NumEdit* NewMillimetreField(QWidget* parent, const QString& objectName, float value,
                            bool allowMinus)
{
    // The key filter keeps a minus out where none may be typed; the validator only keeps letters
    // out of pasted text, so a negative value read from the settings stays editable.
    static const QRegularExpression number(QStringLiteral("[0-9,\\-]*"));
    auto* field = new NumEdit(parent);
    field->setObjectName(objectName);
    field->SetKeyFilter(MillimetreKeys(allowMinus));
    field->setValidator(new QRegularExpressionValidator(number, field));
    field->setAlignment(Qt::AlignRight);
    field->setFixedWidth(field->fontMetrics().horizontalAdvance(QStringLiteral("0000000")) + 12);
    const QString text = DisplayMM(value);
    // Typing stops at 5 characters; a longer stored value must not be cut by merely showing it.
    field->setMaxLength(std::max<int>(5, static_cast<int>(text.size())));
    field->setText(text);
    QObject::connect(field, &NumEdit::focusLeft, field,
                     [field] { field->setText(DisplayMM(MillimetreValue(field))); });
    return field;
}

float MillimetreValue(const QLineEdit* field)
{
    return ValMM(field->text().toStdString());
}

} // namespace kuvrion
