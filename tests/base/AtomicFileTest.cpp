#include "base/FileChecks.h"
#include "base/AtomicFile.h"

#include "base/Platform.h"
#include "support/FileSizeLimit.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cerrno>

namespace fs = std::filesystem;
using kuvrion::test::ReadFile;
using kuvrion::test::TempDir;

namespace kuvrion {
namespace {

std::size_t FileCount(const fs::path& folder)
{
    return static_cast<std::size_t>(
        std::distance(fs::directory_iterator(folder), fs::directory_iterator()));
}

TEST(AtomicFile, ReplacesOnlyOnCommit)
{
    TempDir dir;
    const auto target = dir.Write("out.pcl", "old");
    fs::permissions(target, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    {
        AtomicFile f;
        ASSERT_TRUE(f.Open(target));
        EXPECT_EQ(f.TempPath().parent_path(), dir.Path());
        EXPECT_TRUE(f.Write("new "));
        EXPECT_TRUE(f.Write('!'));
        EXPECT_EQ(ReadFile(target), "old");
        EXPECT_EQ(FileCount(dir.Path()), 2u);
        EXPECT_TRUE(f.Commit());
    }
    EXPECT_EQ(ReadFile(target), "new !");
#ifndef _WIN32 // Windows files have no permission bits, only the read-only attribute
    EXPECT_EQ(fs::status(target).permissions(),
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
#endif
    EXPECT_EQ(FileCount(dir.Path()), 1u);

    {
        AtomicFile f;
        ASSERT_TRUE(f.Open(target));
        f.Write("abandoned");
    }
    EXPECT_EQ(ReadFile(target), "new !");
    EXPECT_EQ(FileCount(dir.Path()), 1u);

    AtomicFile created;
    ASSERT_TRUE(created.Open(dir / "fresh.txt"));
    EXPECT_TRUE(created.Commit());
    EXPECT_EQ(ReadFile(dir / "fresh.txt"), "");
}

TEST(AtomicFile, FailureLeavesTargetUntouched)
{
    TempDir dir;
    const std::string original(10000, 'o');
    const auto target = dir.Write("out.pcl", original);
    const std::string big(3 << 20, 'n'); // more than the write buffer

    AtomicFile f;
    bool opened = false, wrote = false, later = false, committed = false;
    {
        const kuvrion::test::FileSizeLimit limit(1 << 20);
        opened = f.Open(target);
        wrote = f.Write(big);
        later = f.Write("x");
        committed = f.Commit();
    }

    EXPECT_TRUE(opened);
    EXPECT_FALSE(wrote);
    EXPECT_FALSE(later);
    EXPECT_FALSE(committed);
    EXPECT_EQ(f.ErrorNumber(), EFBIG);
    EXPECT_FALSE(f.Error().empty());
    EXPECT_EQ(ReadFile(target), original);
    EXPECT_EQ(FileCount(dir.Path()), 1u);

    AtomicFile folder;
    fs::create_directory(dir / "sub");
    EXPECT_FALSE(folder.Open(dir / "sub"));
    EXPECT_FALSE(folder.Commit());
    AtomicFile nowhere;
    EXPECT_FALSE(nowhere.Open(dir / "missing" / "x"));
    EXPECT_EQ(nowhere.ErrorNumber(), ENOENT);
}

TEST(AtomicFile, WriteProtection)
{
    TempDir dir;
    const auto file = dir.Write("a.ini", "x");
    EXPECT_FALSE(IsWriteProtected(file));
    fs::permissions(file, fs::perms::owner_read | fs::perms::others_write);
    EXPECT_TRUE(IsWriteProtected(file));
    EXPECT_FALSE(IsWriteProtected(dir / "missing"));
    EXPECT_FALSE(IsWriteProtected(dir.Path()));
}

TEST(AtomicFile, SameFile)
{
    TempDir dir;
    const auto a = PathToUtf8(dir.Write("a.pcl", "x"));
    const auto b = PathToUtf8(dir.Write("b.pcl", "y"));
    fs::create_hard_link(a, dir / "link.pcl");
    EXPECT_TRUE(SameFile(a, a));
    EXPECT_TRUE(SameFile("/Jobs/A.PCL", "/jobs/a.pcl"));
    EXPECT_TRUE(SameFile(a, PathToUtf8(dir.Path() / "." / "a.pcl")));
    EXPECT_TRUE(SameFile(a, PathToUtf8(dir / "link.pcl")));
    EXPECT_TRUE(
        SameFile(PathToUtf8(dir / "new.pcl"), PathToUtf8(dir.Path() / "x" / ".." / "new.pcl")));
    EXPECT_FALSE(SameFile(a, b));
    EXPECT_FALSE(SameFile(a, ""));
    EXPECT_FALSE(SameFile(std::string("\0a", 2), "/"));
}

} // namespace
} // namespace kuvrion
