// Files: the atomic replacement of a target, write protection, the same file under two names, and
// the existence checks the commands ask.
#include "base/AtomicFile.h"
#include "base/FileChecks.h"
#include "support/FileSizeLimit.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <tuple>
#ifndef _WIN32
#include <sys/stat.h>
#endif

namespace kuvrion {
namespace {

namespace fs = std::filesystem;
using test::ReadFile;

std::size_t FileCount(const fs::path& folder)
{
    return static_cast<std::size_t>(
        std::distance(fs::directory_iterator(folder), fs::directory_iterator()));
}

TEST(AtomicFile, ReplacesOnlyOnCommitAndKeepsThePermissions)
{
    test::TempDir dir;
    const auto target = dir.Write("out.pcl", "old");
    const auto perms = fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read;
    fs::permissions(target, perms);
    {
        AtomicFile f;
        ASSERT_TRUE(f.Open(target));
        EXPECT_EQ(f.TempPath().parent_path(), dir.Path());
        EXPECT_TRUE(f.Write("new "));
        EXPECT_TRUE(f.Write("!"));
        EXPECT_EQ(ReadFile(target), "old");
        EXPECT_TRUE(f.Commit());
    }
    EXPECT_EQ(ReadFile(target), "new !");
#ifndef _WIN32 // Windows keeps only a read-only attribute
    EXPECT_EQ(fs::status(target).permissions(), perms);
#endif
    {
        AtomicFile abandoned;
        ASSERT_TRUE(abandoned.Open(target));
        ASSERT_TRUE(abandoned.Write("abandoned"));
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
    test::TempDir dir;
    const std::string original(10000, 'o');
    const auto target = dir.Write("out.pcl", original);
    AtomicFile f;
    Result<void> opened, wrote, later, committed;
    {
        const test::FileSizeLimit full(1 << 20);
        opened = f.Open(target);
        wrote = f.Write(std::string(3 << 20, 'n')); // more than the write buffer
        later = f.Write("x");
        committed = f.Commit();
    }
    EXPECT_TRUE(opened);
    ASSERT_FALSE(wrote || later || committed);
    // The first failure is the one every later call reports.
    for (const Result<void>* r : {&wrote, &later, &committed}) {
        EXPECT_EQ(std::tuple(r->error().what, r->error().err, r->error().path),
                  std::tuple(FailureKind::TargetWrite, EFBIG, target.string()));
    }
    EXPECT_EQ(ReadFile(target), original);
    EXPECT_EQ(FileCount(dir.Path()), 1u);

    // A folder, or a pipe (think of a device chosen by root), is never replaced by a file.
    std::vector<fs::path> blocked{dir.Path()};
#ifndef _WIN32
    ASSERT_EQ(::mkfifo((dir / "pipe").c_str(), 0600), 0);
    blocked.push_back(dir / "pipe");
#endif
    for (const auto& path : blocked) {
        AtomicFile blockedFile;
        EXPECT_FALSE(blockedFile.Open(path)) << path;
        EXPECT_FALSE(blockedFile.Commit()) << path;
    }
    EXPECT_TRUE(fs::is_directory(dir.Path()));
    AtomicFile nowhere;
    const auto opening = nowhere.Open(dir / "missing" / "x");
    ASSERT_FALSE(opening);
    EXPECT_EQ(std::pair(opening.error().what, opening.error().err),
              std::pair(FailureKind::TargetOpen, ENOENT));
}

TEST(FileChecks, ExistenceProtectionAndSameFile)
{
    test::TempDir dir;
    const std::string folder = dir.Path().string();
    const auto a = dir.Write("a job.pcl", "x").string();
    fs::create_hard_link(a, dir / "link.pcl");
    // clang-format off
    const std::tuple<std::string, bool, bool> exists[] = {
        {a, true, false}, {"  " + a + " ", true, false}, {a + "/", false, false},
        {folder, false, true}, {folder + "/", false, true}, {" " + folder, false, true},
        {"", false, false}, {"   ", false, false}, {"C:", false, false},
        {folder + "/missing", false, false}};
    // clang-format on
    for (const auto& [path, file, directory] : exists) {
        EXPECT_EQ(std::pair(FileExists(path), DirExists(path)), std::pair(file, directory)) << path;
    }
    // clang-format off
    for (const auto& [path, parent] : {std::pair{"a", ""}, {"/a", ""}, {"ab", ""},
                                       {"/jobs/a/b.pcl", "/jobs/a"}, {"jobs/", "jobs"}}) {
        // clang-format on
        EXPECT_EQ(ParentPath(path), parent) << path;
    }

    EXPECT_FALSE(IsWriteProtected(a));
    fs::permissions(a, fs::perms::owner_read | fs::perms::others_write);
    EXPECT_TRUE(IsWriteProtected(a));
    EXPECT_FALSE(IsWriteProtected(dir / "missing"));
    EXPECT_FALSE(IsWriteProtected(dir.Path()));

    // The same file: letter case, "." and "..", a hard link, a file still to be made.
    using Names = std::pair<std::string, std::string>;
    for (const auto& [x, y] :
         {Names{a, a}, Names{"/Jobs/A.PCL", "/jobs/a.pcl"}, Names{a, folder + "/./a job.pcl"},
          Names{a, folder + "/link.pcl"}, Names{folder + "/new.pcl", folder + "/x/../new.pcl"}}) {
        EXPECT_TRUE(SameFile(x, y)) << x << " " << y;
    }
    EXPECT_FALSE(SameFile(a, dir.Write("b.pcl", "y").string()));
    EXPECT_FALSE(SameFile(a, ""));
    EXPECT_FALSE(SameFile(std::string("\0a", 2), "/"));
}

} // namespace
} // namespace kuvrion
