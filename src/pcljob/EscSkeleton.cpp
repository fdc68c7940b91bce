#include "pcljob/EscSkeleton.h"

#include "pcljob/cPclMod.h"

#include <algorithm>
#include <vector>

namespace kuvrion {

void AppendPageSkeleton(std::string& out, std::string_view page, char fill)
{
    std::vector<std::int64_t> escPos;
    std::vector<std::int64_t> escLen;
    std::int32_t count = 0;
    cPclMod::GetEscStats(page, escPos, escLen, count);

    const auto size = static_cast<std::int64_t>(page.size());
    out.reserve(out.size() + page.size());
    std::int64_t e = 1; // 1-based position after the last sequence written
    for (std::int32_t i = 0; i < count; ++i) {
        const std::int64_t p = escPos[static_cast<std::size_t>(i)];
        const std::int64_t len = escLen[static_cast<std::size_t>(i)];
        if (p > e) {
            out.append(static_cast<std::size_t>(p - e), fill);
        }
        // A "W" count reaching past the end of the page is copied only up to the page end.
        const std::int64_t copy = std::min(len, size - p + 1);
        out.append(page.substr(static_cast<std::size_t>(p - 1), static_cast<std::size_t>(copy)));
        e = p + len;
    }
    if (size - e + 1 > 0) {
        out.append(static_cast<std::size_t>(size - e + 1), fill);
    }
}

std::optional<Failure> WriteEscSkeleton(const cPclMod& job, std::int32_t nPages,
                                        std::int32_t fillCode,
                                        const std::function<bool(std::string_view)>& sink)
{
    const Failure sinkFailed{FailureKind::TargetWrite};
    const char fill = static_cast<char>(static_cast<unsigned char>(fillCode));
    const std::string_view formFeed("\f", 1);
    if (!job.PclJobHead().empty() && !sink(job.PclJobHead())) {
        return sinkFailed;
    }
    std::string page;
    std::string skeleton;
    for (std::int32_t n = 1; n <= nPages; ++n) {
        if (n > 1 && !sink(formFeed)) {
            return sinkFailed;
        }
        if (!job.ReadPage(n, page)) {
            return Failure{FailureKind::PageRead, job.ReadError(), n};
        }
        skeleton.clear();
        AppendPageSkeleton(skeleton, page, fill);
        if (!skeleton.empty() && !sink(skeleton)) {
            return sinkFailed;
        }
    }
    // A last page taken from the tail had no FF of its own.
    const bool unended = nPages == job.Pages() && job.LastPageUnended();
    if ((!unended && !sink(formFeed)) || (!job.PclJobFoot().empty() && !sink(job.PclJobFoot()))) {
        return sinkFailed;
    }
    return std::nullopt;
}

} // namespace kuvrion
