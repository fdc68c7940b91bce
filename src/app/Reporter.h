// How commands talk to a front end: status line, progress bar, fixed points for repainting, busy
// state, messages and refreshes of what the front end shows from the shared state. Every member
// has a do-nothing default, so a front end implements what it shows.
#pragma once

#include "app/Messages.h"

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
    // A message box: UTF-8 text, OK button, the program's title.
    virtual void ShowMessage(const std::string& /*text*/, MessageKind /*kind*/) {}
    // A line of note that stays in the status line until the next one (stderr in the command-line
    // tool): which stored settings were corrected at start.
    virtual void ShowNotice(const std::string& /*text*/) {}
    // The import status dialog, opened by the import when a fault was counted.
    virtual void ShowImportStatus() {}
    // Something shown from the shared state changed: source/destination fields and colours, totals,
    // export-count field, log menu items, enabled commands. The front end re-reads the state.
    virtual void StateChanged() {}
};

} // namespace kuvrion
