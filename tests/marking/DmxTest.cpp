// The 2D code beside the bars: the content a template gives each sheet, the symbols the export
// draws (read back with the decoding library from a raster of the exported rectangles), the check
// of a marked job, and the refusals.
#include "Exported.h"
#include "base/ByteText.h"
#include "marking/DmxContent.h"
#include "marking/DmxSymbol.h"
#include "marking/EnvelopeList.h"
#include "marking/Manifest.h"
#include "marking/PclPlacement.h"
#include "marking/RefJob.h"
#include "marking/Verify.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <functional>
#include <numeric>
#include <tuple>

using namespace kuvrion;

namespace {

const std::string ESC = "\x1b";
const std::string FF = "\f";

TEST(DmxContentTest, TemplatesGiveTheContentOrARefusal)
{
    const DmxSheet v{.envelope = 12,
                     .sheet = 2,
                     .sheets = 3,
                     .closes = false,
                     .seq = 31,
                     .job = 7,
                     .id = "J\xF6rg"};
    struct Case {
        const char* tmpl;
        std::string content; // or the refusal's detail
        std::optional<FailureKind> refused;
    };
    const Case cases[] = {
        {"{JOB:4}{ENV:6}{SHEET:2}{SHEETS:2}{CLOSE:1}", "000700001202030", {}},
        {"K{ENV}/{SHEET}-{SHEETS} S{SEQ:5} {ID}", "K12/2-3 S00031 J\xF6rg", {}},
        {"{ID:6}{CLOSE}", "00J\xF6rg0", {}},
        {"}{ plain", "", FailureKind::DmxTemplate},
        {"{ENV", "", FailureKind::DmxTemplate},
        {"{ENV:0}", "", FailureKind::DmxTemplate},
        {"{ENV:21}", "", FailureKind::DmxTemplate},
        {"", "", FailureKind::DmxTemplate},
        {"{SEQ:1}", "{SEQ:1}=31", FailureKind::DmxTooWide},
        {"{ID:3}", "{ID:3}=J\xF6rg", FailureKind::DmxTooWide},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.tmpl);
        const Result<DmxTemplate> t = ParseDmxTemplate(c.tmpl);
        const Result<std::string> content = t ? DmxContent(*t, v) : t.error();
        ASSERT_EQ(content ? std::nullopt : std::optional(content.error().what), c.refused);
        if (content) {
            EXPECT_EQ(*content, c.content);
            EXPECT_TRUE(DmxMatches(*t, v, true, *content));
            EXPECT_FALSE(DmxMatches(*t, v, true, *content + "0"));
        } else if (content.error().what == FailureKind::DmxTooWide) {
            EXPECT_EQ(content.error().detail, c.content);
            EXPECT_EQ(content.error().sheet, 31);
        }
    }
    // Content beyond the largest symbol is refused; the ID, when unknown, matches any text.
    const Result<DmxTemplate> longest = ParseDmxTemplate(std::string(kDmxMaxContent + 1, '1'));
    ASSERT_TRUE(longest);
    const Result<std::string> tooLong = DmxContent(*longest, v);
    ASSERT_FALSE(tooLong);
    EXPECT_EQ(tooLong.error().what, FailureKind::DmxTooLong);
    const Result<DmxTemplate> t = ParseDmxTemplate("<{ID}|{ENV}>");
    ASSERT_TRUE(t);
    EXPECT_TRUE(DmxMatches(*t, v, false, "<anyone|12>"));
    EXPECT_FALSE(DmxMatches(*t, v, false, "<anyone|13>"));
    EXPECT_FALSE(DmxMatches(*t, v, false, "<12>"));
}

// A grey raster of the exported rectangles around the symbol, at 8 pixels per millimetre, the way
// a printer lays them down (white fills cover what was there).
std::optional<std::string> DecodeSheet(const std::string& sheetBytes, const Settings& s)
{
    PclPlacement printer(s.pclLeftMm, s.pclTopMm);
    std::vector<PlacedRect> rects;
    printer.Follow(sheetBytes, rects);
    constexpr double kPx = 0.125;
    const double left = s.dmxX - 4, top = s.dmxY - 4;
    constexpr int kSide = 320; // 40 mm
    std::vector<std::uint8_t> img(kSide * kSide, 255);
    for (const PlacedRect& r : rects) {
        const double y = r.yMm - r.topMarginMm;
        for (int py = 0; py < kSide; ++py) {
            const double cy = top + (py + 0.5) * kPx;
            if (cy < y || cy >= y + r.hMm)
                continue;
            for (int px = 0; px < kSide; ++px) {
                const double cx = left + (px + 0.5) * kPx;
                if (cx >= r.xMm && cx < r.xMm + r.wMm)
                    img[static_cast<std::size_t>(py * kSide + px)] = r.white ? 255 : 0;
            }
        }
    }
    return DecodeDmx(img, kSide, kSide);
}

class DmxExportTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!DmxAvailable())
            GTEST_SKIP() << "built without the 2D code";
    }

    // Exports addressees with the given page counts and IDs; every page draws a black rectangle
    // where the symbol goes, which the clear area must cover.
    Result<void> Export(const Settings& s, const std::vector<int>& pages,
                        const std::vector<std::string>& ids, bool duplex, std::string& out,
                        bool blot = true)
    {
        std::string job = ESC + "E" + (duplex ? ESC + "&l1S" : "");
        const std::string mark =
            blot ? ESC + "&a142H" + ESC + "&a2268V" + ESC + "*c200H" + ESC + "*c200V" + ESC + "*c0P"
                 : std::string();
        for (int i = 1, total = std::accumulate(pages.begin(), pages.end(), 0); i <= total; ++i)
            job += "P" + std::to_string(i) + mark + FF;
        EXPECT_TRUE(src.Connect(MakeMemorySource(job), "src.pcl"));
        persons = AddresseeList();
        int page = 0;
        for (std::size_t i = 0; i < pages.size(); ++i) {
            auto p = persons.FindOrAdd(ids[i]);
            for (int k = 0; k < pages[i]; ++k)
                EXPECT_TRUE(p->AddPage(++page));
        }
        ExportStats stats;
        const Result<void> exported = test::ExportInto(out, src, persons, s, stats, 100);
        EXPECT_EQ(stats.dmx, exported && s.useDmx);
        return exported;
    }

    // The contents of the fronts' symbols, in job order.
    static std::vector<std::string> Contents(const std::string& marked, const Settings& s,
                                             bool duplex)
    {
        PclJob m;
        EXPECT_TRUE(m.Connect(MakeMemorySource(marked), "marked.pcl"));
        std::vector<std::string> found;
        std::string page;
        for (std::int32_t i = 1; i <= m.Pages(); i += duplex ? 2 : 1) {
            EXPECT_TRUE(m.ReadPage(i, page));
            found.push_back(DecodeSheet(page, s).value_or("<none>"));
        }
        return found;
    }

    PclJob src;
    AddresseeList persons;
};

Settings DmxOn()
{
    Settings s;
    s.useDmx = true;
    s.dmxJob = 42;
    return s;
}

TEST_F(DmxExportTest, EverySymbolReadsBackAsItsSheetsContent)
{
    struct Case {
        const char* name;
        std::function<void(Settings&)> set;
        bool duplex;
        std::vector<int> pages;
        std::vector<std::string> contents;
    };
    const std::vector<std::string> ids = {"A1", "J\xF6rg \xC4", "C3"};
    const Case cases[] = {
        {"simplex, no limit",
         [](Settings& s) { s.limitEnvelopes = false; },
         false,
         {3, 1, 2},
         {"004200000101030", "004200000102030", "004200000103031", "004200000201011",
          "004200000301020", "004200000302021"}},
        {"duplex, limit 1, all fields",
         [](Settings& s) {
             s.envelopeLimit = 1;
             s.dmxTemplate = "{ID}|{ENV:3}|{SHEET}/{SHEETS}|{CLOSE}|{SEQ:4}|{JOB}";
         },
         true,
         {3, 1, 2},
         {"A1|001|1/1|1|0001|42", "A1|002|1/1|1|0002|42", "J\xF6rg \xC4|003|1/1|1|0003|42",
          "C3|004|1/1|1|0004|42"}},
        {"odd module, offsets, no clear area",
         [](Settings& s) {
             s.dmxModule = 0.33f;
             s.dmxX = 12.3f;
             s.dmxY = 47.7f;
             s.pclLeftMm = 4.2f;
             s.omeLeftMm = -1.1f;
             s.omeTopMm = 2.5f;
             s.dmxClear = false;
             s.dmxTemplate = "{ENV}";
         },
         false,
         {1, 1},
         {"1", "2"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Settings s = DmxOn();
        c.set(s);
        std::string marked;
        ASSERT_TRUE(Export(s, c.pages, ids, c.duplex, marked));
        EXPECT_EQ(Contents(marked, s, c.duplex), c.contents);
        // The check reads the same contents, with the IDs known from the export or not.
        const std::vector<Envelope> envelopes = ListEnvelopes(persons, 100, s, c.duplex);
        for (const std::vector<Envelope>* known : {&envelopes, (decltype(&envelopes))nullptr})
            EXPECT_TRUE(test::Verified(marked, s, known).problems.empty());
    }
}

TEST_F(DmxExportTest, TheCheckFindsMissingUnreadableAndWrongSymbols)
{
    Settings s = DmxOn();
    s.limitEnvelopes = false;
    s.dmxTemplate = "{ENV:3}{SHEET}";
    std::string marked;
    ASSERT_TRUE(Export(s, {2, 1}, {"1", "2"}, false, marked, false));
    // Each sheet's symbol starts with its clear area; the sheets are cut at their form feeds.
    const std::string white = ESC + "*c1P";
    struct Case {
        const char* name;
        std::function<void(std::string&)> alter;
        std::int64_t sheet;
        VerifyDetail detail;
    };
    const Case cases[] = {
        {"symbol of another job",
         [&](std::string& job) {
             Settings other = s;
             other.dmxTemplate = "{ENV:3}{SHEET}9";
             std::string again;
             ASSERT_TRUE(Export(other, {2, 1}, {"1", "2"}, false, again, false));
             job = again;
         },
         1, VerifyDetail::DmxContent},
        {"symbol removed",
         [&](std::string& job) {
             const std::size_t clear = job.find(white, job.find(FF) + 1);
             const std::size_t from = job.rfind(ESC + "&a", job.rfind(ESC + "&a", clear) - 1);
             job.erase(from, job.find(FF, clear) - from);
         },
         2, VerifyDetail::DmxMissing},
        {"modules wiped",
         [&](std::string& job) {
             // A white band over the middle rows of the last symbol.
             job.insert(job.rfind(FF), ESC + "&a142H" + ESC + "&a2300V" + ESC + "*c142H" + ESC +
                                           "*c60V" + ESC + "*c1P");
         },
         3, VerifyDetail::DmxUnreadable},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string altered = marked;
        c.alter(altered);
        const VerifyReport r = test::Verified(altered, s);
        ASSERT_FALSE(r.problems.empty());
        EXPECT_EQ(r.problems.front().kind, VerifyKind::Dmx);
        EXPECT_EQ(r.problems.front().sheet, c.sheet);
        EXPECT_EQ(r.problems.front().detail, c.detail) << r.problems.front().found;
    }
    // Checked with a template whose field is too narrow for the job number: the symbol found is
    // shown beside the whole content the sheet would need.
    Settings narrow = s;
    narrow.dmxTemplate = "{ENV:3}{SHEET}{JOB:1}";
    const VerifyReport r = test::Verified(marked, narrow);
    ASSERT_EQ(r.problems.size(), 3U);
    EXPECT_EQ(r.problems.front().detail, VerifyDetail::DmxContent);
    EXPECT_EQ(r.problems.front().found, "0011");
    EXPECT_EQ(r.problems.front().expected, "001142");
}

TEST_F(DmxExportTest, BadSettingsAreRefusedBeforeAnythingIsWritten)
{
    struct Case {
        const char* name;
        std::function<void(Settings&)> set;
        FailureKind what;
        std::int32_t sheet;
    };
    const Case cases[] = {
        // clang-format off
        {"template", [](Settings& s) { s.dmxTemplate = "{ENV}{NAME}"; }, FailureKind::DmxTemplate, 0},
        {"value too wide", [](Settings& s) { s.dmxTemplate = "{SEQ:1}"; }, FailureKind::DmxTooWide, 10},
        {"content too long", [](Settings& s) { s.dmxTemplate = std::string(1400, 'x') + "{ID}"; },
         FailureKind::DmxTooLong, 1},
        {"left of the print area", [](Settings& s) { s.pclLeftMm = 5.5f; }, FailureKind::DmxOutside, 0},
        // clang-format on
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Settings s = DmxOn();
        c.set(s);
        std::string out;
        const std::vector<std::string> ids = {std::string(200, 'I')};
        const Result<void> exported = Export(s, {12}, ids, false, out);
        ASSERT_FALSE(exported);
        const Failure& f = exported.error();
        EXPECT_EQ(f.what, c.what);
        EXPECT_TRUE(c.sheet > 0 ? f.sheet == c.sheet : out.empty()) << f.sheet;
    }
}

TEST_F(DmxExportTest, ManifestAndReferencePageCarryTheCode)
{
    Settings s = DmxOn();
    s.dmxTemplate = "{ENV}-{SHEET}/{SHEETS}-{SEQ}-{ID}";
    const std::vector<Envelope> envelopes = {{3, "J\xF6rg", {4, 5}, 2, {}, {}},
                                             {4, "B", {6}, 1, {}, {}}};
    const ManifestWords words{"Kuvert;Adressat;Blätter;Seiten;Quellseiten;Erstes Blatt;Letztes Blatt",
                              "2D-Code", "", "", "", "", "", "", "Summe"};
    const std::string text = ManifestText(envelopes, words, &s);
    EXPECT_NE(text.find("Letztes Blatt;2D-Code\r\n"), std::string::npos);
    EXPECT_NE(text.find(";1;2;3-1/2-1-J\xC3\xB6rg\r\n4;B;1;1;6;3;3;4-1/1-3-B\r\n"),
              std::string::npos)
        << text;
    EXPECT_EQ(ManifestText(envelopes, words, nullptr).find("2D-Code"), std::string::npos);

    // The sample symbol reads as the example sheet; its outline lies outside the quiet zone.
    const std::string ref = BuildRefJob(s, false, true);
    EXPECT_EQ(DecodeSheet(ref, s), "1-1/2-1-4711");
}

TEST_F(DmxExportTest, TheRuleCheckWarnsNearTheBarsAndTheEdges)
{
    // The default symbol is 7 mm wide with 1 mm of quiet zone; the bars' clear zone starts at
    // 98 mm, 2 mm above the first bar.
    const std::tuple<float, float, bool, std::optional<FailureKind>> cases[] = {
        {5, 90, true, {}},
        {5, 90.5f, true, FailureKind::DmxNearBars},
        {4.9f, 80, true, FailureKind::DmxNearEdge},
        {100, 285.1f, true, FailureKind::DmxNearEdge},
        {5, 95, false, {}}};
    for (const auto& [x, y, on, warning] : cases) {
        Settings s = DmxOn();
        s.dmxX = x;
        s.dmxY = y;
        s.useDmx = on;
        EXPECT_EQ(DmxLayoutCheck(s), warning) << x << "/" << y;
    }
}

// One tiny sheet with the default settings and the code on, byte for byte.
TEST_F(DmxExportTest, OneSheetMatchesItsGoldenCopy)
{
    Settings s = DmxOn();
    std::string marked;
    ASSERT_TRUE(Export(s, {1}, {"1"}, false, marked));
    const auto golden = std::filesystem::path(__FILE__).parent_path() / "dmx-one-sheet.pcl";
    if (std::getenv("KUVRION_UPDATE_GOLDEN"))
        std::ofstream(golden, std::ios::binary) << marked;
    EXPECT_EQ(marked, test::ReadFile(golden)) << "the drawing changed: compare with " << golden;
}

} // namespace
