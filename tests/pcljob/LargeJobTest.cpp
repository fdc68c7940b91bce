// Jobs at sizes that matter: ten million pages within the memory bound, positions past the 4 GiB
// mark, and sequences of millions of characters in linear time.
#include "pcljob/PclJob.h"
#include "support/Jobs.h"
#include "support/ScanTable.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <fstream>

namespace kuvrion {
namespace {

using test::Esc;
using test::kReset;

// Peak resident memory in bytes (VmHWM), or -1 where the system does not tell.
std::int64_t PeakRss()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmHWM:", 0) == 0) {
            return std::stoll(line.substr(6)) * 1024;
        }
    }
    return -1;
}

TEST(LargeJob, TenMillionTinyPagesKeepMemoryBounded)
{
    constexpr std::int32_t kPages = 10'000'000;
    test::TempDir dir;
    {
        // Written piece by piece, so the job itself never sits in memory.
        std::ofstream out(dir / "pages.pcl", std::ios::binary);
        for (int i = 0; i < kPages / 100'000; ++i) {
            out << std::string(100'000, '\f');
        }
    }
    // Restart the peak from the current resident size where the kernel can.
    const bool fresh =
        static_cast<bool>(std::ofstream("/proc/self/clear_refs") << "5" << std::flush);
    const std::int64_t before = PeakRss();
    PclJob pcl;
    ASSERT_TRUE(pcl.Connect((dir / "pages.pcl").string()));
    const std::int64_t after = PeakRss();

    EXPECT_EQ(pcl.Pages(), kPages);
    EXPECT_EQ(pcl.PageSeek(kPages).value(), kPages);
    // AddressSanitizer multiplies the memory a test uses.
    if (KUVRION_SANITIZED || before < 0 || after < 0) {
        GTEST_SKIP() << "peak memory is not measured here (AddressSanitizer or no /proc)";
    }
    // The page table is the one thing that grows with the job.
    const std::int64_t used = after - before;
    RecordProperty("peak_growth_bytes", std::to_string(used));
    EXPECT_LT(used, (64 << 20) + 16 * std::int64_t{kPages})
        << "peak grew by " << (used >> 20) << " MiB" << (fresh ? "" : " (a lower bound)");
}

TEST(LargeJob, PositionsPastFourGiB)
{
    // Head and page 1; a raster row whose data (a hole of zeros, then FF and ESC bytes) reaches
    // past the 4 GiB mark and is skipped by its count; two pages and the foot behind it.
    constexpr std::int64_t kMark = std::int64_t{1} << 32;
    constexpr std::int64_t kDataEnd = kMark + 5; // 0-based, just after the data
    const std::string head = kReset + "A\f" + Esc("*b" + std::to_string(kDataEnd - 18) + "W");
    ASSERT_EQ(head.size(), 18u);
    test::TempDir dir;
    {
        std::ofstream job(dir / "sparse.pcl", std::ios::binary);
        job << head;
        job.seekp(kMark - 3) << "\f\x1b\fddddd";
        job.seekp(kDataEnd) << "B\fC\f" + kReset + "\r\n\r\n";
        if (!job.flush()) {
            GTEST_SKIP() << "no sparse file past 4 GiB can be made here";
        }
    }
    PclJob pcl;
    std::int64_t lastNotice = 0;
    pcl.SetProgressHandler([&](std::int32_t status, std::int64_t value, bool&) {
        lastNotice = status == 1 ? value : lastNotice;
    });
    ASSERT_TRUE(pcl.Connect((dir / "sparse.pcl").string()));
    EXPECT_EQ(pcl.FileSize(), kDataEnd + 10);
    EXPECT_EQ(pcl.PclJobHead(), kReset);
    ASSERT_EQ(pcl.Pages(), 3);
    EXPECT_EQ(test::PageOf(pcl, 1), "A");
    EXPECT_EQ(pcl.PageSeek(2).value(), 5);
    EXPECT_EQ(*pcl.PageSeek(2) + *pcl.PageSize(2), kDataEnd + 2); // the FF after "B", 1-based
    EXPECT_EQ(pcl.PageSeek(3).value(), kDataEnd + 3);
    EXPECT_EQ(test::PageOf(pcl, 3), "C");
    EXPECT_EQ(pcl.PclJobFoot(), kReset + "\r\n\r\n");
    EXPECT_EQ(pcl.FileEscapes(), 3);
    EXPECT_EQ(lastNotice, kDataEnd + 5); // the notice at the end of the data
}

// Five million value fields in one sequence across many read blocks, then three data bytes that
// are all FF: linear work takes well under a second here, a quadratic walk would run into the
// test's time limit.
TEST(LargeJob, LongSequencesScanInLinearTime)
{
    std::string fields = Esc("*b");
    for (int i = 0; i < 5'000'000; ++i) {
        fields += "1a";
    }
    fields += "3W\f\f\fX\f";
    PclJob job;
    ASSERT_TRUE(job.Connect(MakeMemorySource(fields), "long"));
    EXPECT_EQ(job.Pages(), 1);
    EXPECT_EQ(job.PageSize(1).value(), static_cast<std::int64_t>(fields.size()) - 1);
    EXPECT_EQ(job.FileEscapes(), 1);
}

} // namespace
} // namespace kuvrion
