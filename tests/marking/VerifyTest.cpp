// The check of marked jobs: every export passes it, and each way a marked job goes wrong is
// caught on the right sheet with the right kind.
#include "marking/Verify.h"
#include "Exported.h"
#include "marking/EnvelopeList.h"

#include <gtest/gtest.h>

#include <functional>

using namespace kuvrion;

namespace {

const std::string ESC = "\x1b";
const std::string FF = "\f";

// Three addressees: pages 1-3, page 4, pages 5-6. Every page begins with a printer reset, as
// driver jobs do.
const std::vector<std::vector<std::int32_t>> kPeople = {{1, 2, 3}, {4}, {5, 6}};

Settings AllMarks()
{
    Settings s;
    s.use_stop = s.use_supply = s.use_seqchk = s.use_parity = s.use_security = true;
    s.seqchk_count = 2;
    s.bEnvLimit = false;
    ComputeCodeLength(s);
    return s;
}

class VerifyTest : public ::testing::Test {
protected:
    // Exports kPeople with `s`; `head` selects duplex when asked.
    std::string Export(const Settings& s, const std::string& head = ESC + "E")
    {
        std::string job = head;
        for (int i = 1; i <= 6; ++i)
            job += (i > 1 ? ESC + "E" : "") + "P" + std::to_string(i) + FF;
        EXPECT_TRUE(src.Connect(MakeMemorySource(job), "src.pcl"));
        persons = cKVPersons();
        test::AddLetters(persons, kPeople);
        std::string out;
        ExportStats stats;
        EXPECT_FALSE(test::ExportInto(out, src, persons, s, stats));
        return out;
    }

    cPclMod src;
    cKVPersons persons;
};

TEST_F(VerifyTest, EveryExportPasses)
{
    struct Case {
        const char* name;
        std::function<void(Settings&)> set;
        bool duplex;
    };
    const Case cases[] = {
        {"defaults", [](Settings&) {}, false},
        {"all marks", [](Settings& s) { s = AllMarks(); }, false},
        {"envelope limit 2", [](Settings& s) { s.nEnvLimit = 2; }, false},
        {"print area and offsets",
         [](Settings& s) {
             s = AllMarks();
             s.pcltopmm = 4.2f;
             s.pclleftmm = 3.1f;
             s.omeleftmm = -1.2f;
             s.ometopmm = 2.5f;
             s.stdleftmm = 1.5f;
             s.stdtopmm = -0.7f;
         },
         false},
        {"clipped bars", [](Settings& s) { s.pclleftmm = 6.35f; }, false},
        {"odd sizes, 13 bars",
         [](Settings& s) {
             s = AllMarks();
             s.supply_count = s.seqchk_count = 4;
             s.ome_a = 3.33f;
             s.ome_d = 0.45f;
             s.ome_y = 20;
             ComputeCodeLength(s);
         },
         false},
        {"duplex", [](Settings& s) { s = AllMarks(); }, true},
        {"duplex with limit 1", [](Settings& s) { s.nEnvLimit = 1; }, true},
    };
    for (const Case& c : cases) {
        Settings s;
        c.set(s);
        const std::string marked = Export(s, c.duplex ? ESC + "E" + ESC + "&l1S" : ESC + "E");
        const VerifyReport r = test::Verified(marked, s);
        EXPECT_TRUE(r.problems.empty()) << c.name;
        std::vector<std::int32_t> exported;
        for (const Envelope& e : ListEnvelopes(persons, persons.Count(), s, c.duplex))
            exported.push_back(e.sheets);
        EXPECT_EQ(r.envelopeSheets, exported) << c.name;
    }
}

// The sheets of a simplex export whose head is a printer reset: what lies before each form feed.
std::vector<std::string> Sheets(const std::string& marked, std::string& head, std::string& foot)
{
    std::vector<std::string> sheets;
    head = marked.substr(0, 2);
    std::size_t from = 2;
    for (std::size_t ff; (ff = marked.find(FF, from)) != std::string::npos; from = ff + 1)
        sheets.push_back(marked.substr(from, ff - from));
    foot = marked.substr(from);
    return sheets;
}

TEST_F(VerifyTest, AlteredJobsAreCaughtOnTheRightSheet)
{
    using Sheets_t = std::vector<std::string>;
    auto insertBefore = [](Sheets_t& sh, std::size_t i, const std::string& what) {
        const std::size_t at = sh[i].find('P');
        sh[i].insert(at, what);
    };
    struct Case {
        const char* name;
        std::function<void(Sheets_t&)> alter;
        std::function<void(Settings&)> verifyWith;
        VerifyKind kind;
        std::int64_t sheet;
    };
    const Case cases[] = {
        {"bar removed", [](Sheets_t& sh) { sh[1].erase(sh[1].rfind(ESC + "&a")); }, nullptr,
         VerifyKind::Code, 2},
        {"bar moved 0.5 mm",
         [](Sheets_t& sh) {
             const std::size_t at = sh[2].find("&a2835V");
             sh[2].replace(at, 7, "&a2849V");
         },
         nullptr, VerifyKind::Position, 3},
        {"two sheets swapped", [](Sheets_t& sh) { std::swap(sh[0], sh[1]); }, nullptr,
         VerifyKind::Sequence, 1},
        {"sheet removed", [](Sheets_t& sh) { sh.erase(sh.begin() + 1); }, nullptr,
         VerifyKind::Sequence, 2},
        {"landscape", [&](Sheets_t& sh) { insertBefore(sh, 2, ESC + "&l1O"); }, nullptr,
         VerifyKind::Orientation, 3},
        {"other top margin", [&](Sheets_t& sh) { insertBefore(sh, 1, ESC + "&l0E"); }, nullptr,
         VerifyKind::Orientation, 2},
        {"rectangle in the clear zone",
         [&](Sheets_t& sh) {
             insertBefore(sh, 3,
                          ESC + "&a100H" + ESC + "&a2900V" + ESC + "*c400H" + ESC + "*c30V" + ESC +
                              "*c0P");
         },
         nullptr, VerifyKind::ForeignMark, 4},
        {"envelope over the limit", [](Sheets_t&) {},
         [](Settings& s) {
             s.bEnvLimit = true;
             s.nEnvLimit = 2;
         },
         VerifyKind::EnvelopeLimit, 3},
    };
    const Settings s = AllMarks();
    const std::string marked = Export(s);
    for (const Case& c : cases) {
        std::string head, foot;
        Sheets_t sheets = Sheets(marked, head, foot);
        ASSERT_EQ(sheets.size(), 6u);
        c.alter(sheets);
        std::string altered = head;
        for (const auto& sheet : sheets)
            altered += sheet + FF;
        altered += foot;
        Settings v = s;
        if (c.verifyWith)
            c.verifyWith(v);
        const VerifyReport r = test::Verified(altered, v);
        ASSERT_FALSE(r.problems.empty()) << c.name;
        EXPECT_EQ(r.problems.front().kind, c.kind) << c.name;
        EXPECT_EQ(r.problems.front().sheet, c.sheet) << c.name;
    }
}

TEST_F(VerifyTest, AnotherSourceGivesOtherEnvelopes)
{
    const Settings s = AllMarks();
    VerifyReport r = test::Verified(Export(s), s);
    ASSERT_TRUE(r.problems.empty());
    CompareWithExport(r, {3, 1, 1, 1});
    ASSERT_EQ(r.problems.size(), 2u); // envelope count, then the first envelope that differs
    EXPECT_EQ(r.problems[0].kind, VerifyKind::SourceMismatch);
    EXPECT_EQ(r.problems[1].sheet, 5);
    EXPECT_EQ(r.problems[1].found, "2");
}

} // namespace
