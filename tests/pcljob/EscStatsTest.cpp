// Listing the escape sequences of a page, and the escape skeleton built from that list.
#include "pcljob/EscSkeleton.h"
#include "pcljob/cPclMod.h"
#include "support/Jobs.h"

#include <gtest/gtest.h>

namespace kuvrion {
namespace {

using test::Esc;
using test::kReset;
using test::Raster;

TEST(EscStats, PositionsAndLengths)
{
    struct Case {
        std::string text;
        std::vector<std::int64_t> pos;
        std::vector<std::int64_t> len;
    };
    const Case cases[] = {
        {Esc("&l0E") + Raster("\x1b\fE") + "A", {1, 6}, {5, 8}},
        // Two characters, an unexpected c2 (3), malformed (the offending character included).
        {"ab" + kReset + "c" + Esc("&.") + "5" + Esc("(s1p\x01") + "z", {3, 6, 10}, {2, 3, 6}},
        // The text ends inside a sequence; ESC ESC is a sequence and a last lone ESC one too.
        {"x" + Esc("*p12"), {2}, {5}},
        {"\x1b\x1b\x1b", {1, 3}, {2, 1}},
        // A W count past the end counts whole, without overflowing, and ends the listing.
        {Esc("*b100W") + "ab" + kReset, {1}, {107}},
        {"x" + Esc("*b2147483647W") + "ab", {2}, {14 + std::int64_t{2147483647}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.text));
        std::vector<std::int64_t> pos{7};
        std::vector<std::int64_t> len{7};
        std::int32_t count = -1;
        cPclMod::GetEscStats(c.text, pos, len, count);
        EXPECT_EQ(count, static_cast<std::int32_t>(c.pos.size()));
        EXPECT_EQ(pos, c.pos);
        EXPECT_EQ(len, c.len);
    }
}

TEST(EscSkeleton, PagesAndWholeJob)
{
    // Text is replaced (also before the first and after the last sequence); W data is copied
    // whole, and only up to the page end when its count reaches past it.
    const std::tuple<std::string, char, std::string> pages[] = {
        {"Hallo", 'a', "aaaaa"},
        {"", 'a', ""},
        {kReset + Esc("&l0O"), 'a', kReset + Esc("&l0O")},
        {"Ab" + Raster("\f\x1b\xff") + "cd\r\n" + Esc("*p+5X") + "e", ' ',
         "  " + Raster("\f\x1b\xff") + "    " + Esc("*p+5X") + " "},
        {"x" + Esc("*b50W") + "abc", 'a', "a" + Esc("*b50W") + "abc"},
    };
    for (const auto& [page, fill, skeleton] : pages) {
        std::string out = "<";
        AppendPageSkeleton(out, page, fill);
        EXPECT_EQ(out, "<" + skeleton) << testing::PrintToString(page);
    }

    const std::string uel = Esc("%-12345X");
    cPclMod job;
    ASSERT_TRUE(
        job.Connect(MakeMemorySource(uel + "@PJL\r\n" + kReset + "Eins" + Esc("(s3B") +
                                     "\fZwei\f\f" + Raster("\f\f") + "Drei\f" + kReset + uel),
                    "mem"));
    std::string out;
    const auto sink = [&](std::string_view s) {
        out.append(s);
        return true;
    };
    ASSERT_TRUE(WriteEscSkeleton(job, job.Pages(), 97, sink));
    EXPECT_EQ(out, uel + "@PJL\r\n" + kReset + "aaaa" + Esc("(s3B") + "\faaaa\f\f" +
                       Raster("\f\f") + "aaaa\f" + kReset + uel);

    // Without a foot the skeleton ends with the FF after the last page; the fill code is a byte.
    ASSERT_TRUE(job.Connect(MakeMemorySource("ab\fc"), "mem"));
    out.clear();
    ASSERT_TRUE(WriteEscSkeleton(job, job.Pages(), 0xFC, sink));
    EXPECT_EQ(out, "\xfc\xfc\f");
    // A failing sink stops the writer and reports it.
    int calls = 0;
    EXPECT_FALSE(
        WriteEscSkeleton(job, job.Pages(), 97, [&](std::string_view) { return ++calls > 1; }));
    EXPECT_EQ(calls, 1);
}

} // namespace
} // namespace kuvrion
