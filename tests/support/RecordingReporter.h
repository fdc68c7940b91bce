// A reporter for tests of the commands: remembers the notices shown and every change of the busy
// state ("+" on, "-" off), and asks for a stop once a chosen status is shown.
#pragma once

#include "app/Reporter.h"

#include <cstdint>
#include <string>
#include <vector>

namespace kuvrion::test {

class RecordingReporter : public Reporter {
public:
    void SetBusy(bool busy) override { busyChanges += busy ? "+" : "-"; }
    void ShowNotice(const std::string& text) override { notices.push_back(text); }
    // Asked to stop once the status `cancelInStatus` is shown, and from then on.
    void ShowStatus(std::int32_t state) override { status = state; }
    bool Cancelled() override
    {
        cancelled = cancelled || status == cancelInStatus;
        return cancelled;
    }
    void Clear() { busyChanges.clear(); }

    std::vector<std::string> notices;
    std::int32_t status = 0;
    std::int32_t cancelInStatus = -1; // none
    bool cancelled = false;
    std::string busyChanges;
};

} // namespace kuvrion::test
