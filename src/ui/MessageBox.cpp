#include "MessageBox.h"

#include <optional>

namespace kuvrion {

namespace {

// Test-hook state; only tests change it.
struct Hook {
    std::optional<QMessageBox::StandardButton> next;
    bool autoAnswer = false;
    std::vector<MessageBox::Shown> shown;
};

Hook& TheHook()
{
    static Hook hook;
    return hook;
}

QMessageBox::Icon IconOf(MessageKind kind)
{
    switch (kind) {
    case MessageKind::Information:
        return QMessageBox::Information;
    case MessageKind::Warning:
        return QMessageBox::Warning;
    case MessageKind::Plain:
        break;
    }
    return QMessageBox::NoIcon;
}

} // namespace

QMessageBox::StandardButton MessageBox::Show(QWidget* parent, const QString& text, MessageKind kind)
{
    Hook& hook = TheHook();
    if (hook.next || hook.autoAnswer) {
        hook.shown.push_back({text, kind});
        const auto answer = hook.next.value_or(QMessageBox::Ok);
        hook.next.reset();
        return answer;
    }
    QString shownText = text;
    shownText.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    QMessageBox box(IconOf(kind), QStringLiteral("Kuvrion"), shownText, QMessageBox::Ok, parent);
    box.setObjectName(QStringLiteral("msgBox"));
    box.exec();
    return QMessageBox::Ok;
}

void MessageBox::SetNextAnswer(QMessageBox::StandardButton answer)
{
    TheHook().next = answer;
}

void MessageBox::SetAutoAnswer(bool on)
{
    TheHook().autoAnswer = on;
}

std::vector<MessageBox::Shown> MessageBox::TakeShown()
{
    return std::exchange(TheHook().shown, {});
}

void MessageBox::Tell(QWidget* parent, const Outcome& outcome)
{
    if (!outcome.message.empty())
        Show(parent, QString::fromStdString(outcome.message), outcome.kind);
}

bool MessageBox::Confirmed(QWidget* parent, const Outcome& outcome)
{
    Tell(parent, outcome);
    return outcome.Ok() || outcome.failure->what == FailureKind::SettingsWrite;
}

} // namespace kuvrion
