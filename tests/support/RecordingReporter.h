// A reporter for tests of the command layer: remembers the messages shown, how often the import
// status was opened and every change of the busy state ("+" on, "-" off).
#pragma once

#include "app/Reporter.h"

#include <cstdint>
#include <string>
#include <vector>

namespace kuvrion::test {

class RecordingReporter : public Reporter {
public:
    void ShowMessage(const std::string& text, MessageKind kind) override
    {
        messages.push_back({text, kind});
    }
    void ShowImportStatus() override { ++importStatusShown; }
    void SetBusy(bool busy) override { busyChanges += busy ? "+" : "-"; }
    void ShowNotice(const std::string& text) override { notices.push_back(text); }
    // Asked to stop once the status `cancelInStatus` is shown, and from then on.
    void ShowStatus(std::int32_t state) override { status = state; }
    bool Cancelled() override
    {
        cancelled = cancelled || status == cancelInStatus;
        return cancelled;
    }

    // The texts shown since the last Clear(), joined by newlines.
    std::string Shown() const
    {
        std::string all;
        for (const Message& m : messages) {
            all += (all.empty() ? "" : "\n") + m.text;
        }
        return all;
    }
    void Clear()
    {
        messages.clear();
        importStatusShown = 0;
        busyChanges.clear();
    }

    std::vector<Message> messages;
    std::vector<std::string> notices;
    std::int32_t status = 0;
    std::int32_t cancelInStatus = -1; // none
    bool cancelled = false;
    int importStatusShown = 0;
    std::string busyChanges;
};

} // namespace kuvrion::test
