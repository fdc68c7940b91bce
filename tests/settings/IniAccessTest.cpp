// The settings store: the file syntax as read and written, the key listing and the list
// operations, and files no program of ours writes (a byte-order mark, NUL bytes, endless lines,
// ten thousand sections, other line ends, a folder or a pipe in the file's place).
#include "settings/IniAccess.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/stat.h>
#endif

namespace fs = std::filesystem;
using namespace std::string_literals;
using kuvrion::test::ReadFile;
using kuvrion::test::TempDir;

namespace kuvrion {
namespace {

class IniAccessTest : public ::testing::Test {
protected:
    IniAccessTest() { ini.IniFile(File().string()); }

    fs::path File() const { return dir / "kuvrion.ini"; }
    void Put(std::string_view bytes) { dir.Write("kuvrion.ini", bytes); }
    std::string Contents() const { return ReadFile(File()); }
    bool NoStrayFiles() const
    {
        return std::distance(fs::directory_iterator(dir.Path()), fs::directory_iterator()) == 1;
    }

    TempDir dir;
    IniAccess ini;
};

TEST_F(IniAccessTest, ReadsTheFileSyntax)
{
    EXPECT_EQ(ini.ReadEntry("s", "k", "  def  "), "def") << "no file";
    EXPECT_EQ(ini.ReadEntry("s", "k", std::string(300, 'x')), std::string(259, 'x'));
    Put("top=before any section\r\n[Files]\r\n; in=commented\r\n  IN  =  a=b  \t\r\nempty=\r\n"
        "no equals sign\r\n[\xE4rger]\r\nk=lower\r\n[files]\r\nin=second section\r\nx=1\r\n");
    const std::vector<std::tuple<const char*, const char*, const char*>> reads = {
        {"files", "in", "a=b"},
        {"FILES", "In", "a=b"},
        {"files", "empty", ""},
        {"files", "; in", "d"},
        {"\xC4RGER", "K", "lower"},
        {"", "top", "d"},
        {"files", "x", "d"} /* only the first section of a name counts */,
        {"t", "in", "d"}};
    for (const auto& [section, key, value] : reads)
        EXPECT_EQ(ini.ReadEntry(section, key, "d"), value) << section << "/" << key;
}

TEST_F(IniAccessTest, WritesChangeOnlyTheirLine)
{
    EXPECT_TRUE(ini.WriteEntry("s", "k", "  v  ") &&
                ini.WriteEntry("s", "long", std::string(300, 'x')) &&
                ini.WriteEntry("s", "e", "") && ini.WriteEntry("t", "k", "line\r\nbreak"));
    EXPECT_EQ(Contents(),
              "[s]\r\nk=v\r\nlong=" + std::string(259, 'x') + "\r\ne=\r\n[t]\r\nk=line\r\n");
    EXPECT_TRUE(NoStrayFiles());

    Put("; settings\n[A]\nk = old \n; keep\n\n[B]\ny=2");
    EXPECT_TRUE(ini.WriteEntry("a", "K", "new") && ini.WriteEntry("a", "added", "1") &&
                ini.WriteEntry("b", "z", "3") && ini.WriteEntry("C", "k", "v"));
    EXPECT_EQ(Contents(),
              "; settings\n[A]\nK=new\n; keep\nadded=1\r\n\n[B]\ny=2\r\nz=3\r\n[C]\r\nk=v\r\n");
    for (const auto& [section, key] : std::vector<std::pair<std::string, std::string>>{
             {"a", "bad=key"}, {"", "k"}, {"a", ""}, {"a", ";k"}, {"a", "[k"}})
        EXPECT_FALSE(ini.WriteEntry(section, key, "v")) << section << "/" << key;

    // Several entries in one replacement: all of them, or none when one is refused.
    const std::string before = Contents();
    const IniEntry refused[] = {{"a", "K", "newer"}, {"a", "=", "x"}};
    EXPECT_FALSE(ini.WriteEntries(refused));
    EXPECT_EQ(Contents(), before);
    const IniEntry both[] = {{"a", "K", "newer"}, {"d", "n", "4"}};
    EXPECT_TRUE(ini.WriteEntries(both));
    EXPECT_EQ(Contents(), "; settings\n[A]\nK=newer\n; keep\nadded=1\r\n\n[B]\ny=2\r\nz=3\r\n"
                          "[C]\r\nk=v\r\n[d]\r\nn=4\r\n");
}

TEST_F(IniAccessTest, SectionsOfTheSameNameAndKeyListings)
{
    Put("[s]\r\nk=1\r\n[S]\r\nk=2\r\nj=3\r\n");
    EXPECT_TRUE(ini.WriteEntry("s", "j", "4"));
    EXPECT_EQ(Contents(), "[s]\r\nk=1\r\nj=4\r\n[S]\r\nk=2\r\nj=3\r\n");

    std::vector<std::string> names;
    Put("[Alpha]\r\n; c=1\r\n\r\nnoequals\r\nk1=1\r\nK2 = 2\r\nk1=3\r\n[a1]\r\nx=1\r\n");
    EXPECT_EQ(ini.GetKeys("ALPHA", names), 3);
    EXPECT_EQ(names, (std::vector<std::string>{"k1", "K2", "k1"}));
    EXPECT_EQ(ini.GetKeys("none", names), 0);
}

TEST(IniLists, JoinAndSplit)
{
    using V = std::vector<std::string>;
    EXPECT_EQ(IniAccess::Array2String({"12", "abc", ""}, ",", 94), "12,^abc^,^^");
    EXPECT_EQ(IniAccess::Array2String({"12", "abc", ""}, ",", -1), "12,abc,");
    EXPECT_EQ(IniAccess::Array2String({" -1.5e3 ", "+.5", "1e", "1.2.3", "a,b"}, ",", 94),
              " -1.5e3 ,+.5,^1e^,^1.2.3^,^a,b^");
    struct Split {
        const char* sep;
        const char* text;
        std::int16_t lim;
        bool keepQuotes;
        V want;
    };
    // clang-format off
    for (const Split& c : std::vector<Split>{
             {",", "^a,b^,c", 94, false, {"a,b", "c"}},    {",", "^a,b^,c", 94, true, {"^a,b^", "c"}},
             {",", " \ta\r\n, b ,^", 94, false, {"a", "b", "^"}}, {",", "^^,x", 94, false, {"", "x"}},
             {",", "a,b,", 94, false, {"a", "b", ""}},     {"", " a,b ", 94, false, {" a,b "}},
             {",", "", 94, false, {""}},
             {" ", "\"C:/my jobs/a.pcl\" x", 34, false, {"C:/my jobs/a.pcl", "x"}}}) {
        // clang-format on
        V ss;
        IniAccess::String2Array(ss, c.sep, c.text, c.lim, c.keepQuotes);
        EXPECT_EQ(ss, c.want) << c.text;
    }
}

// Hostile files: each is read, and a write keeps every other line as it was.
TEST_F(IniAccessTest, HostileFilesAreReadAndKeptIntact)
{
    const std::string bom = "\xEF\xBB\xBF";
    const std::string longName(100'000, 'j');
    std::string many;
    for (int i = 0; i < 10'000; ++i)
        many += "[s" + std::to_string(i) + "]\r\nk=" + std::to_string(i) + "\r\n";
    struct Case {
        const char* what;
        std::string file;
        std::vector<std::tuple<std::string, std::string, std::string>> reads;
        std::string written; // the file after WriteEntry("a", "x", "6"); empty: not checked
    };
    // clang-format off
    const std::vector<Case> cases = {
        {"byte-order mark", bom + "[a]\r\nx=^Nr.^\r\n", {{"a", "x", "^Nr.^"}}, bom + "[a]\r\nx=6\r\n"},
        {"NUL bytes", "[a]\r\nx=6\0 5\r\n\0\0junk\0=x\r\ny=1\r\n"s, {{"a", "x", "6"}, {"a", "y", "1"}}, ""},
        {"endless lines", "[" + longName + "]\r\nk=in the long section\r\n[a]\r\n" + longName + "\r\nx=" +
             std::string(100'000, 'v') + "\r\n",
         {{longName, "k", "in the long section"}, {"a", "x", std::string(259, 'v')}},
         "[" + longName + "]\r\nk=in the long section\r\n[a]\r\n" + longName + "\r\nx=6\r\n"},
        {"LF only, unended", "[a]\nx=1\ny=2", {{"a", "x", "1"}, {"a", "y", "2"}}, "[a]\nx=6\ny=2"},
        {"mixed and lone CR", "[a]\r\nx=1\n[b]\ry=2\r\nw=4", {{"b", "y", "2"}, {"b", "w", "4"}},
         "[a]\r\nx=6\n[b]\ry=2\r\nw=4"},
        {"ten thousand sections", many, {{"s9999", "k", "9999"}}, ""},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Put(c.file);
        for (const auto& [section, key, value] : c.reads)
            EXPECT_EQ(ini.ReadEntry(section, key), value) << section << "/" << key;
        ASSERT_TRUE(ini.WriteEntry("a", "x", "6"));
        EXPECT_EQ(ini.ReadEntry("a", "x"), "6");
        if (!c.written.empty()) {
            EXPECT_EQ(Contents(), c.written);
        }
        for (const auto& [section, key, value] : c.reads) {
            if (key != "x") {
                EXPECT_EQ(ini.ReadEntry(section, key), value) << "after the write";
            }
        }
    }
    // A new key or section after an unended last line, or a value with a NUL, starts and ends
    // cleanly.
    Put("[a]\nx=1");
    ASSERT_TRUE(ini.WriteEntry("a", "z", std::string("3\0junk", 6)) &&
                ini.WriteEntry("b", "y", "2"));
    EXPECT_EQ(Contents(), "[a]\nx=1\r\nz=3\r\n[b]\r\ny=2\r\n");
    Put("[a]\nx=1");
    ASSERT_TRUE(ini.WriteEntry("c", "v", "5"));
    EXPECT_EQ(Contents(), "[a]\nx=1\r\n[c]\r\nv=5\r\n");
}

TEST_F(IniAccessTest, NoFileInThePlaceOfTheSettingsReadsAsNone)
{
    std::string rubbish; // binary bytes without a single section header
    for (int i = 0; i < 65536; ++i)
        rubbish += static_cast<char>(i % 256 == '[' ? 'x' : i % 256);
    fs::create_directory(dir / "folder.ini");
#ifndef _WIN32
    ASSERT_EQ(::mkfifo((dir / "pipe.ini").c_str(), 0644), 0); // a reader would block forever
#endif
    dir.Write("rubbish.ini", rubbish + "uselog=1");
    for (const char* name : {"folder.ini", "pipe.ini", "rubbish.ini", "missing.ini"}) {
        ini.IniFile((dir / name).string());
        EXPECT_EQ(ini.ReadEntry("common", "uselog", "d"), "d") << name;
        const auto type = fs::symlink_status(dir / name).type();
        if (type == fs::file_type::directory || type == fs::file_type::fifo) {
            EXPECT_FALSE(ini.WriteEntry("common", "uselog", "1")) << name;
            EXPECT_EQ(fs::symlink_status(dir / name).type(), type);
        }
    }
    EXPECT_FALSE(fs::exists(dir / "missing.ini")) << "reading creates nothing";
}

} // namespace
} // namespace kuvrion
