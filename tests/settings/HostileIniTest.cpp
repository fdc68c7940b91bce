// Settings files no program of ours writes: a byte-order mark, NUL bytes, endless lines, ten
// thousand sections, LF-only and mixed line ends, no final line end, a folder or a pipe in the
// file's place. Reading must neither crash nor hang and give the value or the default; a write
// must keep every other line.
#include "settings/IniAccess.h"
#include "settings/Settings.h"

#include "base/Platform.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>
#ifndef _WIN32
#include <sys/stat.h>
#endif

namespace fs = std::filesystem;
using kuvrion::test::ReadFile;
using kuvrion::test::TempDir;

namespace kuvrion {
namespace {

class HostileIniTest : public ::testing::Test {
protected:
    IniAccess& Ini(const std::string& content)
    {
        dir.Write("kuvrion.ini", content);
        ini.IniFile(PathToUtf8(Path()));
        return ini;
    }
    fs::path Path() const { return dir / "kuvrion.ini"; }

    TempDir dir;
    IniAccess ini;
};

// The settings a program starts with when nothing can be read.
void ExpectDefaults(const Settings& s)
{
    const Settings d;
    EXPECT_EQ(s.dummyasc, d.dummyasc);
    EXPECT_EQ(s.bUseLog, d.bUseLog);
    EXPECT_EQ(s.sSrcFile, "");
    EXPECT_EQ(s.nEnvLimit, d.nEnvLimit);
    EXPECT_EQ(s.bEnvLimit, d.bEnvLimit);
    EXPECT_EQ(s.sAdrKeyBeg, "");
    EXPECT_FALSE(s.bAdrKeyValid);
    EXPECT_EQ(s.bAdrKeyRem, d.bAdrKeyRem);
    EXPECT_EQ(s.ome_y, d.ome_y);
    EXPECT_EQ(s.collect_code, d.collect_code);
    EXPECT_EQ(s.supply_count, d.supply_count);
}

TEST_F(HostileIniTest, ByteOrderMarkIsNotPartOfTheFirstSection)
{
    const std::string bom = "\xEF\xBB\xBF";
    Ini(bom + "[keys]\r\nadrkeybeg=^Nr.^\r\nadrkeyend=^;^\r\n");
    const Settings s = LoadSettings(ini);
    EXPECT_EQ(s.sAdrKeyBeg, "Nr.");
    EXPECT_TRUE(s.bAdrKeyValid);

    ASSERT_TRUE(ini.WriteEntry("keys", "adrkeymode", "1"));
    const std::string after = ReadFile(Path());
    EXPECT_EQ(after.rfind(bom, 0), 0u);
    EXPECT_EQ(after.find(bom, 1), std::string::npos) << "one mark, at the start";
    EXPECT_EQ(ini.ReadEntry("keys", "adrkeymode"), "1");
    EXPECT_EQ(ini.ReadEntry("keys", "adrkeyend"), "^;^");
}

TEST_F(HostileIniTest, NulBytesEndAValueButNotTheFile)
{
    const char raw[] = "[common]\r\ndummyasc=6\0"
                       "5\r\n\0\0junk\0=x\r\nuselog=1\r\n";
    Ini(std::string(raw, sizeof raw - 1));
    EXPECT_EQ(ini.ReadEntry("common", "dummyasc"), "6");
    EXPECT_EQ(ini.ReadEntry("common", "uselog"), "1");
    const Settings s = LoadSettings(ini);
    EXPECT_EQ(s.dummyasc, 32); // "6" bounded to 32..255
    EXPECT_TRUE(s.bUseLog);

    // A value written with a NUL is cut there, as the platform buffer did.
    ASSERT_TRUE(ini.WriteEntry("common", "dummyasc",
                               std::string("98\0"
                                           "7",
                                           4)));
    EXPECT_EQ(ini.ReadEntry("common", "dummyasc"), "98");
    EXPECT_EQ(ini.ReadEntry("common", "uselog"), "1");

    ExpectDefaults(LoadSettings(Ini(std::string(4096, '\0'))));
}

TEST_F(HostileIniTest, EndlessLinesAreReadPastAndValuesCut)
{
    const std::string longJunk(100'000, 'j');
    const std::string longValue(100'000, 'v');
    Ini("[" + longJunk + "]\r\nk=in the long section\r\n[keys]\r\n" + longJunk +
        "\r\nadrkeybeg=" + longValue + "\r\nadrkeyend=;\r\n");
    EXPECT_EQ(ini.ReadEntry("keys", "adrkeybeg"), std::string(IniAccess::kMaxValue, 'v'));
    EXPECT_EQ(ini.ReadEntry("keys", "adrkeyend"), ";");
    EXPECT_EQ(ini.ReadEntry(longJunk, "k"), "in the long section");

    ASSERT_TRUE(ini.WriteEntry("keys", "adrkeyend", longValue));
    EXPECT_EQ(ini.ReadEntry("keys", "adrkeyend"), std::string(IniAccess::kMaxValue, 'v'));
    // The long line that is no entry stays as it was.
    EXPECT_NE(ReadFile(Path()).find("\r\n" + longJunk + "\r\n"), std::string::npos);
}

TEST_F(HostileIniTest, TenThousandSectionsStayFast)
{
    std::string content;
    for (int i = 0; i < 10'000; ++i) {
        content += "[s" + std::to_string(i) + "]\r\nk=" + std::to_string(i) + "\r\n";
    }
    Ini(content);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(ini.ReadEntry("s9999", "k"), "9999");
    std::vector<std::string> names;
    EXPECT_EQ(ini.GetSections("S*", names), 10'000);
    ASSERT_TRUE(ini.WriteEntry("s5000", "k", "changed"));
    EXPECT_EQ(ini.ReadEntry("s5000", "k"), "changed");
    EXPECT_EQ(ini.ReadEntry("s4999", "k"), "4999");
    EXPECT_EQ(ini.ReadEntry("s5001", "k"), "5001");
    ASSERT_TRUE(ini.CutNumSections("s", 5000));
    EXPECT_EQ(ini.GetSections("S*", names), 5000);
    EXPECT_EQ(ini.ReadEntry("s5000", "k", "gone"), "gone");
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_LT(seconds, 30.0); // each call reads the file once; no call walks it per section
}

TEST_F(HostileIniTest, LfOnlyMixedAndUnendedFilesReadAndKeepTheirLines)
{
    // LF only, last line without a line end.
    Ini("[a]\nx=1\ny=2");
    EXPECT_EQ(ini.ReadEntry("a", "x"), "1");
    EXPECT_EQ(ini.ReadEntry("a", "y"), "2");
    ASSERT_TRUE(ini.WriteEntry("a", "z", "3"));
    EXPECT_EQ(ini.ReadEntry("a", "y"), "2") << "the new key must not run into the last line";
    EXPECT_EQ(ini.ReadEntry("a", "z"), "3");
    EXPECT_EQ(ReadFile(Path()).rfind("[a]\nx=1\ny=2", 0), 0u);

    // Mixed CR LF and LF; a new section after an unended last line starts on a line of its own.
    Ini("[a]\r\nx=1\n[b]\ny=2\r\nw=4");
    EXPECT_EQ(ini.ReadEntry("a", "x"), "1");
    EXPECT_EQ(ini.ReadEntry("b", "y"), "2");
    EXPECT_EQ(ini.ReadEntry("b", "w"), "4");
    ASSERT_TRUE(ini.WriteEntry("c", "v", "5"));
    EXPECT_EQ(ini.ReadEntry("b", "w"), "4");
    EXPECT_EQ(ini.ReadEntry("c", "v"), "5");
    ASSERT_TRUE(ini.WriteEntry("a", "x", "6"));
    EXPECT_EQ(ReadFile(Path()), "[a]\r\nx=6\n[b]\ny=2\r\nw=4\r\n[c]\r\nv=5\r\n");
}

TEST_F(HostileIniTest, NoFileInThePlaceOfTheSettingsGivesTheDefaults)
{
    // A folder: nothing to read, nothing replaced.
    fs::create_directory(dir / "folder.ini");
    ini.IniFile(PathToUtf8(dir / "folder.ini"));
    ExpectDefaults(LoadSettings(ini));
    EXPECT_FALSE(ini.WriteEntry("common", "uselog", "1"));
    EXPECT_TRUE(fs::is_directory(dir / "folder.ini"));

#ifndef _WIN32 // Windows keeps named pipes out of folders
    // A named pipe would block a reader forever; it is neither read nor replaced.
    const auto fifo = dir / "pipe.ini";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
    ini.IniFile(PathToUtf8(fifo));
    ExpectDefaults(LoadSettings(ini));
    EXPECT_FALSE(ini.WriteEntry("common", "uselog", "1"));
    EXPECT_TRUE(fs::is_fifo(fifo));
#endif

    // Binary rubbish without a single section header.
    std::string rubbish;
    for (int i = 0; i < 65536; ++i) {
        rubbish += static_cast<char>((i * 131 + 7) % 256 == '[' ? 'x' : (i * 131 + 7) % 256);
    }
    ExpectDefaults(LoadSettings(Ini(rubbish)));

    // No file at all.
    ini.IniFile(PathToUtf8(dir / "missing.ini"));
    ExpectDefaults(LoadSettings(ini));
    EXPECT_FALSE(fs::exists(dir / "missing.ini")) << "reading creates nothing";
}

} // namespace
} // namespace kuvrion
