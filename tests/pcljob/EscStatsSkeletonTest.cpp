// Listing the escape sequences of a page, and the escape skeleton built from that list.
#include "PclJobTestSupport.h"

#include "pcljob/EscSkeleton.h"

#include <gtest/gtest.h>

namespace kuvrion {
namespace {

using test::Esc;

struct Listing {
    std::vector<std::int64_t> pos;
    std::vector<std::int64_t> len;
    std::int32_t count = -1;
};

Listing List(const std::string& text)
{
    Listing l;
    cPclMod::GetEscStats(text, l.pos, l.len, l.count);
    return l;
}

TEST(EscStats, PositionsAndLengths)
{
    // ESC & l 0 E ESC * b 3 W, three data bytes, A: 14 characters.
    Listing l = List(Esc("&l0E") + Esc("*b3W") + "\033\fE" + "A");
    EXPECT_EQ(l.count, 2);
    EXPECT_EQ(l.pos, (std::vector<std::int64_t>{1, 6}));
    EXPECT_EQ(l.len, (std::vector<std::int64_t>{5, 8}));

    // Two-character, unexpected c2 (3), malformed (offending character included).
    l = List("ab" + Esc("E") + "c" + Esc("&.") + "5" + Esc("(s1p\x01") + "z");
    EXPECT_EQ(l.pos, (std::vector<std::int64_t>{3, 6, 10}));
    EXPECT_EQ(l.len, (std::vector<std::int64_t>{2, 3, 6}));

    // Text ending inside a sequence: the characters present; a lone ESC is one.
    l = List("x" + Esc("*p12"));
    EXPECT_EQ(l.len, (std::vector<std::int64_t>{5}));
    l = List("x\x1b");
    EXPECT_EQ(l.count, 1);
    EXPECT_EQ(l.len, (std::vector<std::int64_t>{1}));

    // A W count past the end still counts whole, and the listing ends there.
    l = List(Esc("*b100W") + "ab" + Esc("E"));
    EXPECT_EQ(l.count, 1);
    EXPECT_EQ(l.len, (std::vector<std::int64_t>{107}));
}

TEST(EscStats, ArraysAreLeftAloneWithoutEscapes)
{
    Listing l;
    l.pos = {7, 8, 9};
    l.len = {1, 1, 1};
    cPclMod::GetEscStats("no escapes here", l.pos, l.len, l.count);
    EXPECT_EQ(l.count, 0);
    EXPECT_EQ(l.pos.size(), 3u);
    cPclMod::GetEscStats("", l.pos, l.len, l.count);
    EXPECT_EQ(l.count, 0);
    EXPECT_EQ(l.len.size(), 3u);
    // With escapes the arrays hold exactly the sequences found.
    cPclMod::GetEscStats(Esc("E"), l.pos, l.len, l.count);
    EXPECT_EQ(l.pos, (std::vector<std::int64_t>{1}));
}

std::string Skeleton(const std::string& page, char fill = 'a')
{
    std::string out;
    AppendPageSkeleton(out, page, fill);
    return out;
}

TEST(EscSkeleton, PageSkeletons)
{
    EXPECT_EQ(Skeleton("Hallo"), "aaaaa");
    EXPECT_EQ(Skeleton(""), "");
    EXPECT_EQ(Skeleton(Esc("E") + Esc("&l0O")), Esc("E") + Esc("&l0O"));
    // Text before the first and after the last sequence is replaced too; W data is copied whole.
    EXPECT_EQ(Skeleton("Ab" + Esc("*b3W") + "\x0c\x1b\xff" + "cd\r\n" + Esc("*p+5X") + "e", ' '),
              "  " + Esc("*b3W") + "\x0c\x1b\xff" + "    " + Esc("*p+5X") + " ");
    // A W count past the end of the page is copied only up to the page end.
    EXPECT_EQ(Skeleton("x" + Esc("*b50W") + "abc"), "a" + Esc("*b50W") + "abc");
}

TEST(EscSkeleton, WholeJob)
{
    const std::string bytes = Esc("%-12345X") + "@PJL\r\n" + Esc("E") + "Eins" + Esc("(s3B") +
                              "\fZwei\f\f" + Esc("*b2W") + "\x0c\x0c" + "Drei\x0c" + Esc("E") +
                              Esc("%-12345X");
    cPclMod job;
    ASSERT_TRUE(job.Connect(MakeMemorySource(bytes), "mem"));
    ASSERT_EQ(job.Pages(), 4);
    std::string out;
    auto sink = [&](std::string_view s) {
        out.append(s);
        return true;
    };
    ASSERT_EQ(WriteEscSkeleton(job, job.Pages(), 97, sink), std::nullopt);
    EXPECT_EQ(out, Esc("%-12345X") + "@PJL\r\n" + Esc("E") + "aaaa" + Esc("(s3B") + "\faaaa\f\f" +
                       Esc("*b2W") + "\x0c\x0c" + "aaaa\x0c" + Esc("E") + Esc("%-12345X"));

    // Without a foot the skeleton ends with the FF after the last page, unless that page had none
    // in the job; the fill code is a byte.
    for (const auto& [bytes1, skeleton] :
         {std::pair<std::string, std::string>{"ab\fc\f", "\xfc\xfc\f\xfc\f"},
          {"ab\fc", "\xfc\xfc\f\xfc"}}) {
        ASSERT_TRUE(job.Connect(MakeMemorySource(bytes1), "mem"));
        out.clear();
        ASSERT_EQ(WriteEscSkeleton(job, job.Pages(), 0xFC, sink), std::nullopt);
        EXPECT_EQ(out, skeleton);
    }

    // A failing sink stops the writer and reports it.
    int calls = 0;
    EXPECT_EQ(
        WriteEscSkeleton(job, job.Pages(), 97, [&](std::string_view) { return ++calls > 1; })->what,
        FailureKind::TargetWrite);
    EXPECT_EQ(calls, 1);
}

} // namespace
} // namespace kuvrion
