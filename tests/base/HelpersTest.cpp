#include "base/ByteText.h"
#include "base/Numbers.h"
#include "base/FileChecks.h"
#include "base/SystemError.h"

#include "base/Platform.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cmath>
#include <fstream>
#include <limits>

using kuvrion::test::TempDir;

namespace kuvrion {
namespace {

TEST(Helpers, FileAndFolderTests)
{
    TempDir dir;
    const auto file = PathToUtf8(dir.Write("a job.pcl", "x"));
    EXPECT_TRUE(FileExists(file));
    EXPECT_TRUE(FileExists("  " + file + " "));
    EXPECT_FALSE(FileExists(""));
    EXPECT_FALSE(FileExists("   "));
    EXPECT_FALSE(FileExists("C:"));
    EXPECT_FALSE(FileExists(file + "/"));
    EXPECT_FALSE(FileExists(PathToUtf8(dir.Path())));
    EXPECT_FALSE(FileExists(PathToUtf8(dir / "missing")));
    EXPECT_TRUE(DirExists(PathToUtf8(dir.Path())));
    EXPECT_TRUE(DirExists(PathToUtf8(dir.Path()) + "/"));
    EXPECT_FALSE(DirExists(file));
    EXPECT_FALSE(DirExists(" "));
}

// File names are UTF-8 text; on Windows a plain std::filesystem::path(std::string) would read the
// bytes in the ANSI code page and name another file.
TEST(Helpers, FileNamesWithUmlautsAreUtf8Text)
{
    TempDir dir;
    const auto native = dir.Path() / std::filesystem::path(u8"Ausgabe Ä ü ß.pcl");
    std::ofstream(native, std::ios::binary) << "x";
    const std::string text = PathToUtf8(native);
    EXPECT_EQ(PathToUtf8(native.filename()), "Ausgabe Ä ü ß.pcl");
    EXPECT_EQ(PathFromUtf8(text), native);
    EXPECT_TRUE(FileExists(text));
    EXPECT_TRUE(SameFile(text, PathToUtf8(dir.Path()) + "/Ausgabe Ä ü ß.pcl"));
}

TEST(Helpers, ParentPath)
{
    EXPECT_EQ(ParentPath("a"), "");
    EXPECT_EQ(ParentPath("/a"), "");
    EXPECT_EQ(ParentPath("ab"), "");
    EXPECT_EQ(ParentPath("/jobs/a/b.pcl"), "/jobs/a");
    EXPECT_EQ(ParentPath("jobs/"), "jobs");
}

TEST(Helpers, FormatAndReadMillimetres)
{
    EXPECT_EQ(FormatMM(0.5f), "0.5");
    EXPECT_EQ(FormatMM(12.0f), "12");
    EXPECT_EQ(FormatMM(2.25f), "2.25");
    EXPECT_EQ(FormatMM(-0.5f), "-.5");
    EXPECT_EQ(FormatMM(0.25f), "0.25");
    EXPECT_EQ(FormatMM(0.1f), "0.1");
    EXPECT_EQ(FormatMM(-0.0f), "0");
    EXPECT_EQ(FormatMM(1234567.8f), "1234568");
    EXPECT_EQ(FormatMM(1.0f / 3.0f), "0.3333333");
    EXPECT_EQ(FormatMM(0.00001f), "0.00001");
    EXPECT_EQ(FormatMM(25000000.0f), "25000000");
    EXPECT_EQ(FormatMM(std::numeric_limits<float>::quiet_NaN()), "0");
    for (const float v : {0.1f, 2.54f, -13.37f, 297.0f, 0.05f, 1e-3f})
        EXPECT_EQ(ValMM(FormatMM(v)), v) << v;

    EXPECT_EQ(ValMM("2,5"), 2.5f);
    EXPECT_EQ(ValMM("2.5"), 2.5f);
    EXPECT_EQ(ValMM("0,25"), 0.25f);
    EXPECT_EQ(ValMM("  -1.5mm"), -1.5f);
    EXPECT_EQ(ValMM("abc"), 0.0f);
    EXPECT_EQ(ValMM("1e40"), 1.0f);
    EXPECT_EQ(ValMM(std::string(60, '9')), std::numeric_limits<float>::max());
}

TEST(Helpers, RoundToLong)
{
    EXPECT_EQ(RoundToLong(0.5f), 1);
    EXPECT_EQ(RoundToLong(2.5f), 3);
    EXPECT_EQ(RoundToLong(1.49f), 1);
    EXPECT_EQ(RoundToLong(0.49999997f), 0);
    EXPECT_EQ(RoundToLong(8388609.0f), 8388609);
    EXPECT_EQ(RoundToLong(-0.5f), -1);
    EXPECT_EQ(RoundToLong(-0.2f), -1);
    EXPECT_EQ(RoundToLong(-2.7f), -3);
    EXPECT_EQ(RoundToLong(-2.0f), -2);
    EXPECT_EQ(RoundToLong(1e20f), std::numeric_limits<std::int32_t>::max());
    EXPECT_EQ(RoundToLong(-1e20f), std::numeric_limits<std::int32_t>::min());
    EXPECT_EQ(RoundToLong(std::numeric_limits<float>::quiet_NaN()), 0);
    EXPECT_EQ(RoundToLong(10.0f * fPclPerMM), 283);
    EXPECT_EQ(Clamp(7, 1, 5), 5);
    EXPECT_EQ(Clamp(-7, 1, 5), 1);
    EXPECT_EQ(Clamp(3, 1, 5), 3);
}

TEST(Helpers, ValNumberAndValWhole)
{
    EXPECT_EQ(ValNumber("  -12.5abc"), -12.5);
    EXPECT_EQ(ValNumber("1,5"), 1.0);
    EXPECT_EQ(ValNumber("+.5"), 0.5);
    EXPECT_EQ(ValNumber("1.2.3"), 1.2);
    EXPECT_EQ(ValNumber("."), 0.0);
    EXPECT_EQ(ValNumber("-"), 0.0);
    EXPECT_EQ(ValNumber("1e3"), 1.0);
    EXPECT_EQ(ValNumber("-" + std::string(400, '9')), -std::numeric_limits<double>::max());

    EXPECT_EQ(ValWhole("2.5", -100, 100), 2);
    EXPECT_EQ(ValWhole("3.5", -100, 100), 4);
    EXPECT_EQ(ValWhole("-2.5", -100, 100), -2);
    EXPECT_EQ(ValWhole("2.51", -100, 100), 3);
    EXPECT_EQ(ValWhole("abc", 1, 99), 1);
    EXPECT_EQ(ValWhole("99999999999", 0, std::numeric_limits<std::int32_t>::max()),
              std::numeric_limits<std::int32_t>::max());
}

TEST(Helpers, Markers)
{
    EXPECT_EQ(UnquoteMarker("^ Nr. ^"), " Nr. ");
    EXPECT_EQ(UnquoteMarker("^"), "^");
    EXPECT_EQ(UnquoteMarker("^^"), "");
    EXPECT_EQ(UnquoteMarker("Nr."), "Nr.");
    EXPECT_EQ(UnquoteMarker(QuoteMarker("^X^")), "^X^");
    EXPECT_EQ(QuoteMarker(""), "^^");
}

TEST(Helpers, Windows1252)
{
    EXPECT_EQ(Cp1252ToUtf8("\x80 \xC4\xD6\xDC\xDF \x9F"),
              "\xE2\x82\xAC \xC3\x84\xC3\x96\xC3\x9C\xC3\x9F \xC5\xB8");
    EXPECT_EQ(Utf8ToCp1252("\xE2\x82\xAC\xC3\xA4"), "\x80\xE4");
    EXPECT_EQ(Utf8ToCp1252("a\xE4\xB8\xAD"
                           "b"),
              "a?b"); // CJK has no byte
    EXPECT_EQ(Utf8ToCp1252("a\xC3"
                           "b\xC0\x80\xED\xA0\x80"),
              "a?b?????"); // malformed
    std::string all;
    for (int i = 1; i < 256; ++i)
        all += static_cast<char>(i);
    EXPECT_EQ(Utf8ToCp1252(Cp1252ToUtf8(all)), all);
    EXPECT_TRUE(FitsCp1252(Cp1252ToUtf8(all)));
    EXPECT_FALSE(FitsCp1252("\xE4\xB8\xAD"));
    EXPECT_FALSE(FitsCp1252("\xFF"));
}

TEST(Helpers, DescribeErrno)
{
    EXPECT_EQ(DescribeErrno(ENOSPC), "Kein Speicherplatz mehr auf dem Gerät");
    EXPECT_EQ(DescribeErrno(EACCES), "Zugriff verweigert");
    EXPECT_EQ(DescribeErrno(98765), "Systemfehler 98765");
}

} // namespace
} // namespace kuvrion
