#include "settings/Settings.h"

#include "base/Platform.h"
#include "settings/IniAccess.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

using kuvrion::test::ReadFile;
using kuvrion::test::TempDir;

namespace kuvrion {
namespace {

class SettingsTest : public ::testing::Test {
protected:
    SettingsTest() { ini.IniFile(PathToUtf8(dir / "kuvrion.ini")); }

    Settings LoadFrom(std::string_view text)
    {
        dir.Write("kuvrion.ini", text);
        return LoadSettings(ini);
    }
    std::vector<std::string> Keys(std::string_view section) const
    {
        std::vector<std::string> keys;
        ini.GetKeys(section, keys);
        return keys;
    }

    TempDir dir;
    IniAccess ini;
};

TEST_F(SettingsTest, EmptyFileGivesTheDefaults)
{
    for (const std::string_view text : {"", "garbage\r\n[ome\r\n=\r\n[keys]\r\nnothing here"}) {
        const Settings s = LoadFrom(text);
        EXPECT_FALSE(s.winmainpos);
        EXPECT_FALSE(s.bUseLog);
        EXPECT_EQ(s.dummyasc, 97);
        EXPECT_EQ(s.sSrcFile, "");
        EXPECT_EQ(s.sDstFile, "");
        EXPECT_EQ(s.nEnvLimit, 5);
        EXPECT_TRUE(s.bEnvLimit);
        EXPECT_EQ(s.sAdrKeyBeg, "");
        EXPECT_EQ(s.nAdrIdLen, 1);
        EXPECT_EQ(s.nAdrKeyMode, 0);
        EXPECT_TRUE(s.bAdrKeyRem);
        EXPECT_FALSE(s.bAdrKeyValid);
        EXPECT_EQ(s.pclleftmm, 0.0f);
        EXPECT_EQ(s.ometopmm, 0.0f);
        EXPECT_EQ(s.ome_x, 5.0f);
        EXPECT_EQ(s.ome_y, 100.0f);
        EXPECT_EQ(s.ome_a, 5.0f);
        EXPECT_EQ(s.ome_b, 7.0f);
        EXPECT_EQ(s.ome_d, 0.5f);
        EXPECT_EQ(s.collect_code, "10");
        EXPECT_EQ(s.envelop_code, "11");
        EXPECT_EQ(s.stop_code, "101");
        EXPECT_EQ(s.supply_count, 1);
        EXPECT_EQ(s.seqchk_count, 1);
        EXPECT_FALSE(s.use_stop || s.use_supply || s.use_seqchk || s.use_parity || s.use_security);
        EXPECT_EQ(s.nCodeLen, 2);
    }
    EXPECT_FALSE(std::filesystem::exists(dir / "kuvrion.ini.old"));
}

TEST_F(SettingsTest, ValuesAreBoundedOnLoading)
{
    Settings s =
        LoadFrom("[common]\r\nwinmainpos=1200,900\r\ndummyasc=10\r\n"
                 "[organize]\r\nenvlimit=3,0\r\n"
                 "[keys]\r\nadridlen=150\r\nadrkeymode=7\r\nadrkeybeg=^ Nr.^\r\n"
                 "[pcl]\r\npclleftmm=-3\r\npcltopmm=-1.5\r\nstdleftmm=-3\r\nomeleftmm=2,5\r\n"
                 "[ome]\r\nsupply_count=x\r\nseqchk_count=9\r\nome_d=\r\nuse_parity=1\r\n");
    EXPECT_EQ(*s.winmainpos, (std::array<std::int32_t, 2>{1200, 900}));
    EXPECT_EQ(s.dummyasc, 32);
    EXPECT_EQ(s.nEnvLimit, 3);
    EXPECT_FALSE(s.bEnvLimit);
    EXPECT_EQ(s.nAdrIdLen, 99);
    EXPECT_EQ(s.nAdrKeyMode, 1);
    EXPECT_EQ(s.sAdrKeyBeg, " Nr.");
    EXPECT_TRUE(s.bAdrKeyValid);
    EXPECT_EQ(s.pclleftmm, 3.0f);
    EXPECT_EQ(s.pcltopmm, 1.5f);
    EXPECT_EQ(s.stdleftmm, -3.0f);
    EXPECT_EQ(s.omeleftmm, 2.0f);
    EXPECT_EQ(s.supply_count, 1);
    EXPECT_EQ(s.seqchk_count, 4);
    EXPECT_EQ(s.ome_d, 0.0f);
    EXPECT_EQ(s.nCodeLen, 3);

    s = LoadFrom("[common]\r\ndummyasc=300\r\n[organize]\r\nenvlimit=9,1\r\n"
                 "[keys]\r\nadridlen=2.5\r\nadrkeyrem=yes\r\nadrkeybeg=^^X^^\r\n");
    EXPECT_EQ(s.dummyasc, 255);
    EXPECT_EQ(s.nEnvLimit, 5);
    EXPECT_TRUE(s.bEnvLimit);
    EXPECT_EQ(s.nAdrIdLen, 2);
    EXPECT_FALSE(s.bAdrKeyRem);
    EXPECT_EQ(s.sAdrKeyBeg, "^X^");
    EXPECT_FALSE(s.bAdrKeyValid); // mode 0 without an end marker

    for (const char* limit : {"0,0", "abc,0", "0.4,0"}) {
        s = LoadFrom("[organize]\r\nenvlimit=" + std::string(limit) + "\r\n");
        EXPECT_EQ(s.nEnvLimit, 5) << limit;
        EXPECT_TRUE(s.bEnvLimit) << limit;
    }
}

TEST_F(SettingsTest, DialogWritesRoundTrip)
{
    Settings s;
    s.sAdrKeyBeg = " Nr. ";
    s.sAdrKeyEnd = "^X^";
    s.nAdrIdLen = 0;
    s.nAdrKeyMode = 0;
    s.bAdrKeyRem = false;
    s.ome_x = 12.25f;
    s.ome_d = 0.1f;
    s.stdleftmm = -0.5f;
    s.nEnvLimit = 3;
    s.bEnvLimit = false;
    s.dummyasc = 32;
    s.use_seqchk = true;
    s.seqchk_count = 3;
    EXPECT_TRUE(WriteKeySettings(ini, s));
    EXPECT_TRUE(WriteOmeCodeSettings(ini, s));
    EXPECT_TRUE(WriteOmeLayout(ini, s));
    EXPECT_TRUE(WritePrintArea(ini, s));
    EXPECT_TRUE(WriteOrganize(ini, s));
    EXPECT_TRUE(WriteFillChar(ini, s));
    EXPECT_TRUE(WriteWindowState(ini, {-120, 900}, true));
    EXPECT_TRUE(WriteSourceFile(ini, "/tmp/Jobs \xC3\x84rger/a.pcl", 2));
    EXPECT_TRUE(WriteDestinationFile(ini, "/tmp/out.pcl", std::nullopt));

    EXPECT_EQ(Keys("keys"), (std::vector<std::string>{"adrkeybeg", "adrkeyend", "adridlen",
                                                      "adrkeymode", "adrkeyrem"}));
    EXPECT_EQ(Keys("ome"), (std::vector<std::string>{
                               "collect_code", "envelop_code", "stop_code", "supply_count",
                               "seqchk_count", "use_stop", "use_supply", "use_seqchk", "use_parity",
                               "use_security", "ome_x", "ome_y", "ome_a", "ome_b", "ome_d"}));
    EXPECT_EQ(Keys("files"), (std::vector<std::string>{"infilt", "in", "out"}));
    EXPECT_EQ(ini.ReadEntry("keys", "adrkeyend"), "^^X^^");
    EXPECT_EQ(ini.ReadEntry("pcl", "stdleftmm"), "-.5");
    EXPECT_EQ(ini.ReadEntry("ome", "ome_d"), "0.1");
    EXPECT_EQ(ini.ReadEntry("organize", "envlimit"), "3,0");
    EXPECT_EQ(ini.ReadEntry("common", "winmainpos"), "-120,900");
    EXPECT_EQ(ini.ReadEntry("files", "in"), "/tmp/Jobs \xC4rger/a.pcl"); // stored as Windows-1252

    const Settings r = LoadSettings(ini);
    EXPECT_EQ(r.sAdrKeyBeg, " Nr. ");
    EXPECT_EQ(r.sAdrKeyEnd, "^X^");
    EXPECT_EQ(r.nAdrIdLen, 1);
    EXPECT_FALSE(r.bAdrKeyRem);
    EXPECT_EQ(r.ome_x, 12.25f);
    EXPECT_EQ(r.ome_d, 0.1f);
    EXPECT_EQ(r.stdleftmm, -0.5f);
    EXPECT_EQ(r.nEnvLimit, 3);
    EXPECT_FALSE(r.bEnvLimit);
    EXPECT_EQ(r.dummyasc, 32);
    EXPECT_EQ(*r.winmainpos, (std::array<std::int32_t, 2>{-120, 900}));
    EXPECT_TRUE(r.bUseLog);
    EXPECT_EQ(r.sSrcFile, "/tmp/Jobs \xC3\x84rger/a.pcl");
    EXPECT_EQ(r.nCodeLen, 5);
    EXPECT_EQ(ReadFilterIndex(ini, false), 2);
    EXPECT_EQ(ReadFilterIndex(ini, true), 1);
}

TEST_F(SettingsTest, OptionsReadWhereUsed)
{
    RefPageOptions o = ReadRefPageOptions(ini, "/prog/RefPage.pcl");
    EXPECT_EQ(o.path, "/prog/RefPage.pcl");
    EXPECT_TRUE(o.grid && o.marks);
    EXPECT_EQ(ReadSkeletonPath(ini, "/prog/skel.txt"), "/prog/skel.txt");

    EXPECT_TRUE(WriteRefPageOptions(ini, {"/a,b/r\xC3\xA4.pcl", true, false}));
    EXPECT_EQ(ini.ReadEntry("files", "refpg"), "^/a,b/r\xE4.pcl^,1,0");
    o = ReadRefPageOptions(ini, "/prog/RefPage.pcl");
    EXPECT_EQ(o.path, "/a,b/r\xC3\xA4.pcl");
    EXPECT_TRUE(o.grid);
    EXPECT_FALSE(o.marks);

    ini.WriteEntry("files", "refpg", "^^,0,0");
    o = ReadRefPageOptions(ini, "/prog/RefPage.pcl");
    EXPECT_EQ(o.path, "/prog/RefPage.pcl");
    EXPECT_TRUE(o.grid && o.marks);

    EXPECT_TRUE(WriteSkeletonPath(ini, "/x/skel.txt"));
    EXPECT_EQ(ReadSkeletonPath(ini, "/prog/skel.txt"), "/x/skel.txt");
}

} // namespace
} // namespace kuvrion
