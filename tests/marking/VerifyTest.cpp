// The check of marked jobs: every export passes it, and each way a marked job goes wrong is
// caught on the right sheet with the right kind.
#include "marking/Verify.h"
#include "Exported.h"
#include "marking/EnvelopeList.h"
#include "settings/IniAccess.h"
#include "support/TempDir.h"

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
    s.useStop = s.useSupply = s.useSeqchk = s.useParity = s.useSecurity = true;
    s.seqchkCount = 2;
    s.limitEnvelopes = false;
    ComputeCodeLength(s);
    return s;
}

class VerifyTest : public ::testing::Test {
protected:
    // Exports `people` with `s`; `head` selects duplex when asked. Without `reset` only the head
    // resets the printer, so what a page sets holds for the pages after it.
    std::string Export(const Settings& s, const std::string& head = ESC + "E",
                       const std::vector<std::vector<std::int32_t>>& people = kPeople,
                       bool reset = true)
    {
        std::string job = head;
        std::int32_t pages = 0;
        for (const auto& letter : people)
            pages += static_cast<std::int32_t>(letter.size());
        for (int i = 1; i <= pages; ++i)
            job += (i > 1 && reset ? ESC + "E" : "") + "P" + std::to_string(i) + FF;
        EXPECT_TRUE(src.Connect(MakeMemorySource(job), "src.pcl"));
        persons = AddresseeList();
        test::AddLetters(persons, people);
        std::string out;
        ExportStats stats;
        EXPECT_TRUE(test::ExportInto(out, src, persons, s, stats));
        return out;
    }

    PclJob src;
    AddresseeList persons;
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
        {"envelope limit 2", [](Settings& s) { s.envelopeLimit = 2; }, false},
        {"print area and offsets",
         [](Settings& s) {
             s = AllMarks();
             s.pclTopMm = 4.2f;
             s.pclLeftMm = 3.1f;
             s.omeLeftMm = -1.2f;
             s.omeTopMm = 2.5f;
             s.stdLeftMm = 1.5f;
             s.stdTopMm = -0.7f;
         },
         false},
        {"clipped bars", [](Settings& s) { s.pclLeftMm = 6.35f; }, false},
        {"odd sizes, 13 bars",
         [](Settings& s) {
             s = AllMarks();
             s.supplyCount = s.seqchkCount = 4;
             s.omeA = 3.33f;
             s.omeD = 0.45f;
             s.omeY = 20;
             ComputeCodeLength(s);
         },
         false},
        {"duplex", [](Settings& s) { s = AllMarks(); }, true},
        {"duplex with limit 1", [](Settings& s) { s.envelopeLimit = 1; }, true},
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
             s.limitEnvelopes = true;
             s.envelopeLimit = 2;
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

TEST_F(VerifyTest, SequenceBreaksAreCaughtAtEveryWidth)
{
    // The width as the settings file stores it: 0, the default of a file without it, is 1.
    const std::pair<const char*, std::int32_t> widths[] = {
        {"0", 1}, {"1", 1}, {"2", 2}, {"3", 3}, {"4", 4}};
    for (const auto& [stored, width] : widths) {
        test::TempDir dir;
        IniAccess ini;
        ini.IniFile(
            dir.Write("kuvrion.ini", std::string("[ome]\r\nseqchk_count=") + stored + "\r\n")
                .string());
        Settings s = LoadSettings(ini);
        ASSERT_EQ(s.seqchkCount, width) << stored;
        s.useStop = s.useSupply = s.useSeqchk = s.useParity = s.useSecurity = true;
        ComputeCodeLength(s);
        const std::string marked = Export(s);
        std::string head, foot;
        const std::vector<std::string> sheets = Sheets(marked, head, foot);
        ASSERT_EQ(sheets.size(), 6u);
        // Without a start the job's first sheet gives it: a swap then breaks at sheet 2 (at 3
        // with one bar, where sheet 2 holds the value sheet 1 would have had).
        const struct {
            bool swap;
            std::optional<std::uint32_t> start;
            std::int64_t sheet;
        } cases[] = {
            {false, std::nullopt, 2}, {true, std::nullopt, width == 1 ? 3 : 2}, {true, 0, 1}};
        for (const auto& c : cases) {
            std::vector<std::string> altered = sheets;
            if (c.swap)
                std::swap(altered[0], altered[1]);
            else
                altered.erase(altered.begin() + 1);
            std::string job = head;
            for (const auto& sheet : altered)
                job += sheet + FF;
            const VerifyReport r = test::Verified(job + foot, s, nullptr, c.start);
            ASSERT_FALSE(r.problems.empty()) << stored << (c.swap ? " swapped" : " removed");
            EXPECT_EQ(r.problems.front().kind, VerifyKind::Sequence) << stored;
            EXPECT_EQ(r.problems.front().sheet, c.sheet) << stored;
        }
    }
}

TEST_F(VerifyTest, ASetUpChangeIsReportedOnceWhereItTakesEffect)
{
    // 19 sheets, and only the head resets the printer: what a sheet sets holds for those after it.
    const std::vector<std::vector<std::int32_t>> people = {
        {1, 2, 3, 4, 5}, {6, 7, 8, 9, 10, 11, 12}, {13, 14, 15, 16, 17, 18, 19}};
    using Sheets_t = std::vector<std::string>;
    // A page that sets `what` at its start (sheet 1-based).
    auto at = [](std::size_t sheet, std::string what) {
        return [sheet, what](Sheets_t& sh) { sh[sheet - 1].insert(0, what); };
    };
    struct Case {
        const char* name;
        std::function<void(Sheets_t&)> alter;
        VerifyKind kind;
        VerifyDetail detail;
        std::int64_t sheet, affected; // the one problem; sheet 0: none
    };
    const Case cases[] = {
        {"uniform", [](Sheets_t&) {}, VerifyKind::Code, VerifyDetail::None, 0, 0},
        {"the job's own margin", at(1, ESC + "&l6E"), VerifyKind::Code, VerifyDetail::None, 0, 0},
        {"margin from sheet 9", at(9, ESC + "&l6E"), VerifyKind::Orientation,
         VerifyDetail::TopMargin, 9, 11},
        {"margin on sheets 9-11",
         [&](Sheets_t& sh) {
             at(9, ESC + "&l6E")(sh);
             at(12, ESC + "&l3E")(sh);
         },
         VerifyKind::Orientation, VerifyDetail::TopMargin, 9, 3},
        // The export sets the offset registration of the marks on every page: a job whose marks
        // were written with another one from sheet 9.
        {"mark offset from sheet 9",
         [](Sheets_t& sh) {
             const std::string ome = ESC + "&l0U" + ESC + "&l0Z";
             for (std::size_t i = 8; i < sh.size(); ++i)
                 sh[i].replace(sh[i].rfind(ome), ome.size(), ESC + "&l40U" + ESC + "&l-20Z");
         },
         VerifyKind::Position, VerifyDetail::None, 9, 11},
        {"landscape from sheet 9", at(9, ESC + "&l1O"), VerifyKind::Orientation,
         VerifyDetail::Landscape, 9, 11},
    };
    const Settings s = AllMarks();
    const std::string marked = Export(s, ESC + "E", people, false);
    for (const Case& c : cases) {
        std::string head, foot;
        std::vector<std::string> sheets = Sheets(marked, head, foot);
        ASSERT_EQ(sheets.size(), 19u);
        c.alter(sheets);
        std::string job = head;
        for (const auto& sheet : sheets)
            job += sheet + FF;
        const VerifyReport r = test::Verified(job + foot, s);
        // The bars are still read past the change: the envelopes stay those of the export.
        EXPECT_EQ(r.envelopeSheets, (std::vector<std::int32_t>{5, 7, 7})) << c.name;
        if (c.sheet == 0) {
            EXPECT_TRUE(r.problems.empty()) << c.name;
            continue;
        }
        ASSERT_EQ(r.problems.size(), 1u) << c.name;
        const VerifyProblem& p = r.problems.front();
        EXPECT_EQ(p.kind, c.kind) << c.name;
        EXPECT_EQ(p.detail, c.detail) << c.name;
        EXPECT_EQ(p.sheet, c.sheet) << c.name;
        EXPECT_EQ(p.sheetsAffected, c.affected) << c.name;
    }
    // The margin the first sheet has is the reference, however few sheets keep it.
    std::string head, foot;
    std::vector<std::string> sheets = Sheets(marked, head, foot);
    sheets[1].insert(0, ESC + "&l6E");
    std::string job = head;
    for (const auto& sheet : sheets)
        job += sheet + FF;
    const VerifyReport r = test::Verified(job + foot, s);
    ASSERT_EQ(r.problems.size(), 1u);
    EXPECT_EQ(r.problems.front().found, "25.40");
    EXPECT_EQ(r.problems.front().expected, "12.70");
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
