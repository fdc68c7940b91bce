// What a command did, for the front ends: it succeeded, or the failure that stopped it; and the
// message that was shown for it through the Reporter, which the command-line tool prints.
#pragma once

#include "app/Messages.h"
#include "base/Failure.h"

#include <optional>
#include <string>

namespace kuvrion {

struct Outcome {
    std::optional<Failure> failure; // nullopt when the command did what it was asked
    std::string message;            // empty when nothing was shown
    MessageKind kind = MessageKind::Plain;

    bool Ok() const { return !failure; }
};

} // namespace kuvrion
