#include "marking/MarkDrawing.h"
#include "marking/OmeCode.h"
#include "marking/RefJob.h"
#include "settings/Settings.h"

#include <gtest/gtest.h>

using namespace kuvrion;

namespace {

const std::string ESC = "\x1b";

std::string Bar(int x, int y, int w, int d)
{
    return ESC + "&a" + std::to_string(x) + "H" + ESC + "&a" + std::to_string(y) + "V" + ESC +
           "*c" + std::to_string(w) + "H" + ESC + "*c" + std::to_string(d) + "V" + ESC + "*c0P";
}

std::string Offsets(float left, float top)
{
    std::string out;
    WriteOffsetRegistration(out, left, top);
    return out;
}

std::string Draw(const Settings& s, std::string_view code)
{
    std::string out;
    DrawOmeCode(out, s, code);
    return out;
}

} // namespace

TEST(OmeCode, WorkedExampleWithEveryMark)
{
    Settings s;
    s.use_stop = s.use_supply = s.use_seqchk = s.use_parity = s.use_security = true;
    s.supply_count = 1;
    s.seqchk_count = 2;
    ASSERT_EQ(ComputeCodeLength(s), 8);
    EXPECT_EQ(s.nCodeLen, 8);
    std::int32_t seq = 0;
    const bool closes[] = {false, false, true, false, false};
    const char* const want[] = {"10000001", "10000111", "11001001", "10001101", "10000001"};
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(ComposeSheetCode(s, seq, closes[i]), want[i]) << "sheet " << i + 1;

    s.supply_count = s.seqchk_count = 4;
    EXPECT_EQ(ComputeCodeLength(s), 13);
}

TEST(OmeCode, DefaultsParityAndSequence)
{
    Settings s;
    std::int32_t seq = 0;
    ASSERT_EQ(ComputeCodeLength(s), 2);
    EXPECT_EQ(ComposeSheetCode(s, seq, false), "10");
    EXPECT_EQ(ComposeSheetCode(s, seq, true), "11");
    EXPECT_EQ(seq, 0); // no sequence bars, no advance

    s.use_parity = true;
    ComputeCodeLength(s);
    EXPECT_EQ(ComposeSheetCode(s, seq, false), "101");
    EXPECT_EQ(ComposeSheetCode(s, seq, true), "110");

    // Hand-edited patterns: longer ones never extend the code, other characters are blanks.
    s.collect_code = "1x11";
    EXPECT_EQ(ComposeSheetCode(s, seq, false), "1x1");
    s.envelop_code = "";
    EXPECT_EQ(ComposeSheetCode(s, seq, true), "000");

    Settings q;
    q.use_seqchk = true;
    q.seqchk_count = 3;
    std::string bits;
    seq = 0;
    for (int i = 0; i < 9; ++i)
        bits += NextSequenceBits(q, seq) + " ";
    EXPECT_EQ(bits, "000 001 010 011 100 101 110 111 000 ");
}

TEST(MarkDrawing, DefaultLayoutAndRounding)
{
    Settings s;
    EXPECT_EQ(Draw(s, "11"), Bar(142, 2835, 198, 14) + Bar(142, 2991, 198, 14));
    // Unset positions only advance the vertical position.
    EXPECT_EQ(Draw(s, "0101"), Bar(142, 2991, 198, 14) + Bar(142, 3303, 198, 14));
    EXPECT_EQ(Draw(s, ""), "");
    EXPECT_EQ(Draw(s, "000"), "");

    EXPECT_EQ(Offsets(0, 0), ESC + "&l0U" + ESC + "&l0Z");
    EXPECT_EQ(Offsets(-1.2f, 0.5f), ESC + "&l-35U" + ESC + "&l14Z");
    EXPECT_EQ(Offsets(25.4f, 3.175f), ESC + "&l720U" + ESC + "&l90Z");

    s.ome_y = 2;
    s.pcltopmm = 3; // raised to 0, not cut
    EXPECT_EQ(Draw(s, "1"), Bar(142, 0, 198, 14));
}

TEST(MarkDrawing, BarsLeftOfThePrintableAreaAreCutOrLeftOut)
{
    Settings s;
    s.pclleftmm = 6.35f;
    EXPECT_EQ(Draw(s, "1"), Bar(0, 2835, 160, 14));
    s.ome_x = 2;
    s.pclleftmm = 8;
    EXPECT_EQ(Draw(s, "1"), Bar(0, 2835, 28, 14)); // exactly 1 mm is still drawn
    s.ome_b = 6.9f;
    EXPECT_EQ(Draw(s, "11"), "");
    s.ome_b = 7;
    s.omeleftmm = 0.5f; // the OME offset counts like the margin
    EXPECT_EQ(Draw(s, "1"), "");
}

TEST(RefJob, ByteOrderForEveryOptionMix)
{
    const std::string start = ESC + "%-12345X@PJL\r\n@PJL ENTER LANGUAGE=PCL\r\n" + ESC + "E" +
                              ESC + "(0N" + ESC + "&l0L\r\n" + ESC + "&l0U" + ESC + "&l0Z";
    const std::string grid =
        ESC + "%0BIN;SP1;PA0,0;FT4,400,0;RR8400,11880;ER8400,11880;" + ESC + "%0A\r\n";
    const std::string end = "\x0c" + ESC + "E" + ESC + "%-12345X\r\n";
    const std::string bars = Bar(142, 2835, 198, 14) + Bar(142, 2991, 198, 14);

    Settings s;
    EXPECT_EQ(BuildRefJob(s, true, true), start + bars + grid + end);
    EXPECT_EQ(BuildRefJob(s, false, true), start + bars + end);
    EXPECT_EQ(BuildRefJob(s, true, false), start + grid + end);

    // The code length is recomputed from the switches: every position gets a bar.
    s.use_security = true;
    s.nCodeLen = 2;
    EXPECT_EQ(BuildRefJob(s, false, true), start + bars + Bar(142, 3147, 198, 14) + end);
    s.pclleftmm = 12;
    EXPECT_EQ(BuildRefJob(s, true, true), start + grid + end);
}
