// The reprint: chosen envelopes of the full export written again, to a file of their own, with
// the sequence values they had (closed loop) or numbered on (open loop).
#pragma once

#include "app/ExportCommand.h"
#include "base/Result.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kuvrion {

struct ReprintRequest {
    std::string destination = {};
    // By envelope number - 1, as FullExportEnvelopes() lists them; true: written again.
    std::vector<bool> envelopes = {};
    bool renumber = false;
    std::optional<std::string> manifestPath = {}; // nullopt: as the setting "manifest" says
    std::optional<std::int64_t> seqStart = {};    // nullopt: as the full export had them
};

// The envelopes a reprint list such as "3,5-7" names, out of those of the full export. Refused
// (EnvelopeList, EnvelopeOutOfRange) when the list is malformed or names another envelope.
Result<std::vector<bool>> ChooseEnvelopes(const Session& session, const std::string& list);

// The export of the chosen envelopes (refused as RunExport is).
ExportOutcome RunReprint(Session& session, const ReprintRequest& request);

} // namespace kuvrion
