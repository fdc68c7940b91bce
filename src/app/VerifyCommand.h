// "Export prüfen...": the check of a marked job with the current settings, optionally against the
// export of its source job.
#pragma once

#include "app/Outcome.h"
#include "app/Session.h"
#include "app/Verification.h"

#include <cstdint>
#include <optional>
#include <string>

namespace kuvrion {

struct VerifyRequest {
    std::string marked = {};                // the marked job
    std::optional<std::string> source = {}; // the job it was made from
    // What the check knows beyond the settings: the first sheet's sequence value (nullopt: as the
    // first sheet says), the envelopes of a reprint ("3,5-7") and whether it renumbered them.
    std::optional<std::int64_t> seqStart = {};
    std::optional<std::string> envelopes = {};
    bool renumber = false;
};

struct VerifyOutcome : Outcome {
    VerifyRun run; // the report, or why the job could not be checked
};

// Fails with CheckFailed when the check found a problem, with SeqStartRange for a start beyond
// the counter, with FeedRuleInvalid or FeedIdsUnreadable when the feeder rules cannot be used, or
// with why the job cannot be checked.
VerifyOutcome RunVerify(Session& session, const VerifyRequest& request);

} // namespace kuvrion
