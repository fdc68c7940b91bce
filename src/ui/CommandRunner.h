// How a window runs a long command (import, export, check) beside its event loop: the command
// runs on a worker thread while the window stays readable and its "Abbrechen" works, and the call
// returns the command's outcome once it is done. A dialog that starts such a command gets the
// main window's runner, so the command reports to the main window's status line.
#pragma once

#include "app/Outcome.h"

#include <functional>

namespace kuvrion {

struct CommandRunner {
    // Runs `command` on a worker thread and returns its outcome; the caller's events go on
    // meanwhile.
    std::function<Outcome(const std::function<Outcome()>& command)> run;
    // Asks the running command to stop.
    std::function<void()> cancel;
};

} // namespace kuvrion
