// The OME code of a sheet, the bars drawn for it, the reference page, and the marked job the export
// writes, byte for byte.
#include "Exported.h"
#include "marking/CodeRules.h"
#include "marking/MarkDrawing.h"
#include "marking/OmeCode.h"
#include "marking/RefJob.h"
#include "marking/SheetPlan.h"
#include "support/Jobs.h"

#include <gtest/gtest.h>

namespace kuvrion {
namespace {

using test::Esc;
using test::kReset;

// One bar: position, then width and height in PCL units (by default 7 mm by 0.5 mm).
std::string Bar(int x, int y, int w = 198, int d = 14)
{
    return Esc("&a" + std::to_string(x) + "H") + Esc("&a" + std::to_string(y) + "V") +
           Esc("*c" + std::to_string(w) + "H") + Esc("*c" + std::to_string(d) + "V") + Esc("*c0P");
}

std::string Offsets(int left, int top)
{
    return Esc("&l" + std::to_string(left) + "U") + Esc("&l" + std::to_string(top) + "Z");
}

std::string Draw(const Settings& s, std::string_view code)
{
    std::string out;
    DrawOmeCode(out, s, code);
    return out;
}

TEST(OmeCode, WorkedExamplesAndPatterns)
{
    Settings s;
    s.useStop = s.useSupply = s.useSeqchk = s.useParity = s.useSecurity = true;
    s.supplyCount = 1;
    s.seqchkCount = 2;
    ASSERT_EQ(ComputeCodeLength(s), 8);
    EXPECT_EQ(s.codeLength, 8);
    std::int32_t seq = 0;
    std::string codes;
    for (const bool closes : {false, false, true, false, false})
        codes += ComposeSheetCode(s, seq, closes) + " ";
    EXPECT_EQ(codes, "10000001 10000111 11001001 10001101 10000001 ");
    s.supplyCount = s.seqchkCount = 4;
    EXPECT_EQ(ComputeCodeLength(s), 13);

    // The defaults, parity, hand-edited patterns, and the sequence counter.
    s = Settings();
    seq = 0;
    ASSERT_EQ(ComputeCodeLength(s), 2);
    EXPECT_EQ(ComposeSheetCode(s, seq, false), "10");
    EXPECT_EQ(ComposeSheetCode(s, seq, true), "11");
    EXPECT_EQ(seq, 0); // no sequence bars, no advance

    s.useParity = true;
    ComputeCodeLength(s);
    EXPECT_EQ(ComposeSheetCode(s, seq, false), "101");
    EXPECT_EQ(ComposeSheetCode(s, seq, true), "110");
    // Hand-edited patterns: longer ones never extend the code, other characters are blanks.
    s.collectCode = "1x11";
    EXPECT_EQ(ComposeSheetCode(s, seq, false), "1x1");
    s.envelopCode = "";
    EXPECT_EQ(ComposeSheetCode(s, seq, true), "000");

    s.useSeqchk = true;
    s.seqchkCount = 3;
    std::string bits;
    for (int i = 0; i < 9; ++i)
        bits += NextSequenceBits(s, seq) + " ";
    EXPECT_EQ(bits, "000 001 010 011 100 101 110 111 000 ");
}

TEST(MarkDrawing, PositionsAndRounding)
{
    Settings s;
    EXPECT_EQ(Draw(s, "11"), Bar(142, 2835) + Bar(142, 2991));
    // Unset positions only advance the vertical position.
    EXPECT_EQ(Draw(s, "0101"), Bar(142, 2991) + Bar(142, 3303));
    // Millimetres to decipoints: halves up, negative values down.
    std::string offsets;
    WriteOffsetRegistration(offsets, -1.2f, 0.5f);
    WriteOffsetRegistration(offsets, 25.4f, 3.175f);
    EXPECT_EQ(offsets, Offsets(-35, 14) + Offsets(720, 90));

    s.omeY = 2;
    s.pclTopMm = 3; // raised to 0, not cut
    EXPECT_EQ(Draw(s, "1"), Bar(142, 0));
    // Left of the printable area a bar is cut, and left out when less than 1 mm would remain.
    s.pclLeftMm = 6.3f; // 5.7 mm of the bar remain
    EXPECT_EQ(Draw(s, "1"), Bar(0, 0, 162));
    s.omeX = 2;
    s.pclLeftMm = 8;
    EXPECT_EQ(Draw(s, "1"), Bar(0, 0, 28)); // exactly 1 mm is still drawn
    s.omeLeftMm = 0.5f;                     // the OME offset counts like the margin
    EXPECT_EQ(Draw(s, "1"), "");
}

TEST(CodeRules, SettingsWithoutAReadableCodeAreNamed)
{
    struct Case {
        const char* collect;
        const char* envelop;
        float x, b, d, pclleft;
        std::optional<CodeFault> fault;
        std::int16_t envLimit = 5; // with the limit on
    };
    const Case cases[] = {
        {"10", "11", 5, 7, 0.5f, 0, std::nullopt},
        {"1", "11", 5, 7, 0.5f, 0, std::nullopt}, // an unreached position stays blank
        {"", "11", 5, 7, 0.5f, 0, CodeFault::CollectEmpty},
        {"10", "", 5, 7, 0.5f, 0, CodeFault::EnvelopEmpty},
        {"00", "11", 5, 7, 0.5f, 0, CodeFault::CollectNoBar},
        {"10", "0", 5, 7, 0.5f, 0, CodeFault::EnvelopNoBar},
        {"1", "10", 5, 7, 0.5f, 0, CodeFault::SamePattern},
        {"10", "11", 5, 0, 0.5f, 0, CodeFault::NoLength},
        {"10", "11", 5, 7, 0, 0, CodeFault::NoThickness},
        {"10", "11", 2, 7, 0.5f, 8, std::nullopt}, // 1 mm of the bar is printed
        {"10", "11", 2, 6.9f, 0.5f, 8, CodeFault::LeftOfPrintArea},
        // A limit of one sheet: no sheet collects, so the collecting pattern does not matter.
        {"", "11", 5, 7, 0.5f, 0, std::nullopt, 1},
        {"11", "11", 5, 7, 0.5f, 0, std::nullopt, 1},
        {"", "0", 5, 7, 0.5f, 0, CodeFault::EnvelopNoBar, 1},
    };
    for (const Case& c : cases) {
        Settings s;
        s.collectCode = c.collect;
        s.envelopCode = c.envelop;
        s.omeX = c.x;
        s.omeB = c.b;
        s.omeD = c.d;
        s.pclLeftMm = c.pclleft;
        s.envelopeLimit = c.envLimit;
        SCOPED_TRACE(std::string(c.collect) + "/" + c.envelop + " x " + std::to_string(c.x));
        EXPECT_EQ(CodeFaultOf(s), c.fault);
        // The rule and the drawing agree on when a bar is left out.
        if (!PatternFault(s) && s.omeB > 0) {
            EXPECT_EQ(Draw(s, "1").empty(), c.fault == CodeFault::LeftOfPrintArea);
        }
    }
}

TEST(SheetPlan, BarsWhereTheDrawingPutsThemAndTheReadingRules)
{
    Settings s; // X 5, Y 100, A 5, B 7, D 0.5, no margins, two positions
    SheetPlan plan = PlanSheet(s);
    ASSERT_EQ(plan.bars.size(), 2u);
    EXPECT_FLOAT_EQ(plan.bars[1].printed->top, 105.5f);
    EXPECT_FLOAT_EQ(plan.clearZone.left, 3.0f); // the clear zone of the proof: 2 mm
    EXPECT_TRUE(CheckRules(s).empty());

    struct Case {
        float Settings::*member;
        float value;
        RuleWarning warning;
    };
    const Case cases[] = {
        {&Settings::omeD, 0.1f, RuleWarning::ThinBar},
        {&Settings::omeA, 1.5f, RuleWarning::NarrowPitch},
        {&Settings::omeB, 4.0f, RuleWarning::ShortBar},
        {&Settings::omeY, 10.0f, RuleWarning::NearTop},
        {&Settings::omeY, 262.0f, RuleWarning::NearBottom},
        {&Settings::pclLeftMm, 6.3f, RuleWarning::Cut},
        {&Settings::pclLeftMm, 12.0f, RuleWarning::Dropped},
        {&Settings::pclTopMm, 110.0f, RuleWarning::Moved},
        {&Settings::omeX, 2.0f, RuleWarning::SideClearance},
    };
    for (const Case& c : cases) {
        Settings changed;
        changed.*c.member = c.value;
        EXPECT_EQ(CheckRules(changed), std::vector<RuleWarning>{c.warning}) << c.value;
    }

    // Cut at the printable area, and moved below its top edge, as the drawing does it.
    s.pclLeftMm = 6.3f;
    s.pclTopMm = 110;
    plan = PlanSheet(s);
    EXPECT_FLOAT_EQ(plan.bars[0].printed->left, 6.3f);
    EXPECT_FLOAT_EQ(plan.bars[0].printed->width, 5.7f);
    EXPECT_FLOAT_EQ(plan.bars[0].printed->top, 110.0f);
    EXPECT_FLOAT_EQ(plan.bars[0].wanted.top, 100.0f);
}

TEST(RefJob, ByteOrderForEveryOptionMix)
{
    const std::string start = Esc("%-12345X@PJL\r\n@PJL ENTER LANGUAGE=PCL\r\n") + kReset +
                              Esc("(0N") + Esc("&l0L\r\n") + Offsets(0, 0);
    const std::string grid =
        Esc("%0BIN;SP1;PA0,0;FT4,400,0;RR8400,11880;ER8400,11880;") + Esc("%0A\r\n");
    const std::string end = "\f" + kReset + Esc("%-12345X\r\n");
    const std::string bars = Bar(142, 2835) + Bar(142, 2991);

    Settings s;
    EXPECT_EQ(BuildRefJob(s, true, true), start + bars + grid + end);
    EXPECT_EQ(BuildRefJob(s, false, true), start + bars + end);
    EXPECT_EQ(BuildRefJob(s, true, false), start + grid + end);
    // The code length is recomputed from the switches: every position gets a bar.
    s.useSecurity = true;
    s.codeLength = 2;
    EXPECT_EQ(BuildRefJob(s, false, true), start + bars + Bar(142, 3147) + end);
    s.pclLeftMm = 12;
    EXPECT_EQ(BuildRefJob(s, true, true), start + grid + end);
}

class ExportTest : public ::testing::Test {
protected:
    // A job of `pages` pages "P1", "P2", ... between a head and a foot of one printer reset each.
    void MakeJob(int pages)
    {
        std::string job = kReset;
        for (int i = 1; i <= pages; ++i)
            job += "P" + std::to_string(i) + "\f";
        ASSERT_TRUE(pcl.Connect(MakeMemorySource(job + kReset), "job.pcl"));
    }
    void AddPerson(const std::string& id, std::vector<std::int32_t> pages)
    {
        test::AddLetters(persons, {pages}, {id});
    }
    bool Export(std::int32_t count = 1000)
    {
        return test::ExportInto(out, pcl, persons, s, stats, count).has_value();
    }
    // The code of every sheet, read back from the vertical positions of its bars; with `kinds`
    // only "E" for a sheet that closes an envelope and "c" for one that collects.
    std::string Codes(bool kinds = false) const
    {
        std::string codes;
        for (std::size_t from = 0, ff; (ff = out.find('\f', from)) != std::string::npos;
             from = ff + 1) {
            std::string code;
            for (int i = 0; i < s.codeLength; ++i) {
                const auto bar = out.find(Esc("&a" + std::to_string(2835 + 156 * i) + "V"), from);
                code += bar < ff ? '1' : '0';
            }
            codes += kinds ? (code[1] == '1' ? "E" : "c") : code + " ";
        }
        return codes;
    }

    PclJob pcl;
    AddresseeList persons;
    Settings s;
    ExportStats stats;
    std::string out;
};

TEST_F(ExportTest, OutputLayoutByteForByte)
{
    MakeJob(2);
    AddPerson("A", {1, 2});
    s.limitEnvelopes = false;
    s.stdLeftMm = 1;
    s.stdTopMm = 2;
    s.omeLeftMm = 0.5f;
    s.omeTopMm = -1;
    ASSERT_TRUE(Export());
    const std::string std = Offsets(28, 57);
    const std::string ome = Offsets(14, -29);
    EXPECT_EQ(out, kReset + std + "P1" + ome + Bar(128, 2863) + "\f" + std + "P2" + ome +
                       Bar(128, 2863) + Bar(128, 3019) + "\f" + kReset);

    // A page larger than the write buffer keeps its place between the buffered pieces.
    const std::string big(3 << 20, 'x');
    ASSERT_TRUE(pcl.Connect(MakeMemorySource(kReset + big + "\f" + kReset), "big.pcl"));
    persons.Clear();
    AddPerson("A", {1});
    ASSERT_TRUE(Export());
    EXPECT_TRUE(out.starts_with(kReset + std + big + ome + Bar(128, 2863)));
}

TEST_F(ExportTest, EnvelopeLimitRestartsWithEveryAddressee)
{
    MakeJob(27);
    AddPerson("12", {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12});
    AddPerson("10", {13, 14, 15, 16, 17, 18, 19, 20, 21, 22});
    AddPerson("1", {23});
    AddPerson("3", {24, 25, 26});
    AddPerson("2", {27, 1}); // pages need not be contiguous or ascending
    s.envelopeLimit = 5;
    ASSERT_TRUE(Export(3));
    EXPECT_EQ(Codes(true), "ccccEccccEcE"
                           "ccccEccccE"
                           "E");
    EXPECT_EQ(stats.envelopes, 6);
    s.limitEnvelopes = false;
    ASSERT_TRUE(Export(2));
    EXPECT_EQ(Codes(true), "cccccccccccE"
                           "cccccccccE");
    ASSERT_TRUE(Export());
    EXPECT_EQ(stats.exported, 5);
    EXPECT_EQ(stats.sheets, 28);
    EXPECT_NE(out.find("P27" + Offsets(0, 0) + Bar(142, 2835) + "\f" + Offsets(0, 0) + "P1"),
              std::string::npos);
}

TEST_F(ExportTest, SequenceBarRunsAcrossAddresseesAndRestartsPerExport)
{
    MakeJob(5);
    AddPerson("A", {1, 2, 3});
    AddPerson("B", {4, 5});
    s.useSeqchk = true;
    s.codeLength = 3;
    for (int run = 0; run < 2; ++run) {
        ASSERT_TRUE(Export());
        EXPECT_EQ(Codes(), "100 101 110 101 110 ");
    }
}

TEST_F(ExportTest, CountBoundsMaskingAndFailures)
{
    MakeJob(1);
    AddPerson("A", {1});
    ASSERT_TRUE(Export(-3)); // head and foot only
    EXPECT_EQ(out, kReset + kReset);
    EXPECT_EQ(stats.exported, 0);

    // The key is blanked in the output.
    ASSERT_TRUE(pcl.Connect(MakeMemorySource("Hallo K:A;!\f"), "key.pcl"));
    s.keyBegin = "K:";
    s.keyEnd = ";";
    ASSERT_TRUE(Export(99));
    EXPECT_NE(out.find("Hallo     !"), std::string::npos);

    // A page that is not in the job and a sink that fails both stop the export.
    AddPerson("B", {7});
    EXPECT_FALSE(Export());
    const auto failing = [](std::string_view) { return false; };
    EXPECT_FALSE(ExportJob(pcl, persons, 1, s, failing, nullptr, stats).has_value());
}

// Duplex jobs: sheets of two pages of one addressee, blank backs, marks on fronts only, sequence
// and envelope counted per sheet, the duplex selection kept before the first page.
TEST_F(ExportTest, DuplexAddresseesStartOnFrontsAndBarsStandOnFrontsOnly)
{
    const std::string pjl = Esc("%-12345X@PJL SET DUPLEX=ON\r\n@PJL SET BINDING=SHORTEDGE") +
                            "\r\n@PJL ENTER LANGUAGE=PCL\r\n";
    struct Case {
        std::string head;
        std::string page1; // before "P1": a selection there is repeated after the head
        std::vector<std::vector<std::int32_t>> letters;
        std::int16_t envLimit; // 0: none
        // One letter per printed page: "c" a front that collects, "E" a front that closes its
        // envelope, "b" a back with page text and no bars, "-" a blank back.
        std::string sides;
        std::string sequence; // the sequence bar of each sheet
        std::int32_t blanks;
        std::int32_t envelopes;
    };
    // clang-format off
    const Case cases[] = {
        {kReset, Esc("&l1S"), {{1, 2, 3}, {4, 5}, {6}}, 0, "cbE-EbE-", "0101", 2, 3},
        // The envelope limit counts sheets and may split an addressee.
        {kReset, Esc("&l1S"), {{1, 2, 3, 4, 5}, {6}}, 2, "cbEbE-E-", "0101", 2, 3},
        // A selection in the head or from PJL is not repeated.
        {Esc("&l2S") + kReset, "", {{1}, {2}}, 0, "E-E-", "01", 2, 2},
        {pjl, "", {{1}, {2}}, 0, "E-E-", "01", 2, 2},
        // A simplex job keeps one sheet per page and writes no selection.
        {kReset, Esc("&l0S"), {{1, 2}}, 0, "cE", "01", 0, 1},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.sides);
        std::string job = c.head + c.page1;
        for (std::size_t i = 1; i <= c.sides.size() - static_cast<std::size_t>(c.blanks); ++i)
            job += "P" + std::to_string(i) + test::kFF;
        ASSERT_TRUE(pcl.Connect(MakeMemorySource(job + kReset), "job.pcl"));
        ASSERT_EQ(pcl.PclJobHead(), c.head);
        persons.Clear();
        test::AddLetters(persons, c.letters);
        s = Settings();
        s.limitEnvelopes = c.envLimit > 0;
        s.envelopeLimit = c.envLimit;
        s.useSeqchk = true;
        s.seqchkCount = 1;
        s.codeLength = 3;
        ASSERT_TRUE(Export());
        const std::string selection = c.page1 == Esc("&l1S") ? c.page1 : "";
        EXPECT_EQ(out.rfind(c.head + selection + Esc("&l0U"), 0), 0u);
        std::string sides;
        std::string sequence;
        std::size_t from = c.head.size();
        for (std::size_t ff; (ff = out.find(test::kFF, from)) != std::string::npos; from = ff + 1) {
            const std::string piece = out.substr(from, ff - from);
            if (piece.find(Esc("*c0P")) != std::string::npos) {
                sides += piece.find(Esc("&a2991V")) != std::string::npos ? 'E' : 'c';
                sequence += piece.find(Esc("&a3147V")) != std::string::npos ? '1' : '0';
            } else {
                sides += piece.find('P') != std::string::npos ? 'b' : '-';
            }
            EXPECT_EQ(piece.empty(), sides.back() == '-');
        }
        EXPECT_EQ(out.substr(from), kReset) << "the foot ends the job";
        EXPECT_EQ(sides, c.sides);
        EXPECT_EQ(sequence, c.sequence);
        EXPECT_EQ(stats.sheets, static_cast<std::int32_t>(sequence.size()));
        EXPECT_EQ(stats.blankPages, c.blanks);
        EXPECT_EQ(stats.envelopes, c.envelopes);
    }
}

} // namespace
} // namespace kuvrion
