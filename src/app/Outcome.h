// What a command did, for the front ends: it succeeded, or the failure that stopped it; and the
// message for it from the message table. No command shows a message itself: the desktop program
// shows `message` in a box, the command-line tool prints it.
#pragma once

#include "app/Messages.h"
#include "base/Failure.h"

#include <optional>
#include <string>

namespace kuvrion {

struct Outcome {
    std::optional<Failure> failure = {}; // nullopt when the command did what it was asked
    std::string message = {};            // empty when there is nothing to tell
    MessageKind kind = MessageKind::Plain;

    bool Ok() const { return !failure; }
};

// The outcome of `action` with `failure` (nullopt: it succeeded) and its message.
inline Outcome OutcomeOf(Action action, std::optional<Failure> failure)
{
    Message message = MessageFor(action, failure);
    return {std::move(failure), std::move(message.text), message.kind};
}

// The outcome of a command that did what it was asked and tells `message`.
inline Outcome Told(Message message)
{
    return {std::nullopt, std::move(message.text), message.kind};
}

} // namespace kuvrion
