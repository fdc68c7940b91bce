// The addressee key on a page: the page text without escape sequences, the key search in both
// modes with its faults, and the masking of the key in the raw page.
#include "addressees/AdrKey.h"
#include "settings/Settings.h"
#include "support/Jobs.h"

#include <gtest/gtest.h>

#include <tuple>

namespace kuvrion {
namespace {

using test::Esc;
using test::kReset;
using test::Raster;

Settings Key(std::int32_t mode, std::int32_t idLen, std::string beg = "K:", std::string end = ";")
{
    Settings s;
    s.keyBegin = std::move(beg);
    s.keyEnd = std::move(end);
    s.keyMode = mode;
    s.idLength = idLen;
    return s;
}

TEST(AdrKey, SearchOutcomesAndFaultsInBothModes)
{
    struct Case {
        std::int32_t mode, idLen;
        std::string text;
        std::int64_t pos, len;
        std::string id;
        int fault; // -1: none
    };
    // clang-format off
    const Case cases[] = {
        {0, 0, "Herr X K:AB12; Ende", 8, 7, "AB12", -1},
        {0, 0, "K: a\r\nb ;", 1, 9, " a\r\nb ", -1}, // blanks and line breaks are part of it
        {0, 0, "K:;", 1, 2, "", kIdMissing},
        {0, 0, "K:AB12", 1, 2, "", kEndMarkerMissing},
        {0, 0, "K:; K:GOOD;", 1, 2, "", kIdMissing}, // only the first start marker counts
        {0, 0, "k:AB12;", 0, 0, "", kKeyNotFound},   // letter case matters
        {1, 4, "..K:123456;", 3, 6, "1234", -1},     // the end marker plays no part
        {1, 4, "K:1234", 1, 6, "1234", -1},
        {1, 4, "..K:123", 3, 2, "", kIdTooShort},
        {1, 0, "K:123", 1, 2, "", kIdTooShort},      // no ID length, no ID
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        KeyFaultCounts err{};
        const auto key = FindAdrKey(c.text, Key(c.mode, c.idLen), &err).value_or(FoundKey{});
        EXPECT_EQ(std::tuple(key.span.pos, key.span.len, key.id), std::tuple(c.pos, c.len, c.id));
        KeyFaultCounts want{};
        if (c.fault >= 0) {
            want[static_cast<std::size_t>(c.fault)] = 1;
        }
        EXPECT_EQ(err, want);
    }
}

TEST(AdrKey, PageTextDropsEscapesAndBinaryData)
{
    // W data holding an FF, an ESC and a whole key is no text; nor is anything after a W count
    // that reaches past the end, or a lone ESC.
    EXPECT_EQ(GetPageText(kReset + "A\r\n" + Raster("\f\x1bK:X;") + "B" + Esc("&a10H") + "\xe4" +
                          Esc("(s1B")),
              "A\r\nB\xe4");
    EXPECT_EQ(GetPageText("plain"), "plain");
    EXPECT_EQ(GetPageText("x" + Esc("*b2147483647W") + "abc"), "x");
    EXPECT_EQ(GetPageText(std::string(1001, '\x1b')), "");
}

TEST(AdrKey, NearestMarkerTextIgnoresCaseBlanksAndPunctuation)
{
    // Page text, marker, the text shown as the nearest.
    const std::tuple<const char*, const char*, const char*> cases[] = {
        {"Rechnung Kd-Nr: 4711", "Kd.-Nr.:", "Kd-Nr:"},
        {"KUNDE NR. 12", "Kunden-Nr", ""},
        {"x kd nr.4711", "Kd.-Nr.:", "kd nr."},
        {"\xC4nderung: \xFC", "\xE4nderung", "\xC4nderung:"},
        {"Kd-Nr: 1", "--", ""},
    };
    for (const auto& [text, marker, nearest] : cases)
        EXPECT_EQ(NearestMarkerText(text, marker), nearest) << text;
}

TEST(AdrKey, MaskingBlanksTheKeyAndKeepsEveryEscape)
{
    const Settings s = Key(0, 0, "KEY", "#");
    // The key split by escape sequences, one of them with W data.
    std::string page = kReset + "Hallo K" + Esc("&a5H") + "EY12" + Raster("\f\x1b") + "3#rest";
    ASSERT_EQ(GetPageText(page), "Hallo KEY123#rest");
    MaskAdrKey(page, s);
    EXPECT_EQ(page, kReset + "Hallo  " + Esc("&a5H") + "    " + Raster("\f\x1b") + "  rest");

    // An invalid ID: only the start marker; no start marker: nothing.
    std::string noEnd = "xKEY12";
    MaskAdrKey(noEnd, s);
    EXPECT_EQ(noEnd, "x   12");
    std::string none = "x" + Esc("&a5H") + "KE" + Raster("Y");
    const std::string kept = none;
    MaskAdrKey(none, s);
    EXPECT_EQ(none, kept);
}

} // namespace
} // namespace kuvrion
