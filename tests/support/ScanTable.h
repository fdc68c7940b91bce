// The page table and job facts of a scanned job, checked on every scan to keep each byte: head,
// every page with the FF that ended it, and the foot are the whole job, in order.
#pragma once

#include "pcljob/ByteSource.h"
#include "pcljob/PclJob.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

namespace kuvrion::test {

struct ScanTable {
    std::vector<std::int64_t> pageStart; // 1-based, Pages + 1 entries; empty without pages
    std::vector<std::int64_t> pageSize;  // without the FF that ends a page
    std::string head;
    std::string foot;
    std::int64_t escapes = 0;
    bool lastPageUnended = false;
    DuplexMode duplex = DuplexMode::None;
    bool duplexInPage1 = false;
    bool duplexSwitches = false;

    bool operator==(const ScanTable&) const = default;

    // The bytes of every page of `job`.
    std::vector<std::string> Pages(std::string_view job) const
    {
        std::vector<std::string> pages;
        for (std::size_t n = 1; n < pageStart.size(); ++n) {
            pages.emplace_back(job.substr(static_cast<std::size_t>(pageStart[n - 1] - 1),
                                          static_cast<std::size_t>(pageSize[n - 1])));
        }
        return pages;
    }
};

inline void PrintTo(const ScanTable& t, std::ostream* os)
{
    *os << "pages at " << testing::PrintToString(t.pageStart) << ", head " << t.head.size()
        << " bytes, foot " << t.foot.size() << " bytes, " << t.escapes << " escapes, duplex "
        << static_cast<int>(t.duplex) << t.duplexInPage1 << t.duplexSwitches;
}

// The bytes of page `n`; empty when it cannot be read.
inline std::string PageOf(const PclJob& job, std::int32_t n)
{
    std::string page;
    static_cast<void>(job.ReadPage(n, page));
    return page;
}

// Scans `bytes` from memory, reading `blockSize` bytes at a time, and checks that no byte is lost.
// A page 1 that held only the head leaves its FF between the head and page 2; the last page may
// have no FF of its own.
inline ScanTable Scan(const std::string& bytes, std::size_t blockSize = PclJob::kDefaultBlockSize)
{
    PclJob job(blockSize);
    EXPECT_TRUE(job.Connect(MakeMemorySource(bytes), "mem"));
    ScanTable t{{},
                {},
                job.PclJobHead(),
                job.PclJobFoot(),
                job.FileEscapes(),
                job.LastPageUnended(),
                job.Duplex(),
                job.DuplexSelectedInPage1(),
                job.DuplexSwitches()};
    std::string joined = t.head;
    if (job.Pages() > 0 ? job.PageSeek(1).value() == static_cast<std::int64_t>(t.head.size()) + 2
                        : !t.head.empty() && t.head.size() + 1 + t.foot.size() == bytes.size()) {
        joined += '\f';
    }
    for (std::int32_t n = 1; n <= job.Pages(); ++n) {
        t.pageStart.push_back(job.PageSeek(n).value());
        t.pageSize.push_back(job.PageSize(n).value());
        EXPECT_EQ(t.pageStart.back(), static_cast<std::int64_t>(joined.size()) + 1) << "page " << n;
        joined += PageOf(job, n);
        if (job.PageEndsWithFormFeed(n)) {
            joined += '\f';
        }
    }
    if (job.Pages() > 0) {
        t.pageStart.push_back(static_cast<std::int64_t>(joined.size()) + 1);
    }
    EXPECT_TRUE(joined + t.foot == bytes) << "head, pages, page ends and foot are not the job";
    return t;
}

// The table of `job`, after checking that every read block size gives the same one: sequences and
// W data cross block boundaries all the time in real jobs.
inline ScanTable ScanEveryWay(const std::string& job)
{
    const ScanTable t = Scan(job);
    for (const std::size_t block : {1, 2, 3, 7, 2048}) {
        EXPECT_EQ(Scan(job, block), t) << "block size " << block;
    }
    return t;
}

} // namespace kuvrion::test
