// The job scanner: page ends, job head and foot, W data, malformed sequences, reading pages back,
// failures and progress notices.
#include "PclJobTestSupport.h"

#include "TestConfig.h"
#include "base/Platform.h"
#include "pcljob/cPclMod.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>

namespace kuvrion {
namespace {

using test::Esc;
using test::Scan;
using test::ScanResult;

constexpr char FF = '\x0c';

TEST(PclScan, HeadPagesAndFoot)
{
    // ESC E A FF B FF ESC E
    ScanResult r = Scan(Esc("E") + "A" + FF + "B" + FF + Esc("E"));
    EXPECT_EQ(r.head, Esc("E"));
    EXPECT_EQ(r.pages, (std::vector<std::string>{"A", "B"}));
    EXPECT_EQ(r.seek, (std::vector<std::int64_t>{3, 5}));
    EXPECT_EQ(r.foot, Esc("E"));

    // ESC E FF A FF: the head-only first page is dropped, the foot is empty.
    r = Scan(Esc("E") + FF + "A" + FF);
    EXPECT_EQ(r.head, Esc("E"));
    EXPECT_EQ(r.pages, (std::vector<std::string>{"A"}));
    EXPECT_EQ(r.seek, (std::vector<std::int64_t>{4}));
    EXPECT_EQ(r.foot, "");

    // No reset on page 1: no head, page 1 from byte 1; a tail without reset belongs to nothing.
    r = Scan(std::string("A") + FF + FF + "B" + FF + "tail" + Esc("E"));
    EXPECT_EQ(r.head, "");
    EXPECT_EQ(r.pages, (std::vector<std::string>{"A", "", "B"})) << "an empty page stays a page";
    EXPECT_EQ(r.seek[0], 1);
    EXPECT_EQ(r.foot, "");

    // The reset in page 1 is searched as bytes; the head takes everything before it (PJL).
    r = Scan(Esc("%-12345X") + "@PJL ENTER LANGUAGE=PCL\r\n" + Esc("E") + Esc("&l0O") + "X" + FF);
    EXPECT_EQ(r.head, Esc("%-12345X") + "@PJL ENTER LANGUAGE=PCL\r\n" + Esc("E"));
    EXPECT_EQ(r.pages, (std::vector<std::string>{Esc("&l0O") + "X"}));
    EXPECT_EQ(r.escapes, 3);

    // A long first page: the reset may sit anywhere, also across the pieces it is searched in.
    for (std::size_t pad : {65535u, 65536u, 200000u}) {
        r = Scan(std::string(pad, 'x') + Esc("E") + "A" + FF);
        EXPECT_EQ(r.head.size(), pad + 2) << pad;
        EXPECT_EQ(r.pages, (std::vector<std::string>{"A"})) << pad;
    }

    // Without any page end there are no pages, no head and no foot.
    r = Scan(Esc("E") + "text only" + Esc("E"));
    EXPECT_TRUE(r.connected);
    EXPECT_TRUE(r.pages.empty());
    EXPECT_EQ(r.head, "");
    EXPECT_EQ(r.foot, "");
    EXPECT_EQ(r.escapes, 2);
}

TEST(PclScan, BinaryDataIsSkippedByCount)
{
    // FF and ESC inside W data are neither page ends nor sequences; ESC*b2m3W counts 3 bytes.
    ScanResult r = Scan(Esc("E") + Esc("*b2m3W") + "\x0c\x1b\x0c" + "A" + FF);
    EXPECT_EQ(r.pages, (std::vector<std::string>{Esc("*b2m3W") + "\x0c\x1b\x0c" + "A"}));
    EXPECT_EQ(r.escapes, 2);

    // The count is read as far as it forms a number, rounded with halves to even; a combined
    // sequence counts its own W field only. Five FF bytes follow: those not taken as data end
    // pages, so the count is 5 - pages.
    const std::vector<std::pair<std::string, std::size_t>> counts = {
        {"2.5", 2}, {"3.5", 4}, {"2.6", 3}, {"1.5.3", 2}, {"+-3", 0},
        {"-5", 0},  {"0.4", 0}, {"4", 4},   {"2m3", 3},   {"", 0}};
    for (const auto& [count, expected] : counts) {
        r = Scan(Esc("*b" + count + "W") + std::string(5, FF));
        EXPECT_EQ(r.pages.size(), 5 - expected) << count;
    }

    // Data that ends exactly with the file completes its sequence.
    r = Scan(std::string("A") + FF + Esc("*b2W") + "\x0c\x0c");
    EXPECT_EQ(r.pages.size(), 1u);
    EXPECT_EQ(r.escapes, 1);

    // A negative count is 0: the scan goes on right after the W.
    r = Scan(Esc("*b-5W") + "A" + FF + "B" + FF);
    EXPECT_EQ(r.pages, (std::vector<std::string>{Esc("*b-5W") + "A", "B"}));

    // A count past the end of the file ends the scan as at the end of the data; also an absurd
    // one that must not overflow.
    for (const char* count : {"999", "2147483647", "99999999999999999999999999", "1e9"}) {
        r = Scan(Esc("E") + "A" + FF + "B" + Esc(std::string("*b") + count + "W") + "xyz" + FF +
                 "C" + FF);
        EXPECT_EQ(r.pages, (std::vector<std::string>{"A"})) << count;
        EXPECT_EQ(r.foot, "") << count;
        EXPECT_EQ(r.escapes, 1) << count;
    }
}

TEST(PclScan, MalformedSequencesDoNotEndTheScan)
{
    ScanResult r = Scan(test::ReadFile(KUVRION_TEST_DATA_DIR "/malformed-sequence-mid-job.pcl"));
    EXPECT_EQ(r.head, Esc("E"));
    EXPECT_EQ(r.pages, (std::vector<std::string>{"A" + Esc("&l1") + "\x01" + "B", "C", "D"}));
    EXPECT_EQ(r.foot, Esc("E"));
    EXPECT_EQ(r.escapes, 3);

    // An FF that closes a sequence as c1, c2 or offending character still ends the page; an
    // unexpected c2 ends its sequence after three characters.
    r = Scan(std::string("A") + Esc("\x0c") + "B" + Esc("&\x0c") + "C" + Esc("&l1\x0c") + "D" +
             Esc("&.") + "5" + FF + Esc("E"));
    EXPECT_EQ(r.pages, (std::vector<std::string>{"A\x1b", "B\x1b&", "C\x1b&l1", "D\x1b&.5"}));
    EXPECT_EQ(r.escapes, 5);
    EXPECT_EQ(r.foot, Esc("E"));
}

TEST(PclScan, FixtureFiles)
{
    cPclMod job;
    ASSERT_TRUE(job.Connect(KUVRION_TEST_DATA_DIR "/raster-ff-across-block.pcl"));
    EXPECT_EQ(job.Pages(), 2);
    EXPECT_EQ(job.PclJobHead(), Esc("%-12345X") + "@PJL ENTER LANGUAGE=PCL\r\n" + Esc("E"));
    EXPECT_EQ(job.Page(2), "Seite zwei");
    const std::string bytes = test::ReadFile(KUVRION_TEST_DATA_DIR "/raster-ff-across-block.pcl");
    EXPECT_EQ(job.PageSeek(1) + job.PageSize(1),
              static_cast<std::int64_t>(bytes.find("Ende\x0c")) + 5);
    EXPECT_EQ(job.PclJobFoot(), Esc("E") + Esc("%-12345X"));
    EXPECT_EQ(job.FileEscapes(), 8);

    ASSERT_TRUE(job.Connect(KUVRION_TEST_DATA_DIR "/esc-at-block-end.pcl"));
    EXPECT_EQ(job.Pages(), 2);
    EXPECT_EQ(job.Page(1), std::string(2045, 'x') + Esc("*p100X") + "A");
    EXPECT_EQ(job.FileEscapes(), 3);

    ASSERT_TRUE(job.Connect(KUVRION_TEST_DATA_DIR "/w-count-past-end.pcl"));
    EXPECT_EQ(job.Pages(), 1);
    EXPECT_EQ(job.Page(1), "A");
    EXPECT_EQ(job.PclJobFoot(), "");
}

TEST(PclScan, PageNumbersOutsideTheJob)
{
    cPclMod job;
    ASSERT_TRUE(job.Connect(MakeMemorySource(Esc("E") + "A" + FF + "B" + FF), "mem"));
    for (std::int32_t n : {0, -1, 3, std::numeric_limits<std::int32_t>::min()}) {
        EXPECT_FALSE(job.ValidPageNr(n));
        EXPECT_EQ(job.PageSeek(n), 0);
        EXPECT_EQ(job.PageSize(n), 0);
        EXPECT_EQ(job.Page(n), "");
    }
    EXPECT_EQ(job.Page(2), "B");
}

TEST(PclScan, FilesThatCannotBeScanned)
{
    const auto dir = test::TempDir("scan-files");
    cPclMod job;
    ASSERT_TRUE(job.Connect(MakeMemorySource(std::string("A") + FF), "mem"));
    EXPECT_FALSE(job.Connect(PathToUtf8(dir / "missing.pcl")));
    EXPECT_FALSE(job.Connected());
    EXPECT_EQ(job.FileName(), "");
    EXPECT_EQ(job.Pages(), 0);
    EXPECT_FALSE(job.Connect(PathToUtf8(dir))) << "a folder is no job";
    EXPECT_FALSE(job.Connected());

    // An empty file connects without pages; a read-only file is fine (it is only read).
    const auto empty = dir / "empty.pcl";
    test::WriteFile(empty, "");
    EXPECT_TRUE(job.Connect(PathToUtf8(empty)));
    EXPECT_TRUE(job.Connected());
    EXPECT_EQ(job.Pages(), 0);
    EXPECT_EQ(job.FileEscapes(), 0);

    const auto ro = dir / "read-only.pcl";
    test::WriteFile(ro, std::string("A") + FF + "B" + FF);
    std::filesystem::permissions(ro, std::filesystem::perms::owner_read);
    ASSERT_TRUE(job.Connect(PathToUtf8(ro)));
    EXPECT_EQ(job.FileName(), PathToUtf8(ro));
    EXPECT_EQ(job.Pages(), 2);
    EXPECT_FALSE(job.SourceChanged());
    std::filesystem::permissions(ro, std::filesystem::perms::owner_all);
    test::WriteFile(ro, std::string("A") + FF + "B" + FF + "more");
    EXPECT_TRUE(job.SourceChanged());

    // Reading back after the file shrank is a read error, not a short page.
    test::WriteFile(ro, "A");
    std::string page = "junk";
    EXPECT_FALSE(job.ReadPage(2, page));
    EXPECT_EQ(page, "");
    EXPECT_NE(job.ReadError(), 0);
    EXPECT_EQ(job.Page(2), "");
    job.Disconnect(); // Windows cannot remove an open file
    std::filesystem::remove_all(dir);
}

TEST(PclScan, ReadErrorsFailTheConnect)
{
    const std::string bytes = Esc("E") + std::string(5000, 'a') + FF + "B" + FF;
    // Five block reads for the scan, then the reads for the head and the foot.
    for (int goodReads : {0, 2, 4, 5, 6}) {
        cPclMod job(1024);
        EXPECT_FALSE(job.Connect(std::make_unique<test::FailingSource>(bytes, goodReads), "bad"));
        EXPECT_FALSE(job.Connected());
        EXPECT_EQ(job.Pages(), 0);
        EXPECT_EQ(job.PclJobHead(), "");
    }
}

TEST(PclScan, ProgressNoticesAndCancel)
{
    const std::string bytes = Esc("E") + "A" + FF + "B" + FF + "C" + FF + Esc("E");
    std::vector<std::pair<int, std::int64_t>> seen;
    cPclMod job;
    job.SetProgressHandler(
        [&](std::int32_t status, std::int64_t value, bool&) { seen.emplace_back(status, value); });
    ASSERT_TRUE(job.Connect(MakeMemorySource(bytes), "mem"));
    EXPECT_EQ(seen, (std::vector<std::pair<int, std::int64_t>>{
                        {0, 10}, {1, 1}, {1, 5}, {1, 7}, {1, 9}, {2, 0}}));

    // Cancelling at a page end keeps the pages found so far; the rest is the tail.
    job.SetProgressHandler([&](std::int32_t status, std::int64_t value, bool& cancel) {
        cancel = status == 1 && value == 5;
    });
    ASSERT_TRUE(job.Connect(MakeMemorySource(bytes), "mem"));
    EXPECT_EQ(job.Pages(), 1);
    EXPECT_EQ(job.Page(1), "A");
    EXPECT_EQ(job.PclJobFoot(), "");

    // Cancelling at the start leaves no pages and sends no final notice.
    seen.clear();
    job.SetProgressHandler([&](std::int32_t status, std::int64_t value, bool& cancel) {
        seen.emplace_back(status, value);
        cancel = true;
    });
    ASSERT_TRUE(job.Connect(MakeMemorySource(bytes), "mem"));
    EXPECT_TRUE(job.Connected());
    EXPECT_EQ(job.Pages(), 0);
    EXPECT_EQ(seen.size(), 1u);
}

TEST(PclScan, PositionsBeyondFourGiB)
{
    // A virtual job of 5 GiB: reset, a raster row of 4.5 GiB, page ends behind it.
    constexpr std::int64_t kData = 4'831'838'208;
    const std::string before = Esc("E") + "A" + Esc("*b" + std::to_string(kData) + "W");
    const std::string after = std::string("B") + FF + "C" + FF + Esc("E");
    cPclMod job;
    ASSERT_TRUE(job.Connect(std::make_unique<test::SparseSource>(before, kData, after), "big"));
    ASSERT_EQ(job.Pages(), 2);
    EXPECT_EQ(job.FileSize(), static_cast<std::int64_t>(before.size() + after.size()) + kData);
    EXPECT_EQ(job.PageSize(1), static_cast<std::int64_t>(before.size()) - 2 + kData + 1);
    EXPECT_EQ(job.PageSeek(2), static_cast<std::int64_t>(before.size()) + kData + 3);
    EXPECT_EQ(job.Page(2), "C");
    EXPECT_EQ(job.PclJobFoot(), Esc("E"));
}

} // namespace
} // namespace kuvrion
