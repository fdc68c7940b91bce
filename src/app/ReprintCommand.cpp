#include "app/ReprintCommand.h"

#include "marking/EnvelopeList.h"

namespace kuvrion {

Result<std::vector<bool>> ChooseEnvelopes(const Session& session, const std::string& list)
{
    const auto total = static_cast<std::int32_t>(FullExportEnvelopes(session).size());
    return ParseEnvelopeList(list, total);
}

ExportOutcome RunReprint(Session& session, const ReprintRequest& request)
{
    ExportRequest exportRequest;
    exportRequest.destination = request.destination;
    exportRequest.manifestPath = request.manifestPath;
    exportRequest.seqStart = request.seqStart;
    exportRequest.keepEnvelopes = request.envelopes;
    exportRequest.renumber = request.renumber;
    return RunExport(session, exportRequest);
}

} // namespace kuvrion
