// The load step and the dialog writes, driven by the catalogue: every row's stored form, the rule
// for missing, malformed and out-of-range texts, and writes that replace the file in one step.
#include "settings/Settings.h"

#include "base/Platform.h"
#include "settings/IniAccess.h"
#include "settings/SettingsCatalogue.h"
#include "support/FileSizeLimit.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <iterator>
#include <sstream>
#include <tuple>

using kuvrion::test::ReadFile;
using kuvrion::test::TempDir;

namespace kuvrion {
namespace {

// A row's setting as text, lists as "a,b".
std::string Value(const Settings& s, const SettingDef& row)
{
    if (row.form == Form::WindowPos)
        return s.windowPosition ? std::to_string((*s.windowPosition)[0]) + "," +
                                      std::to_string((*s.windowPosition)[1])
                                : "";
    if (row.form == Form::EnvLimit)
        return std::to_string(s.envelopeLimit) + (s.limitEnvelopes ? ",1" : ",0");
    return std::visit(
        [&s](auto member) {
            std::ostringstream o;
            if constexpr (!std::is_same_v<decltype(member), std::monostate>)
                o << s.*member;
            return o.str();
        },
        row.member);
}

// Stored texts of each form and the setting they give; canonical ones are written back unchanged.
struct FormCase {
    Form form;
    std::string stored;
    std::string value;
    bool canonical;
};
// clang-format off
const std::vector<FormCase> kFormCases = {
    {Form::Flag, "1", "1", true},           {Form::Flag, "0", "0", true},
    {Form::Flag, "yes", "0", false},        {Form::Flag, "", "0", false},
    {Form::Millimetre, "-12.25", "-12.25", true}, {Form::Millimetre, "2,5", "2", false},
    {Form::Millimetre, "", "0", false},     {Form::Distance, "0.1", "0.1", true},
    {Form::Distance, "-3", "3", false},     {Form::Text, "01", "01", true},
    {Form::Text, "", "", true},             {Form::Marker, "^ Nr.^", " Nr.", true},
    {Form::Marker, "^^X^^", "^X^", true},   {Form::Marker, "^", "^", false},
    {Form::Path, "/J\xC4rger/a.pcl", "/J\xC3\x84rger/a.pcl", true},
    {Form::WindowPos, "-120,900", "-120,900", true}, {Form::WindowPos, "1200", "1200,0", false},
    {Form::EnvLimit, "3,0", "3,0", true},   {Form::EnvLimit, "9,1", "5,1", false},
    {Form::EnvLimit, "0,0", "5,1", false},  {Form::EnvLimit, "abc,0", "5,1", false},
    {Form::EnvLimit, "0.4,0", "5,1", false}, {Form::EnvLimit, "-2,1", "1,1", false},
    {Form::EnvLimit, "2,x", "2,0", false},
};
// clang-format on

// The cases of a row: those of its form; for a whole number its bounds, rounding and garbage.
std::vector<FormCase> CasesOf(const SettingDef& row)
{
    std::vector<FormCase> cases;
    std::copy_if(kFormCases.begin(), kFormCases.end(), std::back_inserter(cases),
                 [&row](const FormCase& c) { return c.form == row.form; });
    // Bounded numbers: both bounds, garbage, beyond either bound, and (whole numbers) a half.
    const bool mm = row.form == Form::BoundedMm;
    if (mm || row.form == Form::Whole) {
        const auto n = [mm](std::int32_t v) {
            std::ostringstream o;
            o << (mm ? static_cast<float>(v) / 100.0f : static_cast<float>(v));
            return mm ? o.str() : std::to_string(v);
        };
        const std::string garbage = mm ? n(row.min) : n(Bound(row, 0));
        cases.insert(cases.end(), {{row.form, n(row.min), n(row.min), true},
                                   {row.form, n(row.max), n(row.max), true},
                                   {row.form, "x", garbage, false},
                                   {row.form, n(row.min - 1), n(row.min), false},
                                   {row.form, n(row.max + 1), n(row.max), false}});
        if (!mm)
            cases.push_back(
                {row.form, n(row.min) + ".5", n(row.min % 2 == 0 ? row.min : row.min + 1), false});
    }
    return cases;
}

class SettingsTest : public ::testing::Test {
protected:
    SettingsTest()
    {
        ini.IniFile(File().string());
        copy.IniFile((dir / "copy.ini").string());
    }
    std::filesystem::path File() const { return dir / "kuvrion.ini"; }

    TempDir dir;
    IniAccess ini;
    IniAccess copy;
};

TEST_F(SettingsTest, EveryRowReadsAndWritesItsForm)
{
    for (const SettingDef& row : kCatalogue) {
        if (row.read != Read::AtStart)
            continue;
        for (const FormCase& c : CasesOf(row)) {
            SCOPED_TRACE(std::string(row.key) + "=" + c.stored);
            dir.Write("kuvrion.ini", "[" + std::string(row.section) + "]\r\n" +
                                         std::string(row.key) + "=" + c.stored + "\r\n");
            const Settings s = LoadSettings(ini);
            EXPECT_EQ(Value(s, row), c.value);
            if (c.canonical) {
                ASSERT_TRUE(WriteSettings(copy, s, row.group));
                EXPECT_EQ(copy.ReadEntry(row.section, row.key), c.stored);
            }
        }
    }
    // The values derived from the keys and code settings.
    dir.Write("kuvrion.ini", "[keys]\r\nadrkeybeg=^ ^\r\nadrkeymode=1\r\n[ome]\r\n"
                             "use_stop=1\r\nuse_parity=1\r\nuse_seqchk=1\r\nseqchk_count=9\r\n");
    const Settings s = LoadSettings(ini);
    EXPECT_TRUE(s.keyValid);
    EXPECT_EQ(s.codeLength, 2 + 1 + 4 + 1);
}

TEST_F(SettingsTest, MissingKeysReadAsTheDefaultsAndDialogsWriteInCatalogueOrder)
{
    // An empty or a garbled file reads as the defaults, and the load step writes nothing.
    for (const std::string_view text : {"", "garbage\r\n[ome\r\n=\r\n[keys]\r\nnothing here"}) {
        dir.Write("kuvrion.ini", text);
        const Settings s = LoadSettings(ini);
        for (const SettingDef& row : kCatalogue)
            EXPECT_EQ(Value(s, row), Value(Settings(), row)) << row.key;
        EXPECT_EQ(ReadFile(File()), text);
    }
    // Examples the settings file is known by: they pin some bounds and defaults of the catalogue.
    // clang-format off
    const std::tuple<const char*, const char*, const char*> examples[] = {
        {"dummyasc", nullptr, "97"}, {"dummyasc", "10", "32"}, {"dummyasc", "300", "255"},
        {"adridlen", "150", "99"}, {"adrkeymode", "7", "1"}, {"adrkeyrem", nullptr, "1"},
        {"seqchk_count", "9", "4"}, {"supply_count", nullptr, "1"}, {"ome_y", nullptr, "100"},
        {"ome_d", nullptr, "0.5"}, {"envlimit", nullptr, "5,1"}, {"dmx_clear", nullptr, "1"},
        {"dmx_quiet", "0", "1"}, {"dmx_job", "12345", "9999"},
        {"dmx_template", nullptr, "{JOB:4}{ENV:6}{SHEET:2}{SHEETS:2}{CLOSE:1}"}};
    // clang-format on
    for (const auto& [key, stored, loaded] : examples) {
        const SettingDef& row = *std::find_if(kCatalogue.begin(), kCatalogue.end(),
                                               [&](const SettingDef& r) { return r.key == key; });
        dir.Write("kuvrion.ini",
                  stored ? "[" + std::string(row.section) + "]\r\n" + key + "=" + stored + "\r\n"
                         : std::string());
        EXPECT_EQ(Value(LoadSettings(ini), row), loaded) << key << "=" << (stored ? stored : "");
    }
    for (const SettingDef& row : kCatalogue)
        ASSERT_TRUE(row.read != Read::AtStart || WriteSettings(copy, Settings(), row.group));
    for (const char* section : {"common", "files", "organize", "keys", "pcl", "ome", "dmx"}) {
        std::vector<std::string> keys, want;
        copy.GetKeys(section, keys);
        for (const SettingDef& row : kCatalogue)
            if (row.section == section && row.read == Read::AtStart)
                want.emplace_back(row.key);
        EXPECT_EQ(keys, want) << section;
    }
}

// A hand-edited value is refused where it would change the grouping ("key=found!"), else bounded
// and listed with the value used ("key=found>used"); values the dialogs write are never listed.
TEST_F(SettingsTest, StoredValuesTheDialogsWouldNotWriteAreRefusedOrListed)
{
    // clang-format off
    const std::pair<std::string, std::string> cases[] = {
        {"[keys]\r\nadrkeymode=1\r\nadridlen=0",   "adridlen=0!"},
        {"[keys]\r\nadrkeymode=1\r\nadridlen=abc", "adridlen=abc!"},
        {"[keys]\r\nadrkeymode=1\r\nadridlen=-3",  "adridlen=-3!"},
        {"[keys]\r\nadrkeymode=1\r\nadridlen=100", "adridlen=100!"},
        {"[keys]\r\nadrkeymode=1\r\nadridlen=5.0", "adridlen=5.0!"},
        {"[keys]\r\nadrkeymode=1\r\nadridlen=",    "adridlen=!"},
        {"[keys]\r\nadrkeymode=1\r\nadridlen=99",  ""},
        {"[keys]\r\nadrkeymode=0\r\nadridlen=0",   ""}, // the length is not used in mode 0
        {"[keys]\r\nadrkeymode=7",                  "adrkeymode=7!"},
        {"[keys]\r\nadrkeymode=",                   "adrkeymode=!"},
        {"[common]\r\ndummyasc=10\r\nuselog=yes",   "dummyasc=10>32"},
        {"[pcl]\r\npclleftmm=-3\r\nstdleftmm=-3",   "pclleftmm=-3>3"},
        {"[ome]\r\nome_x=2,5\r\nseqchk_count=9",    "ome_x=2,5>2 seqchk_count=9>4"},
        {"[organize]\r\nenvlimit=9,1",              "envlimit=9,1>5,1"},
        {"[organize]\r\nenvlimit=0,0",              ""},
    };
    // clang-format on
    for (const auto& [text, want] : cases) {
        dir.Write("kuvrion.ini", text + "\r\n");
        std::vector<SettingIssue> issues;
        LoadSettings(ini, &issues);
        std::string got;
        for (const SettingIssue& i : issues)
            got +=
                (got.empty() ? "" : " ") + i.key + "=" + i.found + (i.refused ? "!" : ">" + i.used);
        EXPECT_EQ(got, want) << text;
    }
    for (const SettingDef& row : kCatalogue)
        ASSERT_TRUE(row.read != Read::AtStart || WriteSettings(copy, Settings(), row.group));
    std::vector<SettingIssue> issues;
    LoadSettings(copy, &issues);
    EXPECT_TRUE(issues.empty()) << issues.front().key;
}

TEST(SettingsRules, KeyValidity)
{
    // Start and end marker, ID length, key mode, valid.
    const std::tuple<const char*, const char*, std::int32_t, std::int32_t, bool> cases[] = {
        {"", ";", 5, 0, false}, {"Nr", "", 5, 0, false}, {"Nr", ";", 0, 0, true},
        {" ", " ", 0, 0, true}, {"Nr", "", 1, 1, true},  {"Nr", "", 0, 1, false},
        {"", "", 5, 1, false},  {"Nr", "", 99, 1, true}, {"Nr", "", 100, 1, false}};
    for (const auto& [beg, end, idLen, mode, valid] : cases)
        EXPECT_EQ(AdrKeyValid(beg, end, idLen, mode), valid) << beg << "|" << idLen;
}

TEST_F(SettingsTest, FailedWritesLeaveTheFileAsItWas)
{
    const std::string original = "[keys]\r\nadrkeybeg=^a^\r\n" + std::string(8000, ';') + "\r\n";
    dir.Write("kuvrion.ini", original);
    Settings s;
    s.keyBegin = "neu";
    {
        // A full device with room for one key's change, not for five; then none for a copy.
        test::FileSizeLimit limit(original.size() + 10);
        EXPECT_FALSE(WriteSettings(ini, s, SettingGroup::Keys));
        const auto failed = WriteSourceFile(ini, "/x.pcl", 2);
        ASSERT_FALSE(failed);
        EXPECT_EQ(std::tuple(failed.error().what, failed.error().err, failed.error().path),
                  std::tuple(FailureKind::SettingsWrite, EFBIG, File().string()));
    }
    EXPECT_EQ(ReadFile(File()), original);
    std::filesystem::permissions(File(), std::filesystem::perms::owner_read);
    EXPECT_FALSE(WriteSettings(ini, s, SettingGroup::Keys));
    EXPECT_EQ(ReadFile(File()), original);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 1);
}

TEST_F(SettingsTest, KeysReadWhereTheyAreUsed)
{
    const std::string longPath = "/" + std::string(300, 'p');
    RefPageOptions o = ReadRefPageOptions(ini, "/prog/RefPage.pcl");
    EXPECT_TRUE(o.path == "/prog/RefPage.pcl" && o.grid && o.marks);
    EXPECT_EQ(ReadSkeletonPath(ini, longPath), longPath) << "a default is not cut";
    EXPECT_EQ(ReadFilterIndex(ini, false), 1);

    EXPECT_TRUE(WriteRefPageOptions(ini, {"/a,b/r\xC3\xA4.pcl", true, false}));
    EXPECT_EQ(ini.ReadEntry("files", "refpg"), "^/a,b/r\xE4.pcl^,1,0");
    o = ReadRefPageOptions(ini, "/prog/RefPage.pcl");
    EXPECT_TRUE(o.path == "/a,b/r\xC3\xA4.pcl" && o.grid && !o.marks);
    ASSERT_TRUE(ini.WriteEntry("files", "refpg", "^^,0,0"));
    EXPECT_TRUE(ReadRefPageOptions(ini, "/prog/RefPage.pcl").marks) << "no path: both options on";

    EXPECT_TRUE(WriteSkeletonPath(ini, "/x/skel.txt"));
    EXPECT_EQ(ReadSkeletonPath(ini, "/prog/skel.txt"), "/x/skel.txt");
    EXPECT_TRUE(WriteSourceFile(ini, "/in.pcl", 9));
    EXPECT_TRUE(WriteDestinationFile(ini, "/out.pcl", 7));
    EXPECT_EQ(ReadFilterIndex(ini, false), 2);
    EXPECT_EQ(ReadFilterIndex(ini, true), 2);
    std::vector<std::string> keys;
    ini.GetKeys("files", keys);
    EXPECT_EQ(keys,
              (std::vector<std::string>{"refpg", "savescskel", "infilt", "in", "outfilt", "out"}));
}

} // namespace
} // namespace kuvrion
