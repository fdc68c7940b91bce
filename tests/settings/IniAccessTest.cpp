#include "settings/IniAccess.h"

#include "base/Platform.h"
#include "support/FileSizeLimit.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

namespace fs = std::filesystem;
using namespace std::string_literals;
using kuvrion::test::ReadFile;
using kuvrion::test::TempDir;

namespace kuvrion {
namespace {

class IniAccessTest : public ::testing::Test {
protected:
    IniAccessTest() { ini.IniFile(PathToUtf8(dir / "kuvrion.ini")); }

    void Put(std::string_view bytes) { dir.Write("kuvrion.ini", bytes); }
    std::string Contents() const { return ReadFile(dir / "kuvrion.ini"); }
    std::vector<std::string> Sections(std::string_view pattern) const
    {
        std::vector<std::string> names;
        ini.GetSections(pattern, names);
        return names;
    }
    bool NoStrayFiles() const
    {
        for (const auto& e : fs::directory_iterator(dir.Path())) {
            if (e.path().filename() != "kuvrion.ini")
                return false;
        }
        return true;
    }

    TempDir dir;
    IniAccess ini;
};

TEST_F(IniAccessTest, ReadsDefaultsForWhatIsMissing)
{
    EXPECT_EQ(ini.ReadEntry("s", "k", "  def  "), "def");
    EXPECT_EQ(ini.ReadEntry("s", "k"), "");
    Put("[s]\r\nother=1\r\n");
    EXPECT_EQ(ini.ReadEntry("s", "k", "d"), "d");
    EXPECT_EQ(ini.ReadEntry("t", "other", "d"), "d");
    EXPECT_EQ(ini.ReadEntry("s", "k", std::string(300, 'x')), std::string(259, 'x'));
}

TEST_F(IniAccessTest, ReadsTheFileSyntax)
{
    Put("top=before any section\r\n"
        "[Files]\r\n"
        "; in=commented\r\n"
        "  IN  =  a=b  \t\r\n"
        "empty=\r\n"
        "no equals sign\r\n"
        "[\xE4rger]\r\n" // "ärger" in Windows-1252
        "k=lower\r\n"
        "[files]\r\n"
        "in=second section\r\n");
    EXPECT_EQ(ini.ReadEntry("files", "in"), "a=b");
    EXPECT_EQ(ini.ReadEntry("FILES", "In"), "a=b");
    EXPECT_EQ(ini.ReadEntry("files", "empty", "d"), "");
    EXPECT_EQ(ini.ReadEntry("files", "; in", "d"), "d");
    EXPECT_EQ(ini.ReadEntry("\xC4RGER", "K"), "lower");
    EXPECT_EQ(ini.ReadEntry("", "top", "d"), "d");
}

TEST_F(IniAccessTest, ReadsOddFilesWithoutTrouble)
{
    Put("\xEF\xBB\xBF[a]\nx=1\r[b]\r\ny=2\n[c]\nz=\0"
        "3\nw="s +
        std::string(100000, 'v'));
    EXPECT_EQ(ini.ReadEntry("a", "x"), "1");
    EXPECT_EQ(ini.ReadEntry("b", "y"), "2");
    EXPECT_EQ(ini.ReadEntry("c", "z", "d"), "");
    EXPECT_EQ(ini.ReadEntry("c", "w"), std::string(259, 'v'));

    std::string many;
    for (int i = 0; i < 10000; ++i)
        many += "[sec" + std::to_string(i) + "]\nk=" + std::to_string(i) + "\n";
    Put(many);
    EXPECT_EQ(ini.ReadEntry("sec9999", "k"), "9999");
    std::vector<std::string> names;
    EXPECT_EQ(ini.GetSections("SEC#", names), 10);
    EXPECT_TRUE(ini.WriteEntry("sec9999", "k", "x"));
    EXPECT_TRUE(ini.CutNumSections("sec", 10));
    EXPECT_EQ(Sections("*").size(), 10u);
}

TEST_F(IniAccessTest, WritesNewFilesWithCrLf)
{
    EXPECT_TRUE(ini.WriteEntry("s", "k", "  v  "));
    EXPECT_TRUE(ini.WriteEntry("s", "long", std::string(300, 'x')));
    EXPECT_TRUE(ini.WriteEntry("s", "e", ""));
    EXPECT_TRUE(ini.WriteEntry("t", "k", "line\r\nbreak"));
    EXPECT_EQ(Contents(),
              "[s]\r\nk=v\r\nlong=" + std::string(259, 'x') + "\r\ne=\r\n[t]\r\nk=line\r\n");
    EXPECT_EQ(ini.ReadEntry("s", "e", "d"), "");
    EXPECT_TRUE(NoStrayFiles());
}

TEST_F(IniAccessTest, WriteChangesOnlyTheOneLine)
{
    Put("; settings\n[A]\nk = old \n; keep\n\n[B]\ny=2");
    EXPECT_TRUE(ini.WriteEntry("a", "K", "new"));
    EXPECT_EQ(Contents(), "; settings\n[A]\nK=new\n; keep\n\n[B]\ny=2");
    EXPECT_TRUE(ini.WriteEntry("a", "added", "1"));
    EXPECT_EQ(Contents(), "; settings\n[A]\nK=new\n; keep\nadded=1\r\n\n[B]\ny=2");
    EXPECT_TRUE(ini.WriteEntry("b", "z", "3"));
    EXPECT_EQ(Contents(), "; settings\n[A]\nK=new\n; keep\nadded=1\r\n\n[B]\ny=2\r\nz=3\r\n");
    EXPECT_TRUE(ini.WriteEntry("C", "k", "v"));
    EXPECT_EQ(Contents(),
              "; settings\n[A]\nK=new\n; keep\nadded=1\r\n\n[B]\ny=2\r\nz=3\r\n[C]\r\nk=v\r\n");
    EXPECT_FALSE(ini.WriteEntry("a", "bad=key", "v"));
    EXPECT_FALSE(ini.WriteEntry("", "k", "v"));
}

TEST_F(IniAccessTest, DuplicateSectionsFirstWins)
{
    Put("[s]\r\nk=1\r\n[S]\r\nk=2\r\nj=3\r\n");
    EXPECT_EQ(ini.ReadEntry("s", "k"), "1");
    EXPECT_EQ(ini.ReadEntry("s", "j", "d"), "d");
    EXPECT_TRUE(ini.WriteEntry("s", "j", "4"));
    EXPECT_EQ(Contents(), "[s]\r\nk=1\r\nj=4\r\n[S]\r\nk=2\r\nj=3\r\n");
    EXPECT_TRUE(ini.ClearSection("s"));
    EXPECT_EQ(Contents(), "[s]\r\n[S]\r\nk=2\r\nj=3\r\n");
    EXPECT_TRUE(ini.RemoveSection("S"));
    EXPECT_EQ(Contents(), "");
}

TEST_F(IniAccessTest, ProtectedOrBlockedFilesAreNeverWritten)
{
    const std::string original = "[s]\nk=1\n";
    const auto file = dir.Write("kuvrion.ini", original);
    fs::permissions(file, fs::perms::owner_read | fs::perms::group_read);
    EXPECT_FALSE(ini.WriteEntry("s", "k", "2"));
    EXPECT_FALSE(ini.ClearSection("s"));
    EXPECT_FALSE(ini.RemNumSection("s", 1));
    EXPECT_EQ(Contents(), original);
    EXPECT_EQ(ini.ReadEntry("s", "k"), "1");

    IniAccess folder;
    fs::create_directory(dir / "folder.ini");
    folder.IniFile(PathToUtf8(dir / "folder.ini"));
    EXPECT_FALSE(folder.WriteEntry("s", "k", "v"));
    EXPECT_TRUE(fs::is_directory(dir / "folder.ini"));
    EXPECT_EQ(folder.ReadEntry("s", "k", "d"), "d");
}

TEST_F(IniAccessTest, FailedWriteLeavesTheFileIntact)
{
    const std::string original = "[s]\r\nk=1\r\n" + std::string(8000, ';') + "\r\n";
    Put(original);
    // Writes past 4 KiB now fail, as on a full disk.
    bool wrote = true, removed = true;
    {
        const kuvrion::test::FileSizeLimit limit(4096);
        wrote = ini.WriteEntry("s", "k", "2");
        removed = ini.RemNumSection("s", 1);
    }
    EXPECT_FALSE(wrote);
    EXPECT_FALSE(removed);
    EXPECT_EQ(Contents(), original);
    EXPECT_TRUE(NoStrayFiles());
}

TEST_F(IniAccessTest, CutNumSectionsKeepsLowAndNonCanonicalNumbers)
{
    Put("[sec0]\r\na=0\r\n[sec1]\r\na=1\r\n[SEC2]\r\na=2\r\n[sec02]\r\n[secx]\r\n"
        "[sec99999999999]\r\n[other]\r\nb=1\r\n");
    EXPECT_TRUE(ini.CutNumSections("sec", 1));
    EXPECT_EQ(Contents(), "[sec0]\r\na=0\r\n[sec02]\r\n[secx]\r\n[sec99999999999]\r\n"
                          "[other]\r\nb=1\r\n");
}

TEST_F(IniAccessTest, RemNumSectionRenumbersAndTrims)
{
    Put("  top  \n[sec1]\n a = 1 \n[sec2]\nb=2\n[SEC3]\nc=3\n[sec-1]\n[sec03]\n[other]\nd=4");
    EXPECT_TRUE(ini.RemNumSection("sec", 2));
    EXPECT_EQ(Contents(), "top\r\n[sec1]\r\na = 1\r\n[sec2]\r\nc=3\r\n[sec-1]\r\n[sec03]\r\n"
                          "[other]\r\nd=4\r\n");
    EXPECT_TRUE(NoStrayFiles());

    const auto before = Contents();
    dir.Write("kuvrion.ini.old", "taken");
    EXPECT_FALSE(ini.RemNumSection("sec", 1));
    EXPECT_EQ(Contents(), before);
    EXPECT_EQ(ReadFile(dir / "kuvrion.ini.old"), "taken");

    IniAccess missing;
    missing.IniFile(PathToUtf8(dir / "missing.ini"));
    EXPECT_FALSE(missing.RemNumSection("sec", 1));
    EXPECT_FALSE(fs::exists(dir / "missing.ini"));
}

TEST_F(IniAccessTest, GetSectionsAndKeys)
{
    std::vector<std::string> names;
    EXPECT_EQ(ini.GetSections("A*", names), 0);
    EXPECT_EQ(names, std::vector<std::string>{""});

    Put("[Alpha]\r\n; c=1\r\n\r\nnoequals\r\nk1=1\r\nK2 = "
        "2\r\nk1=3\r\n[a1]\r\nx=1\r\n[ab]\r\n[B7]\r\n");
    EXPECT_EQ(Sections("a*"), (std::vector<std::string>{"Alpha", "a1", "ab"}));
    EXPECT_EQ(Sections("A#"), (std::vector<std::string>{"a1"}));
    EXPECT_EQ(Sections("?[!L]"), (std::vector<std::string>{"a1", "ab", "B7"}));
    EXPECT_EQ(Sections("[A-B][0-9]"), (std::vector<std::string>{"a1", "B7"}));
    EXPECT_EQ(Sections("*H?"), (std::vector<std::string>{"Alpha"}));
    EXPECT_EQ(Sections("x*"), std::vector<std::string>{""});

    EXPECT_EQ(ini.GetKeys("ALPHA", names), 3);
    EXPECT_EQ(names, (std::vector<std::string>{"k1", "K2", "k1"}));
    EXPECT_EQ(ini.GetKeys("none", names), 0);
    EXPECT_EQ(names, std::vector<std::string>{""});
}

TEST(IniLists, Array2String)
{
    const std::vector<std::string> ss{"12", "abc", ""};
    EXPECT_EQ(IniAccess::Array2String(ss, ",", 94), "12,^abc^,^^");
    EXPECT_EQ(IniAccess::Array2String(ss, ",", -1), "12,abc,");
    EXPECT_EQ(IniAccess::Array2String({" -1.5e3 ", "+.5", "1e", "1.2.3", "a,b"}, ",", 94),
              " -1.5e3 ,+.5,^1e^,^1.2.3^,^a,b^");
}

TEST(IniLists, String2Array)
{
    using V = std::vector<std::string>;
    V ss;
    IniAccess::String2Array(ss, ",", "^a,b^,c", 94, false);
    EXPECT_EQ(ss, (V{"a,b", "c"}));
    IniAccess::String2Array(ss, ",", "^a,b^,c", 94, true);
    EXPECT_EQ(ss, (V{"^a,b^", "c"}));
    IniAccess::String2Array(ss, ",", " \ta\r\n, b ,^", 94, false);
    EXPECT_EQ(ss, (V{"a", "b", "^"}));
    IniAccess::String2Array(ss, ",", "^^,x", 94, false);
    EXPECT_EQ(ss, (V{"", "x"}));
    IniAccess::String2Array(ss, ",", "a,b,", 94, false);
    EXPECT_EQ(ss, (V{"a", "b", ""}));
    IniAccess::String2Array(ss, "", " a,b ", 94, false);
    EXPECT_EQ(ss, (V{" a,b "}));
    IniAccess::String2Array(ss, ",", "", 94, false);
    EXPECT_EQ(ss, (V{""}));
    IniAccess::String2Array(ss, " ", "\"C:/my jobs/a.pcl\" x", 34, false);
    EXPECT_EQ(ss, (V{"C:/my jobs/a.pcl", "x"}));
    EXPECT_EQ(IniAccess::TrimCtrlChars("\x01 \tx y\r\n"), "x y");
}

} // namespace
} // namespace kuvrion
