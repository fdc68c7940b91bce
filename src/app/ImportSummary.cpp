#include "app/ImportSummary.h"

#include "app/AppState.h"
#include "app/Messages.h"

#include <algorithm>

namespace kuvrion {

std::vector<KeyFaultRow> KeyFaultRows(const AppState& state)
{
    const bool allAssigned = state.jobPages > 0 && state.assignedPages == state.jobPages;
    std::vector<KeyFaultRow> rows;
    for (std::int32_t kind = 0; kind < static_cast<std::int32_t>(state.keyFaultCounts.size());
         ++kind) {
        const std::int32_t pages = state.keyFaultCounts[static_cast<std::size_t>(kind)];
        if (kind == kKeyNotFound && allAssigned)
            rows.push_back({kind, "Folgeseiten ohne Schlüssel:", pages, false});
        else
            rows.push_back({kind, KeyFaultCaption(kind) + ":", pages, pages != 0});
    }
    return rows;
}

bool ImportHasKeyFaults(const AppState& state)
{
    const std::vector<KeyFaultRow> rows = KeyFaultRows(state);
    return std::any_of(rows.begin(), rows.end(), [](const KeyFaultRow& r) { return r.fault; });
}

} // namespace kuvrion
