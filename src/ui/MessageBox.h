// The program's message boxes: title "Kuvrion", an OK button, the icon the kind asks for.
// Tests answer boxes without showing them: SetNextAnswer answers the next box once, SetAutoAnswer
// every box until it is switched off; a box answered that way is recorded, not shown.
#pragma once

#include "app/Outcome.h"

#include <QMessageBox>
#include <QString>
#include <vector>

namespace kuvrion {

class MessageBox {
public:
    struct Shown {
        QString text;
        MessageKind kind;
    };

    // Shows `text` modally over `parent` (CR LF is shown as a line break) and returns the button.
    static QMessageBox::StandardButton Show(QWidget* parent, const QString& text, MessageKind kind);
    // Shows the message of a command's outcome, when it has one.
    static void Tell(QWidget* parent, const Outcome& outcome);
    // The same for a settings dialog's confirm step; whether the dialog may close: its values
    // were taken (a failed write of the settings file keeps them for this run).
    static bool Confirmed(QWidget* parent, const Outcome& outcome);

    static void SetNextAnswer(QMessageBox::StandardButton answer);
    static void SetAutoAnswer(bool on);
    // The boxes answered by the test hook since the last call, oldest first.
    static std::vector<Shown> TakeShown();
};

} // namespace kuvrion
