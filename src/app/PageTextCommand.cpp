#include "app/PageTextCommand.h"

#include "addressees/AdrKey.h"

#include <algorithm>

namespace kuvrion {

std::optional<PageView> ReadPageText(const Session& session, std::int32_t page)
{
    const AppState& st = session.State();
    std::string bytes;
    if (page < 1 || page > st.jobPages || !st.job.Connected() || !st.job.ReadPage(page, bytes)) {
        return std::nullopt;
    }
    PageView view;
    view.text = GetPageText(bytes);
    KeyFaultCounts counts{};
    if (const auto key = FindAdrKey(view.text, st.cfg, &counts)) {
        view.marker =
            PageView::Marker{key->span.pos, static_cast<std::int64_t>(st.cfg.keyBegin.size())};
        view.id = key->id;
    }
    for (std::size_t f = 0; f < counts.size(); ++f) {
        if (counts[f] != 0) {
            view.fault = static_cast<std::int32_t>(f);
        }
    }
    for (std::int32_t i = 0; i < st.addressees.Count() && !view.addressee; ++i) {
        const auto& pages = st.addressees.At(i).PageList();
        if (std::find(pages.begin(), pages.end(), page) != pages.end()) {
            view.addressee = i;
        }
    }
    return view;
}

} // namespace kuvrion
