// Jobs as drivers and host systems write them: the job's language, PJL framing without a reset,
// tails that are a last page or a driver's end of job, jobs without page ends, duplex selections.
#include "PclJobTestSupport.h"

#include <gtest/gtest.h>

#include <random>

namespace kuvrion {
namespace {

using test::Esc;

const std::string FF = "\f";
const std::string kUel = Esc("%-12345X");
const std::string kReset = Esc("E");
const std::vector<std::size_t> kBlockSizes = {1, 2, 3, 7, 2048};

constexpr cPclMod::ForeignJob kStop = cPclMod::ForeignJob::Stop;

// Scans with every block size: the same result each time, the same as the plain model.
test::ScanResult ScanEverywhere(const std::string& bytes, const std::string& what)
{
    const test::ScanResult r = test::Scan(bytes);
    EXPECT_EQ(r, test::ReferenceScan(bytes)) << what;
    for (std::size_t block : kBlockSizes) {
        EXPECT_EQ(test::Scan(bytes, block), r) << what << ", block size " << block;
    }
    return r;
}

TEST(RealJobs, LanguageFromTheFirstBytes)
{
    const std::string pdf = "%PDF-1.4\n1 0 obj\n<< /Type /Catalog >>\nendobj\n" + FF + "%%EOF\n";
    const std::string ps = "%!PS-Adobe-3.0\n/Helvetica findfont 12 scalefont setfont\nshowpage\n";
    const std::string xl = std::string(") HP-PCL XL;2;0;Comment\n\xd1\x0c\x00\x0c\xf8", 29) + FF;
    const std::vector<std::pair<std::string, std::string>> cases = {
        {kUel + "@PJL JOB\r\n@PJL ENTER LANGUAGE = PCLXL\r\n" + xl + kUel, "PCL XL"},
        {kUel + xl, "PCL XL"},
        {kUel + "@PJL ENTER LANGUAGE=POSTSCRIPT\n" + ps, "PostScript"},
        {"\x04" + ps, "PostScript"},
        {pdf, "PDF"},
        {kUel + "@PJL SET RESOLUTION=600\r\n" + pdf, "PDF"},
        {kUel + "@PJL ENTER LANGUAGE=ESCP\r\nx" + FF, "ESCP"},
        {kUel + "@PJL ENTER LANGUAGE=pcl\r\n%PDF-" + FF, "PCL 5"}, // PJL decides
        {kUel + "@PJL JOB\n" + kReset + "Brief" + FF, "PCL 5"},
        {"Reiner Text mit Seitenvorschub" + FF, "PCL 5"},
        {"", "PCL 5"},
        // Only the first few KiB are read: a signature behind them is not seen.
        {std::string(kLanguageProbeBytes, ' ') + pdf, "PCL 5"},
    };
    for (const auto& [bytes, label] : cases) {
        cPclMod job;
        ASSERT_TRUE(job.Connect(MakeMemorySource(bytes), "mem", kStop));
        EXPECT_EQ(job.Language().Label(), label) << bytes;
        // The import's connect leaves a foreign job unscanned.
        EXPECT_EQ(job.Pages() == 0, !job.Language().IsPcl5() || bytes.empty()) << bytes;
    }
}

TEST(RealJobs, HeadTailAndPagesKeepEveryByte)
{
    const std::string pjl = kUel + "@PJL JOB NAME=\"Briefe\"\r\n@PJL SET RESOLUTION=600\r\n";
    const std::string driverTail = Esc("*c0Q") + kReset + kUel + "@PJL EOJ\r\n" + kUel;
    struct Case {
        std::string what;
        std::string bytes;
        std::string head;
        std::vector<std::string> pages;
        std::string foot;
    };
    const std::vector<Case> cases = {
        {"PJL framing without a reset: the head ends with the line ends after ENTER LANGUAGE",
         pjl + "@PJL ENTER LANGUAGE=PCL\n\r" + Esc("&l0O") + "A" + FF + "B" + FF + driverTail,
         pjl + "@PJL ENTER LANGUAGE=PCL\n\r",
         {Esc("&l0O") + "A", "B"},
         driverTail},
        {"PJL framing without ENTER LANGUAGE: the head ends with the last @PJL line",
         pjl + "\r\nA" + FF,
         pjl,
         {"\r\nA"},
         ""},
        {"a page 1 of PJL only is dropped", pjl + FF + "A" + FF, pjl, {"A"}, ""},
        {"the last letter ends with a reset instead of an FF",
         kReset + "A" + FF + kReset + "letzter Brief" + kReset + kUel,
         kReset,
         {"A", kReset + "letzter Brief"},
         kReset + kUel},
        {"a tail of control bytes prints nothing",
         kReset + "A" + FF + kReset + "\r\n\x1a",
         kReset,
         {"A"},
         kReset + "\r\n\x1a"},
        {"no reset after the last text: all of it is the page",
         "A" + FF + "B" + kUel + "@PJL EOJ\r\n",
         "",
         {"A", "B" + kUel + "@PJL EOJ\r\n"},
         ""},
        {"@PJL text after a reset is page text",
         "A" + FF + kReset + "@PJL EOJ\r\n",
         "",
         {"A", kReset + "@PJL EOJ\r\n"},
         ""},
        {"no page end: one page",
         "Hallo" + Esc("*b2W") + "\f\f",
         "",
         {"Hallo" + Esc("*b2W") + "\f\f"},
         ""},
        {"no page end with head and foot",
         kReset + "Hallo" + kReset + kUel,
         kReset,
         {"Hallo"},
         kReset + kUel},
        {"no page end and no text", pjl + kReset + "\r\n", pjl + kReset, {}, "\r\n"},
    };
    for (const Case& c : cases) {
        const test::ScanResult r = ScanEverywhere(c.bytes, c.what);
        EXPECT_EQ(r.head, c.head) << c.what;
        EXPECT_EQ(r.pages, c.pages) << c.what;
        EXPECT_EQ(r.foot, c.foot) << c.what;
    }
}

TEST(RealJobs, DuplexModeAndSwitches)
{
    const std::string page = "Brief" + Esc("*b3W") + "l\x1bS" + FF; // W data that looks like S
    struct Case {
        std::string what;
        std::string bytes;
        DuplexMode mode;
        bool inPage1;
        bool switches;
    };
    const std::vector<Case> cases = {
        {"long edge after the reset", kReset + Esc("&l1S") + page + page, DuplexMode::LongEdge,
         true, false},
        {"short edge in the head", Esc("&l2S") + kReset + page, DuplexMode::ShortEdge, false,
         false},
        {"in a combined sequence", kReset + Esc("&l26a1s0O") + page, DuplexMode::LongEdge, true,
         false},
        {"simplex selected", kReset + Esc("&l0S") + page, DuplexMode::None, true, false},
        {"no selection", kReset + page + page, DuplexMode::None, false, false},
        {"PJL duplex", kUel + "@PJL SET DUPLEX=ON\r\n@PJL ENTER LANGUAGE=PCL\r\n" + page,
         DuplexMode::LongEdge, false, false},
        {"PJL duplex, short edge",
         kUel + "@PJL SET DUPLEX = ON\n@PJL SET BINDING=SHORTEDGE\n" + kReset + page,
         DuplexMode::ShortEdge, false, false},
        {"the job's selection wins over PJL",
         kUel + "@PJL SET DUPLEX=ON\n" + kReset + Esc("&l0S") + page, DuplexMode::None, true,
         false},
        {"repeated after a reset", kReset + Esc("&l1S") + page + kReset + Esc("&l1S") + page,
         DuplexMode::LongEdge, true, false},
        {"switched on page 2", kReset + Esc("&l1S") + page + Esc("&l2S") + page,
         DuplexMode::LongEdge, true, true},
        {"first selected on page 2", kReset + page + Esc("&l1S") + page, DuplexMode::None, false,
         true},
        {"PJL duplex, then a selection on page 2",
         kUel + "@PJL SET DUPLEX=ON\n" + kReset + page + Esc("&l1S") + page, DuplexMode::LongEdge,
         false, true},
        {"a side selection", kReset + Esc("&l1S") + page + Esc("&a2G") + page, DuplexMode::LongEdge,
         true, true},
        {"a switch in the foot prints nothing", kReset + Esc("&l1S") + page + kReset + Esc("&l0S"),
         DuplexMode::LongEdge, true, false},
    };
    for (const Case& c : cases) {
        ScanEverywhere(c.bytes, c.what);
        for (std::size_t block : kBlockSizes) {
            cPclMod job(block);
            ASSERT_TRUE(job.Connect(MakeMemorySource(c.bytes), "mem"));
            EXPECT_EQ(job.Duplex(), c.mode) << c.what;
            EXPECT_EQ(job.DuplexSelectedInPage1(), c.inPage1) << c.what;
            EXPECT_EQ(job.DuplexSwitches(), c.switches) << c.what << ", block size " << block;
        }
    }
}

// Random jobs of driver pieces (PJL lines, resets, duplex and side selections, W data, text) agree
// with the plain model for every block size, duplex facts included.
TEST(RealJobs, RandomDriverJobsAgreeWithTheModel)
{
    const std::vector<std::string> pieces = {kUel,
                                             "@PJL SET DUPLEX=ON\r\n",
                                             "@PJL ENTER LANGUAGE=PCL\r\n",
                                             "@PJL EOJ\n",
                                             kReset,
                                             Esc("&l1S"),
                                             Esc("&l2s0O"),
                                             Esc("&l0S"),
                                             Esc("&a2G"),
                                             Esc("*b2W") + "S\f",
                                             FF,
                                             "Text ",
                                             "\r\n",
                                             "@PJ",
                                             Esc("*c0Q"),
                                             "\x1b"};
    std::mt19937 rng(9);
    for (int round = 0; round < 300 && !HasFailure(); ++round) {
        std::string bytes;
        for (std::uint32_t k = rng() % 24; k > 0; --k) {
            bytes += pieces[rng() % pieces.size()];
        }
        ScanEverywhere(bytes, "round " + std::to_string(round));
        const fuzz::RefJob model = fuzz::JobModel(bytes);
        cPclMod job(3);
        ASSERT_TRUE(job.Connect(MakeMemorySource(bytes), "mem"));
        EXPECT_EQ(static_cast<int>(job.Duplex()), model.duplex) << round;
        EXPECT_EQ(job.DuplexSelectedInPage1(), model.duplexInPage1) << round;
        EXPECT_EQ(job.DuplexSwitches(), model.duplexSwitches) << round;
        EXPECT_EQ(job.LastPageUnended(), model.lastPageUnended) << round;
    }
}

} // namespace
} // namespace kuvrion
