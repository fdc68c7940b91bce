// The job scanner: page ends, job head and foot (also as drivers write them), W data and malformed
// sequences, the job's language and duplex mode, the same for every read block size; reading pages
// back, failures and progress notices; the escape skeleton.
#include "TestConfig.h"
#include "gen/JobGenerator.h"
#include "pcljob/EscSkeleton.h"
#include "support/Jobs.h"
#include "support/ScanTable.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <limits>
#include <tuple>

namespace kuvrion {
namespace {

using namespace test;

std::string Fixture(const char* name)
{
    return ReadFile(std::string(KUVRION_TEST_DATA_DIR "/") + name);
}

TEST(PclScan, PagesHeadAndFootByTheRules)
{
    struct Case {
        const char* what;
        std::string job;
        std::string head;
        std::vector<std::string> pages;
        std::string foot;
        std::int64_t escapes;
    };
    const std::string pjl = Esc("%-12345X") + "@PJL ENTER LANGUAGE=PCL\r\n" + kReset;
    const std::string raster = Fixture("raster-ff-across-block.pcl");
    const std::string pad(65535, ' ');
    const std::string uel = Esc("%-12345X");
    const std::string drv = uel + "@PJL JOB NAME=\"Briefe\"\r\n@PJL SET RESOLUTION=600\r\n";
    const std::string driverTail = Esc("*c0Q") + kReset + uel + "@PJL EOJ\r\n" + uel;
    // clang-format off
    const Case cases[] = {
        {"head, pages, foot", Job({"A", "B"}), kReset, {"A", "B"}, kReset, 2},
        {"a page 1 of only the head is dropped", kReset + "\fA\f", kReset, {"A"}, "", 1},
        {"no head without a reset on page 1; empty pages stay; text after the last FF is a page",
         "A\f\fB\ftail" + kReset, "", {"A", "", "B", "tail"}, kReset, 1},
        {"the head takes what precedes the reset", pjl + "X\f", pjl, {"X"}, "", 2},
        {"blanks before the reset are part of the head", pad + kReset + "A\f", pad + kReset, {"A"}, "", 1},
        {"no page end: the text after the head is one page", kReset + "text" + kReset, kReset, {"text"}, kReset, 2},
        {"FF and ESC in W data are data", Raster("\f\x1b\f") + "A\f", "", {Raster("\f\x1b\f") + "A"}, "", 1},
        {"a raster row after the last FF prints: it is a page", "A\f" + Raster("\f\f"), "", {"A", Raster("\f\f")}, "", 1},
        {"a command outside the data table carries no data", "A" + Esc("/3W") + "\f\f\fB\f", "", {"A" + Esc("/3W"), "", "", "B"}, "", 1},
        {"a negative count is 0", Esc("*b-5W") + "A\fB\f", "", {Esc("*b-5W") + "A", "B"}, "", 1},
        {"an absurd count ends the scan", "A\fB" + Esc("*b" + std::string(40, '9') + "W") + "\fC\f", "", {"A", "B" + Esc("*b" + std::string(40, '9') + "W") + "\fC\f"}, "", 1},
        {"an FF closing a sequence ends the page; an unexpected c2 ends after 3",
         "A" + Esc("\f") + "B" + Esc("&\f") + "C" + Esc("&l1\f") + "D" + Esc("&.") + "5\f" + kReset,
         "", {"A\x1b", "B\x1b&", "C\x1b&l1", "D\x1b&.5"}, kReset, 5},
        {"an ESC before an ESC is a sequence of its own; a tail without text is the foot", std::string(5, '\x1b'), "", {}, std::string(5, '\x1b'), 4},
        {"malformed-sequence-mid-job.pcl", Fixture("malformed-sequence-mid-job.pcl"), kReset,
         {"A" + Esc("&l1") + "\x01" + "B", "C", "D"}, kReset, 3},
        {"w-count-past-end.pcl", Fixture("w-count-past-end.pcl"), kReset, {"A", "B" + Esc("*b999W") + "xyz\fC\f"}, "", 2},
        {"esc-at-block-end.pcl", Fixture("esc-at-block-end.pcl"), kReset,
         {std::string(2045, 'x') + Esc("*p100X") + "A", "B"}, kReset, 3},
        {"raster-ff-across-block.pcl", raster, pjl,
         {raster.substr(pjl.size(), raster.find("Ende\f") + 4 - pjl.size()), "Seite zwei"},
         kReset + Esc("%-12345X"), 8},
        // Jobs as drivers and host systems write them.
        {"PJL framing without a reset: the head ends with the line ends after ENTER LANGUAGE",
         drv + "@PJL ENTER LANGUAGE=PCL\n\r" + Esc("&l0O") + "A\fB\f" + driverTail, drv + "@PJL ENTER LANGUAGE=PCL\n\r",
         {Esc("&l0O") + "A", "B"}, driverTail, -1},
        {"PJL framing without ENTER LANGUAGE: the head ends with the last @PJL line", drv + "\r\nA\f", drv, {"\r\nA"}, "", -1},
        {"the last letter ends with a reset instead of an FF", kReset + "A\f" + kReset + "letzter Brief" + kReset + uel,
         kReset, {"A", kReset + "letzter Brief"}, kReset + uel, -1},
        {"a tail of control bytes prints nothing", kReset + "A\f" + kReset + "\r\n\x1a", kReset, {"A"}, kReset + "\r\n\x1a", -1},
        {"a universal exit after text ends the page", "A\fB" + uel + "@PJL EOJ\r\n", "", {"A", "B"}, uel + "@PJL EOJ\r\n", -1},
        {"@PJL text after a reset is page text", "A\f" + kReset + "@PJL EOJ\r\n", "", {"A", kReset + "@PJL EOJ\r\n"}, "", -1},
        {"no page end and no text", drv + kReset + "\r\n", drv + kReset, {}, "\r\n", -1},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const ScanTable t = ScanEveryWay(c.job);
        EXPECT_EQ(t.head, c.head);
        EXPECT_EQ(t.Pages(c.job), c.pages);
        EXPECT_EQ(t.foot, c.foot);
        if (c.escapes >= 0) {
            EXPECT_EQ(t.escapes, c.escapes);
        }
    }
}

TEST(PclScan, WCountIsTheWFieldRoundedHalfToEven)
{
    // Five FFs follow the sequence: those not taken as data end pages.
    const std::pair<const char*, std::size_t> counts[] = {
        {"2.5", 2}, {"3.5", 4}, {"2.6", 3}, {"1.5.3", 2}, {"+-3", 0},
        {"0.4", 0}, {"4", 4},   {"2m3", 3}, {"", 0},      {"1e3", 3}};
    for (const auto& [count, data] : counts) {
        SCOPED_TRACE(count);
        const std::string job = Esc(std::string("*b") + count + "W") + std::string(5, '\f');
        EXPECT_EQ(ScanEveryWay(job).Pages(job).size(), 5 - data);
    }
}

TEST(PclScan, LanguageFromTheFirstBytes)
{
    const std::string kUel = Esc("%-12345X");
    const std::string pdf = "%PDF-1.4\n1 0 obj\n<< /Type /Catalog >>\nendobj\n" + kFF + "%%EOF\n";
    const std::string ps = "%!PS-Adobe-3.0\n/Helvetica findfont 12 scalefont setfont\nshowpage\n";
    const std::string xl = std::string(") HP-PCL XL;2;0;Comment\n\xd1\x0c\x00\x0c\xf8", 29) + kFF;
    const std::vector<std::pair<std::string, std::string>> cases = {
        {kUel + "@PJL JOB\r\n@PJL ENTER LANGUAGE = PCLXL\r\n" + xl + kUel, "PCL XL"},
        {kUel + xl, "PCL XL"},
        {kUel + "@PJL ENTER LANGUAGE=POSTSCRIPT\n" + ps, "PostScript"},
        {"\x04" + ps, "PostScript"},
        {pdf, "PDF"},
        {kUel + "@PJL ENTER LANGUAGE=ESCP\r\nx" + kFF, "ESCP"},
        {kUel + "@PJL ENTER LANGUAGE=pcl\r\n%PDF-" + kFF, "PCL 5"}, // PJL decides
        {"", "PCL 5"},
        // Only the first few KiB are read: a signature behind them is not seen.
        {std::string(kLanguageProbeBytes, ' ') + pdf, "PCL 5"},
    };
    for (const auto& [bytes, label] : cases) {
        PclJob job;
        ASSERT_TRUE(job.Connect(MakeMemorySource(bytes), "mem", PclJob::ForeignJob::Stop));
        EXPECT_EQ(job.Language().Label(), label) << bytes;
        // The import's connect leaves a foreign job unscanned.
        EXPECT_EQ(job.Pages() == 0, !job.Language().IsPcl5() || bytes.empty()) << bytes;
    }
}

TEST(PclScan, DuplexModeAndSwitches)
{
    using enum DuplexMode;
    const std::string uel = Esc("%-12345X");
    const std::string page = "Brief" + Esc("*b3W") + "l\x1bS" + kFF; // W data that looks like S
    const std::string l1 = kReset + Esc("&l1S") + page;
    struct Case {
        std::string what;
        std::string bytes;
        DuplexMode mode;
        bool inPage1;
        bool switches;
    };
    const std::vector<Case> cases = {
        {"long edge after the reset", l1 + page, LongEdge, true, false},
        {"short edge in the head", Esc("&l2S") + kReset + page, ShortEdge, false, false},
        {"in a combined sequence", kReset + Esc("&l26a1s0O") + page, LongEdge, true, false},
        {"simplex selected", kReset + Esc("&l0S") + page, None, true, false},
        {"no selection", kReset + page + page, None, false, false},
        {"PJL duplex", uel + "@PJL SET DUPLEX=ON\r\n@PJL ENTER LANGUAGE=PCL\r\n" + page, LongEdge,
         false, false},
        {"PJL duplex, short edge",
         uel + "@PJL SET DUPLEX = ON\n@PJL SET BINDING=SHORTEDGE\n" + kReset + page, ShortEdge,
         false, false},
        {"the job's selection wins over PJL",
         uel + "@PJL SET DUPLEX=ON\n" + kReset + Esc("&l0S") + page, None, true, false},
        {"repeated after a reset", l1 + l1, LongEdge, true, false},
        {"switched on page 2", l1 + Esc("&l2S") + page, LongEdge, true, true},
        {"first selected on page 2", kReset + page + Esc("&l1S") + page, None, false, true},
        {"PJL duplex, then a selection on page 2",
         uel + "@PJL SET DUPLEX=ON\n" + kReset + page + Esc("&l1S") + page, LongEdge, false, true},
        {"a side selection", l1 + Esc("&a2G") + page, LongEdge, true, true},
        {"a switch in the foot prints nothing", l1 + kReset + Esc("&l0S"), LongEdge, true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const test::ScanTable t = ScanEveryWay(c.bytes);
        EXPECT_EQ(t.duplex, c.mode);
        EXPECT_EQ(t.duplexInPage1, c.inPage1);
        EXPECT_EQ(t.duplexSwitches, c.switches);
    }
}

TEST(PclScan, GeneratedJobsKeepEveryByteForEveryBlockSize)
{
    // The generator's letters (the sample jobs are its output) and its large jobs.
    const std::pair<const char*, bool (*)(bench::JobGenerator&)> generated[] = {
        {"letters-endmarker", [](bench::JobGenerator& g) { return g.SampleEndMarker(); }},
        {"letters-fixed", [](bench::JobGenerator& g) { return g.SampleFixed(); }},
        {nullptr, [](bench::JobGenerator& g) { return g.TextJob(300 << 10); }},
        {nullptr, [](bench::JobGenerator& g) { return g.RasterJob(600 << 10); }}};
    for (const auto& [sample, make] : generated) {
        std::string job;
        bench::JobGenerator gen(
            [&](std::string_view s) {
                job.append(s);
                return true;
            },
            1);
        make(gen);
        const ScanTable t = ScanEveryWay(job);
        EXPECT_EQ(static_cast<std::int64_t>(t.Pages(job).size()), gen.GetStats().pages);
        EXPECT_EQ(t.escapes, gen.GetStats().escapes);
        if (sample) {
            EXPECT_TRUE(job == ReadFile(std::string(KUVRION_SAMPLES_DIR "/") + sample + ".pcl"))
                << sample << " is no longer what the generator writes";
        }
    }
}

TEST(PclScan, PagesReadBackAndFilesThatCannotBeScanned)
{
    TempDir dir;
    PclJob job;
    ASSERT_TRUE(job.Connect(dir.Write("job.pcl", Job({"A", "B"})).string()));
    EXPECT_EQ(PageOf(job, 2), "B");
    std::string page = "junk";
    for (const std::int32_t n : {0, -1, 3, std::numeric_limits<std::int32_t>::min()}) {
        EXPECT_EQ(job.PageSeek(n).error().page, n);
        EXPECT_EQ(job.PageSize(n).error().what, FailureKind::PageMissing) << n;
        EXPECT_EQ(job.ReadPage(n, page).error().err, EINVAL) << n;
    }
    // Reading back after the file shrank is a read error, not a short page.
    dir.Write("job.pcl", "A");
    page = "junk";
    const auto shrunk = job.ReadPage(2, page);
    EXPECT_EQ(page, "");
    ASSERT_FALSE(shrunk);
    EXPECT_EQ(std::tuple(shrunk.error().what, shrunk.error().err, shrunk.error().page),
              std::tuple(FailureKind::PageRead, EIO, 2));

    for (const auto& path : {dir / "missing.pcl", dir.Path()}) {
        const auto connected = job.Connect(path.string());
        ASSERT_FALSE(connected) << path;
        EXPECT_EQ(connected.error().err, path == dir.Path() ? EISDIR : ENOENT);
        EXPECT_FALSE(job.Connected());
        EXPECT_EQ(job.Pages(), 0);
    }
    // An empty file connects without pages; a read-only one is fine, it is only read.
    EXPECT_TRUE(job.Connect(dir.Write("empty.pcl", "").string()));
    EXPECT_EQ(job.Pages(), 0);
    const auto ro = dir.Write("read-only.pcl", "A\fB\f");
    std::filesystem::permissions(ro, std::filesystem::perms::owner_read);
    ASSERT_TRUE(job.Connect(ro.string()));
    EXPECT_EQ(job.Pages(), 2);
}

// A memory job whose reads fail after `goodReads` successful ones.
class FailingSource : public ByteSource {
public:
    FailingSource(std::string bytes, int goodReads)
        : m_bytes(MakeMemorySource(std::move(bytes))), m_left(goodReads)
    {
    }
    std::int64_t Size() const override { return m_bytes->Size(); }
    Result<std::int64_t> Read(std::int64_t offset, char* buf, std::int64_t n) override
    {
        if (m_left-- > 0)
            return m_bytes->Read(offset, buf, n);
        return Failure{.what = FailureKind::SourceUnreadable, .err = EIO, .offset = offset};
    }

private:
    std::unique_ptr<ByteSource> m_bytes;
    int m_left;
};

TEST(PclScan, ReadErrorsFailTheConnect)
{
    // Five block reads for the scan, then the reads for the head and the foot.
    for (const int goodReads : {0, 2, 4, 5, 6}) {
        PclJob job(1024);
        const auto connected = job.Connect(
            std::make_unique<FailingSource>(kReset + std::string(5000, 'a') + "\fB\f", goodReads),
            "bad");
        ASSERT_FALSE(connected);
        EXPECT_FALSE(job.Connected());
        EXPECT_EQ(std::tuple(connected.error().err, connected.error().path), std::tuple(EIO, "bad"))
            << goodReads;
        EXPECT_EQ(job.Pages(), 0);
        EXPECT_EQ(job.PclJobHead(), "");
    }
}

TEST(PclScan, ProgressNoticesAndCancel)
{
    const std::string bytes = Job({"A", "B", "C"});
    std::vector<std::pair<int, std::int64_t>> seen;
    std::pair<int, std::int64_t> cancelAt{-1, 0};
    PclJob job;
    job.SetProgressHandler([&](std::int32_t status, std::int64_t value, bool& cancel) {
        seen.emplace_back(status, value);
        cancel = seen.back() == cancelAt;
    });
    ASSERT_TRUE(job.Connect(MakeMemorySource(bytes), "mem"));
    EXPECT_EQ(seen, (std::vector<std::pair<int, std::int64_t>>{
                        {0, 10}, {1, 1}, {1, 5}, {1, 7}, {1, 9}, {2, 0}}));

    // Cancelling at a page end keeps the pages found so far; the rest, unread, is one more page.
    cancelAt = {1, 5};
    seen.clear();
    ASSERT_TRUE(job.Connect(MakeMemorySource(bytes), "mem"));
    EXPECT_EQ(seen.back(), std::make_pair(2, std::int64_t{0}));
    EXPECT_EQ(job.Pages(), 2);
    EXPECT_EQ(job.PclJobFoot(), "");
}

TEST(EscSkeleton, PagesAndWholeJob)
{
    // Text is replaced (also before the first and after the last sequence); W data is copied
    // whole, and only up to the page end when its count reaches past it.
    // clang-format off
    const std::tuple<std::string, char, std::string> pages[] = {
        {"Hallo", 'a', "aaaaa"}, {"", 'a', ""}, {kReset + Esc("&l0O"), 'a', kReset + Esc("&l0O")},
        {"Ab" + Raster("\f\x1b\xff") + "cd\r\n" + Esc("*p+5X") + "e", ' ',
         "  " + Raster("\f\x1b\xff") + "    " + Esc("*p+5X") + " "},
        {"x" + Esc("*b50W") + "abc", 'a', "a" + Esc("*b50W") + "abc"}};
    // clang-format on
    for (const auto& [page, fill, skeleton] : pages) {
        std::string out = "<";
        AppendPageSkeleton(out, page, fill);
        EXPECT_EQ(out, "<" + skeleton) << testing::PrintToString(page);
    }

    // The head and foot are copied; without a foot the skeleton ends with the FF after the last
    // page, unless that page had none in the job; the fill code is a byte.
    const std::string uel = Esc("%-12345X");
    const std::string fill(4, '\xfc');
    const std::pair<std::string, std::string> jobs[] = {
        {uel + "@PJL\r\n" + kReset + "Eins" + Esc("(s3B") + "\fZwei\f\f" + Raster("\f\f") +
             "Drei\f" + kReset + uel,
         uel + "@PJL\r\n" + kReset + fill + Esc("(s3B") + "\f" + fill + "\f\f" + Raster("\f\f") +
             fill + "\f" + kReset + uel},
        {"ab\fc\f", "\xfc\xfc\f\xfc\f"},
        {"ab\fc", "\xfc\xfc\f\xfc"}};
    PclJob job;
    for (const auto& [bytes, skeleton] : jobs) {
        ASSERT_TRUE(job.Connect(MakeMemorySource(bytes), "mem"));
        std::string out;
        const auto sink = [&](std::string_view s) {
            out.append(s);
            return true;
        };
        ASSERT_TRUE(WriteEscSkeleton(job, job.Pages(), 0xFC, sink));
        EXPECT_EQ(out, skeleton);
    }
    // A failing sink stops the writer and reports it.
    int calls = 0;
    EXPECT_FALSE(
        WriteEscSkeleton(job, job.Pages(), 97, [&](std::string_view) { return ++calls > 1; }));
    EXPECT_EQ(calls, 1);
}

} // namespace
} // namespace kuvrion
