#include "addressees/AdrKey.h"
#include "settings/Settings.h"

#include <gtest/gtest.h>

using namespace kuvrion;

namespace {

const std::string ESC = "\x1b";

Settings EndMarkerKey(std::string beg = "K:", std::string end = ";")
{
    Settings s;
    s.sAdrKeyBeg = std::move(beg);
    s.sAdrKeyEnd = std::move(end);
    s.nAdrKeyMode = 0;
    return s;
}

Settings FixedKey(std::int32_t len)
{
    Settings s = EndMarkerKey();
    s.nAdrKeyMode = 1;
    s.nAdrIdLen = len;
    return s;
}

struct Found {
    std::int64_t pos;
    std::int64_t len;
    std::string id;
    ImpErrCounters err;
};

Found Find(std::string_view text, const Settings& s)
{
    Found f{0, -1, "x", {}};
    f.pos = FindAdrKey(text, s, f.len, f.id, &f.err);
    return f;
}

} // namespace

TEST(AdrKey, EndMarkerModeOutcomesAndFaults)
{
    const Settings s = EndMarkerKey();
    Found f = Find("Herr X K:AB12; Ende", s);
    EXPECT_EQ(f.pos, 8);
    EXPECT_EQ(f.len, 7);
    EXPECT_EQ(f.id, "AB12");
    EXPECT_EQ(f.err, (ImpErrCounters{0, 0, 0, 0}));

    f = Find("K:;", s); // end marker right after the start marker
    EXPECT_EQ(f.pos, 1);
    EXPECT_EQ(f.len, 2);
    EXPECT_EQ(f.id, "");
    EXPECT_EQ(f.err, (ImpErrCounters{0, 1, 0, 0}));

    f = Find("K:AB12", s);
    EXPECT_EQ(f.len, 2);
    EXPECT_EQ(f.err, (ImpErrCounters{0, 0, 1, 0}));

    f = Find("k:AB12;", s); // letter case matters
    EXPECT_EQ(f.pos, 0);
    EXPECT_EQ(f.len, -1); // unchanged when the start marker is absent
    EXPECT_EQ(f.err, (ImpErrCounters{0, 0, 0, 1}));

    // Only the first start marker counts, even when a later one has a valid ID; blanks and line
    // breaks between the markers belong to the ID.
    f = Find("K:; K:GOOD;", s);
    EXPECT_EQ(f.pos, 1);
    EXPECT_EQ(f.id, "");
    f = Find("K: a\r\nb ;", s);
    EXPECT_EQ(f.id, " a\r\nb ");
}

TEST(AdrKey, FixedLengthModeIgnoresEndMarker)
{
    Found f = Find("..K:123456;", FixedKey(4));
    EXPECT_EQ(f.pos, 3);
    EXPECT_EQ(f.len, 6);
    EXPECT_EQ(f.id, "1234");
    f = Find("..K:123", FixedKey(4));
    EXPECT_EQ(f.id, "");
    EXPECT_EQ(f.len, 2);
    EXPECT_EQ(f.err, (ImpErrCounters{1, 0, 0, 0}));
    EXPECT_EQ(Find("K:1234", FixedKey(4)).id, "1234"); // ID up to the last character

    std::int64_t len = 0;
    std::string id;
    EXPECT_EQ(FindAdrKey("no key", FixedKey(4), len, id, nullptr), 0); // counting is optional
}

TEST(AdrKey, PageTextDropsEscapesAndBinaryData)
{
    // The W data holds an FF, an ESC and the start marker: none of it is text.
    const std::string page = ESC + "E" + "A\r\n" + ESC + "*b6W" + "\x0c" + ESC + "K:X;" + "B" +
                             ESC + "&a10H" + "\xe4" + ESC + "(s1B";
    EXPECT_EQ(GetPageText(page), "A\r\nB\xe4");
    EXPECT_EQ(GetPageText("plain"), "plain");
    EXPECT_EQ(GetPageText(ESC + "*b100W" + "abc"), ""); // count reaches past the end
    EXPECT_EQ(Find(GetPageText(page), EndMarkerKey()).pos, 0);
}

TEST(AdrKey, MaskingBlanksKeySplitByEscapeAndKeepsEscapes)
{
    const Settings s = EndMarkerKey("KEY", "#");
    // The start marker and the ID are split by escape sequences in the raw page.
    std::string page =
        ESC + "E" + "Hallo K" + ESC + "&a5H" + "EY12" + ESC + "*b2W" + "\x0c\x1b" + "3#rest";
    EXPECT_EQ(GetPageText(page), "Hallo KEY123#rest");
    const std::string before = page;
    MaskAdrKey(page, s);
    const std::string want =
        ESC + "E" + "Hallo  " + ESC + "&a5H" + "    " + ESC + "*b2W" + "\x0c\x1b" + "  rest";
    EXPECT_EQ(page, want);
    EXPECT_EQ(page.size(), before.size());

    // An invalid ID: only the start marker is blanked; without marker nothing changes.
    std::string noEnd = "xKEY12";
    MaskAdrKey(noEnd, s);
    EXPECT_EQ(noEnd, "x   12");
    std::string none = "x" + ESC + "&a5H" + "y";
    MaskAdrKey(none, s);
    EXPECT_EQ(none, "x" + ESC + "&a5H" + "y");

    // A key right before an escape whose data count runs past the end of the page.
    std::string tail = "KEY1#" + ESC + "*b9W";
    MaskAdrKey(tail, s);
    EXPECT_EQ(tail, "     " + ESC + "*b9W");
}
