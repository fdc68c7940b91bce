// The import of the chosen source: the page scan, the key search on every page, the grouping by
// addressee and the log. Also the scan alone (the command-line tool's "scan" and "skeleton").
#pragma once

#include "app/Outcome.h"
#include "app/Session.h"

namespace kuvrion {

// The import pass. Refused (SourceMissing, SettingInvalid, KeyIncomplete) as ImportBlocker()
// says. Fails when a failure stopped the pass, when it refused the job (NotPcl5, DuplexSwitch),
// and (NoPages) when it found no page: an import that read no job is never a successful one. Not
// one key found is a success whose message says where to look.
Outcome RunImport(Session& session);

// Only the page scan of the source: connects the job, sets the page count. Fails (SourceMissing,
// SourceUnreadable) when the source cannot be opened or read.
Outcome RunScan(Session& session);

// Why the last import found no key: the start marker on no page (MarkerAbsent, or MarkerNearby
// with a text like it from the first pages), or no ID after it (NoAddressees).
Failure NoKeyFound(const AppState& state);

} // namespace kuvrion
