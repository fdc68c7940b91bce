// The page table of a scanned job beside the one the plain reference model of the job rules gives
// (the model the fuzz targets check against), so tests can compare the scanner with the rules for
// any read block size.
#pragma once

#include "../../fuzz/PclReference.h"
#include "pcljob/ByteSource.h"
#include "pcljob/cPclMod.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

namespace kuvrion::test {

struct ScanTable {
    std::vector<std::int64_t> pageStart; // 1-based, Pages + 1 entries; empty without pages
    std::string head;
    std::string foot;
    std::int64_t escapes = 0;

    bool operator==(const ScanTable&) const = default;

    // The bytes of every page of `job`.
    std::vector<std::string> Pages(std::string_view job) const
    {
        std::vector<std::string> pages;
        for (std::size_t n = 1; n < pageStart.size(); ++n) {
            pages.emplace_back(
                job.substr(static_cast<std::size_t>(pageStart[n - 1] - 1),
                           static_cast<std::size_t>(pageStart[n] - pageStart[n - 1] - 1)));
        }
        return pages;
    }
};

inline void PrintTo(const ScanTable& t, std::ostream* os)
{
    *os << "pages at " << testing::PrintToString(t.pageStart) << ", head " << t.head.size()
        << " bytes, foot " << t.foot.size() << " bytes, " << t.escapes << " escapes";
}

// Scans `bytes` from memory, reading `blockSize` bytes at a time.
inline ScanTable Scan(std::string bytes, std::size_t blockSize = cPclMod::kDefaultBlockSize)
{
    cPclMod job(blockSize);
    EXPECT_TRUE(job.Connect(MakeMemorySource(std::move(bytes)), "mem"));
    ScanTable t{{}, job.PclJobHead(), job.PclJobFoot(), job.FileEscapes()};
    for (std::int32_t n = 1; n <= job.Pages(); ++n) {
        t.pageStart.push_back(job.PageSeek(n));
    }
    if (job.Pages() > 0) {
        t.pageStart.push_back(job.PageSeek(job.Pages()) + job.PageSize(job.Pages()) + 1);
    }
    return t;
}

inline ScanTable Reference(std::string_view bytes)
{
    const fuzz::RefJob model = fuzz::JobModel(bytes);
    return {model.pageStart, model.head, model.foot, model.escapes};
}

} // namespace kuvrion::test
