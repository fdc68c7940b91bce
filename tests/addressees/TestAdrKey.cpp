#include "addressees/AdrKey.h"
#include "settings/Settings.h"

#include <gtest/gtest.h>

using namespace kuvrion;

namespace {

const std::string ESC = "\x1b";

Settings Key(std::int32_t mode, std::int32_t idLen = 0,
             std::string beg = "K:", std::string end = ";")
{
    Settings s;
    s.sAdrKeyBeg = std::move(beg);
    s.sAdrKeyEnd = std::move(end);
    s.nAdrKeyMode = mode;
    s.nAdrIdLen = idLen;
    return s;
}

} // namespace

TEST(AdrKey, SearchOutcomesAndFaultsInBothModes)
{
    struct Case {
        std::int32_t mode, idLen;
        std::string text;
        std::int64_t pos, len;
        std::string id;
        int fault; // -1: none
    };
    const Case cases[] = {
        {0, 0, "Herr X K:AB12; Ende", 8, 7, "AB12", -1},
        {0, 0, "K: a\r\nb ;", 1, 9, " a\r\nb ", -1}, // blanks and line breaks are part of it
        {0, 0, "K:;", 1, 2, "", kIdMissing},
        {0, 0, "K:AB12", 1, 2, "", kEndMarkerMissing},
        {0, 0, "K:; K:GOOD;", 1, 2, "", kIdMissing}, // only the first start marker counts
        {0, 0, "k:AB12;", 0, -1, "", kKeyNotFound},  // letter case matters; length untouched
        {1, 4, "..K:123456;", 3, 6, "1234", -1},     // the end marker plays no part
        {1, 4, "K:1234", 1, 6, "1234", -1},
        {1, 4, "..K:123", 3, 2, "", kIdTooShort},
    };
    for (const Case& c : cases) {
        ImpErrCounters err{};
        std::int64_t len = -1;
        std::string id = "stale";
        EXPECT_EQ(FindAdrKey(c.text, Key(c.mode, c.idLen), len, id, &err), c.pos) << c.text;
        EXPECT_EQ(len, c.len) << c.text;
        EXPECT_EQ(id, c.id) << c.text;
        ImpErrCounters want{};
        if (c.fault >= 0)
            want[static_cast<std::size_t>(c.fault)] = 1;
        EXPECT_EQ(err, want) << c.text;
    }
}

TEST(AdrKey, PageTextDropsEscapesAndBinaryData)
{
    // The W data holds an FF, an ESC and a whole key: none of it is text.
    const std::string page = ESC + "E" + "A\r\n" + ESC + "*b6W" + "\x0c" + ESC + "K:X;" + "B" +
                             ESC + "&a10H" + "\xe4" + ESC + "(s1B";
    EXPECT_EQ(GetPageText(page), "A\r\nB\xe4");
    EXPECT_EQ(GetPageText("plain"), "plain");
    EXPECT_EQ(GetPageText(ESC + "*b100W" + "abc"), ""); // the count reaches past the end
}

TEST(AdrKey, MaskingBlanksKeySplitByEscapesAndKeepsEveryEscape)
{
    const Settings s = Key(0, 0, "KEY", "#");
    std::string page =
        ESC + "E" + "Hallo K" + ESC + "&a5H" + "EY12" + ESC + "*b2W" + "\x0c\x1b" + "3#rest";
    ASSERT_EQ(GetPageText(page), "Hallo KEY123#rest");
    MaskAdrKey(page, s);
    EXPECT_EQ(page,
              ESC + "E" + "Hallo  " + ESC + "&a5H" + "    " + ESC + "*b2W" + "\x0c\x1b" + "  rest");

    // An invalid ID: only the start marker; no start marker: nothing.
    std::string noEnd = "xKEY12";
    MaskAdrKey(noEnd, s);
    EXPECT_EQ(noEnd, "x   12");
    std::string none = "x" + ESC + "&a5H" + "KE" + ESC + "*b1W" + "Y";
    const std::string kept = none;
    MaskAdrKey(none, s);
    EXPECT_EQ(none, kept);
}
