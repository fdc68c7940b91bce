// How a running command shows its progress: status line, progress bar, fixed points for
// repainting, busy state, notes and refreshes of what the front end shows from the shared state.
// Messages are not reported: they are the command's Outcome. Every member has a do-nothing
// default, so a front end implements what it shows.
#pragma once

#include <cstdint>
#include <string>

namespace kuvrion {

class Reporter {
public:
    virtual ~Reporter() = default;

    // 0 "Bereit", 1 "Seiten werden geprüft...", 2 "Adressaten werden gesammelt...",
    // 3 "Adressaten werden exportiert...", 4 "Export wird geprüft..."; also sets the progress
    // value to 0.
    virtual void ShowStatus(std::int32_t /*state*/) {}
    virtual void ShowTotal(std::int64_t /*n*/) {}
    virtual void ShowCurrent(std::int64_t /*n*/) {}
    virtual void SetProgressMaximum(double /*max*/) {}
    virtual void SetProgressValue(double /*value*/) {}
    // A fixed point: let pending user-interface events be processed (repaint). Called once per
    // page end in the scan, per page in the import, per addressee in the export.
    virtual void ProcessEvents() {}
    // A command runs while true: a busy pointer, and no other command may start.
    virtual void SetBusy(bool /*busy*/) {}
    // The user asked to stop the running command ("Abbrechen", Escape). Asked at the fixed points
    // and for every piece written; the command then stops with the failure Cancelled.
    virtual bool Cancelled() { return false; }
    // A line of note that stays in the status line until the next one (stderr in the command-line
    // tool): which stored settings were corrected at start.
    virtual void ShowNotice(const std::string& /*text*/) {}
    // Something shown from the shared state changed: source/destination fields and colours, totals,
    // export-count field, log menu items, enabled commands. The front end re-reads the state.
    virtual void StateChanged() {}
};

} // namespace kuvrion
