// Polling with a deadline, for tests of things that happen in other threads or processes: no
// fixed sleep that a slow machine could outrun.
#pragma once

#include <chrono>
#include <thread>

namespace kuvrion::test {

// Polls `ready` every millisecond until it holds (true) or the deadline passes (false).
template <class F> bool WaitFor(F ready, std::chrono::seconds deadline = std::chrono::seconds(60))
{
    const auto until = std::chrono::steady_clock::now() + deadline;
    while (!ready()) {
        if (std::chrono::steady_clock::now() > until)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

} // namespace kuvrion::test
