// Every command that writes a file, under the faults a mail room meets: a full device, a missing or
// read-only folder, a write-protected or blocked target, a source job changed behind the
// program's back, a settings file or log that cannot be written. Each must show its own message,
// never a success message after a failure, leave the source job and the settings file as they
// were, and leave an existing target either untouched or replaced by a complete file.
//
// The tests run as root in CI, who may write any file: write protection is the owner write bit, a
// full device is a file-size limit (or a small tmpfs), a read-only folder a read-only bind mount
// in a private mount namespace of a child process (skipped where that is not allowed).
#include "app/Commands.h"

#include "base/SystemError.h"
#include "support/FileSizeLimit.h"
#include "support/TempDir.h"
#include "support/Wine.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <functional>
#include <iterator>
#include <optional>
#include <thread>
#ifndef _WIN32
#include <fcntl.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace fs = std::filesystem;
using kuvrion::test::FileSizeLimit;
using kuvrion::test::ReadFile;
using kuvrion::test::TempDir;

namespace kuvrion {
namespace {

constexpr const char* kSourceChanged =
    "Die Quelldatei wurde seit dem Import geändert. Bitte erneut importieren.";
constexpr const char* kLogFailed = "Das Logfile konnte nicht geschrieben werden:";
constexpr const char* kSettingsNotSaved = "Die Einstellungen konnten nicht gespeichert werden:";
const std::vector<std::string> kSuccess = {
    "Export wurde durchgeführt", "Esc-Skelett wurde gespeichert.", "Referenzseite wurde erzeugt"};

class RecordingReporter : public Reporter {
public:
    void ShowMessage(const std::string& text, MessageKind kind) override
    {
        messages.push_back(text);
        kinds.push_back(kind);
    }
    std::string Last() const { return messages.empty() ? std::string() : messages.back(); }
    bool AnySuccess() const
    {
        return std::any_of(messages.begin(), messages.end(), [](const std::string& m) {
            return std::find(kSuccess.begin(), kSuccess.end(), m) != kSuccess.end();
        });
    }

    std::vector<std::string> messages;
    std::vector<MessageKind> kinds;
};

bool StartsWith(const std::string& s, const std::string& prefix)
{
    return s.rfind(prefix, 0) == 0;
}

#ifdef _WIN32
// Windows has no mount namespaces: the cases that need one are skipped there.
std::optional<std::string> InMountNamespace(const std::function<bool()>&,
                                            const std::function<std::string()>&)
{
    return std::nullopt;
}
bool BindReadOnly(const fs::path&)
{
    return false;
}
bool SmallTmpfs(const fs::path&)
{
    return false;
}
#else
// Runs `body` in a child process with a private mount namespace after `mount` prepared it. The
// child's mounts vanish with it. Returns what `body` reported, or nullopt when the namespace or
// the mount could not be made (no privileges); a child that dies gives a report saying so.
std::optional<std::string> InMountNamespace(const std::function<bool()>& mount,
                                            const std::function<std::string()>& body)
{
    int fds[2];
    if (::pipe(fds) != 0) {
        return std::nullopt;
    }
    const pid_t pid = ::fork();
    if (pid < 0) {
        ::close(fds[0]);
        ::close(fds[1]);
        return std::nullopt;
    }
    if (pid == 0) {
        ::close(fds[0]);
        if (::unshare(CLONE_NEWNS) != 0 ||
            ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 || !mount()) {
            ::_exit(77);
        }
        const std::string report = body();
        const bool sent =
            ::write(fds[1], report.data(), report.size()) == static_cast<ssize_t>(report.size());
        ::_exit(sent ? 0 : 1);
    }
    ::close(fds[1]);
    std::string report;
    char buf[4096];
    for (ssize_t n; (n = ::read(fds[0], buf, sizeof buf)) > 0;) {
        report.append(buf, static_cast<std::size_t>(n));
    }
    ::close(fds[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    if (WIFEXITED(status) && WEXITSTATUS(status) == 77) {
        return std::nullopt;
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        return "the child process failed (status " + std::to_string(status) + ")";
    }
    return report;
}

bool BindReadOnly(const fs::path& folder)
{
    return ::mount(folder.c_str(), folder.c_str(), nullptr, MS_BIND, nullptr) == 0 &&
           ::mount(nullptr, folder.c_str(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr) ==
               0;
}

bool SmallTmpfs(const fs::path& folder)
{
    return ::mount("tmpfs", folder.c_str(), "tmpfs", 0, "size=64k") == 0;
}
#endif

bool NoTemporaryFilesIn(const fs::path& folder)
{
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(folder, ec)) {
        if (e.path().extension() == ".tmp") {
            return false;
        }
    }
    return true;
}

const std::string kHead = "\x1b%-12345X@PJL ENTER LANGUAGE=PCL\r\n\x1b"
                          "E";
const std::string kFoot = "\x1b"
                          "E\x1b%-12345X";

// `letters` letters of two pages each, the first carrying the key; padded with text so the job
// is larger than the file-size limits below.
std::string LetterJob(int letters = 40)
{
    std::string job = kHead;
    for (int i = 0; i < letters; ++i) {
        job += "\x1b&a100h200VNr." + std::to_string(i) + "; Brief " + std::string(400, 'x') +
               "\f\x1b*b3W\f\x1b\fSeite 2\f";
    }
    return job + kFoot;
}

constexpr const char* kIni = "[common]\r\nuselog=1\r\n[keys]\r\nadrkeybeg=^Nr.^\r\n"
                             "adrkeyend=^;^\r\nadrkeymode=0\r\n";

class FaultInjectionTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir.Write("kuvrion.ini", kIni);
        state.paths = LocateProgramPaths(dir.Path());
        commands.Load();
        job = dir.Write("job.pcl", jobBytes);
    }

    // Imports the job and points the destination at `destination`; remembers the settings file
    // as it stands then, to compare it after the command under test.
    void ImportTo(const fs::path& destination)
    {
        commands.ChooseSource(job.string(), std::nullopt);
        ASSERT_TRUE(commands.Import()) << reporter.Last();
        commands.ChooseDestination(destination.string(), std::nullopt);
        reporter.messages.clear();
        ini = ReadFile(state.paths.settingsFile);
    }

    // What must hold after every failed command.
    void ExpectNothingLost()
    {
        EXPECT_FALSE(reporter.AnySuccess()) << reporter.Last();
        EXPECT_EQ(ReadFile(job), jobBytes) << "the source job must stay byte for byte";
        EXPECT_EQ(ReadFile(state.paths.settingsFile), ini) << "the settings file must stay";
        EXPECT_TRUE(NoTemporaryFilesIn(dir.Path()));
    }

    TempDir dir;
    AppState state;
    RecordingReporter reporter;
    Commands commands{state, reporter};
    const std::string jobBytes = LetterJob();
    fs::path job;
    std::string ini;
};

TEST_F(FaultInjectionTest, FullDeviceFailsEveryWriteAndKeepsTheOldTarget)
{
    ImportTo(dir / "out.pcl");
    const auto out = dir.Write("out.pcl", "old export");
    const auto skel = dir.Write("skel.txt", "old skeleton");
    const auto ref = dir.Write("ref.pcl", "old reference");
    ini = ReadFile(state.paths.settingsFile);
    {
        const FileSizeLimit limit(64);
        EXPECT_FALSE(commands.Export());
        EXPECT_TRUE(StartsWith(reporter.Last(), "Export fehlgeschlagen:\r\n")) << reporter.Last();
        EXPECT_FALSE(commands.SaveEscSkeleton(skel.string(), false));
        EXPECT_TRUE(StartsWith(reporter.Last(), "Esc-Skelett konnte nicht geschrieben werden:\r\n"))
            << reporter.Last();
        EXPECT_FALSE(commands.WriteReferencePage({ref.string(), true, true}, false));
        EXPECT_TRUE(
            StartsWith(reporter.Last(), "Referenzseite konnte nicht geschrieben werden:\r\n"))
            << reporter.Last();
    }
    EXPECT_NE(reporter.Last().find(DescribeErrno(EFBIG)), std::string::npos) << reporter.Last();
    EXPECT_EQ(ReadFile(out), "old export");
    EXPECT_EQ(ReadFile(skel), "old skeleton");
    EXPECT_EQ(ReadFile(ref), "old reference");
    ExpectNothingLost();

    // Without the limit the old file is replaced by the complete job, the same as a fresh export.
    ASSERT_TRUE(commands.Export());
    const std::string exported = ReadFile(out);
    EXPECT_TRUE(StartsWith(exported, kHead));
    commands.ChooseDestination((dir / "fresh.pcl").string(), std::nullopt);
    ASSERT_TRUE(commands.Export());
    EXPECT_EQ(exported, ReadFile(dir / "fresh.pcl"));
}

TEST_F(FaultInjectionTest, FullTmpfsFailsTheExportAndKeepsTheOldDestination)
{
    fs::create_directory(dir / "small");
    ImportTo(dir / "small" / "out.pcl");
    const auto report = InMountNamespace(
        [&] {
            return SmallTmpfs(dir / "small") && !dir.Write("small/out.pcl", "old export").empty() &&
                   ReadFile(dir / "small" / "out.pcl") == "old export";
        },
        [&] {
            // Fill the device so that only a little room is left.
            dir.Write("small/filler", std::string(56 * 1024, 'f'));
            const bool ok = commands.Export();
            return std::string(ok ? "ok" : "failed") + "\n" + reporter.Last() + "\n" +
                   ReadFile(dir / "small" / "out.pcl") + "\n" +
                   (NoTemporaryFilesIn(dir / "small") ? "clean" : "temporary file left");
        });
    if (!report) {
        GTEST_SKIP() << "no tmpfs can be mounted here; the file-size limit covers a full device";
    }
    EXPECT_EQ(*report,
              "failed\nExport fehlgeschlagen:\r\n" + DescribeErrno(ENOSPC) + "\nold export\nclean");
    ExpectNothingLost();
}

TEST_F(FaultInjectionTest, MissingOrReadOnlyFolderIsReported)
{
    ImportTo(dir / "gone" / "out.pcl");
    EXPECT_FALSE(commands.CanExport()); // the folder does not exist: the export is not offered
    EXPECT_FALSE(commands.Export());

    // The folder vanishes after the destination was chosen.
    fs::create_directory(dir / "gone");
    commands.ChooseDestination((dir / "gone" / "out.pcl").string(), std::nullopt);
    ini = ReadFile(state.paths.settingsFile);
    fs::remove(dir / "gone");
    EXPECT_FALSE(commands.Export());
    EXPECT_EQ(reporter.Last(), "Zieldatei konnte nicht angelegt werden");
    EXPECT_FALSE(commands.SaveEscSkeleton((dir / "gone" / "skel.txt").string(), false));
    EXPECT_TRUE(StartsWith(reporter.Last(), "Esc-Skelett konnte nicht geschrieben werden:\r\n"));
    EXPECT_FALSE(
        commands.WriteReferencePage({(dir / "gone" / "r.pcl").string(), true, false}, false));
    EXPECT_EQ(reporter.Last(), "Referenzdatei konnte nicht angelegt werden");
    EXPECT_FALSE(fs::exists(dir / "gone"));
    ExpectNothingLost();

    // A read-only folder, with an old file in it.
    fs::create_directory(dir / "ro");
    const auto old = dir.Write("ro/out.pcl", "old export");
    commands.ChooseDestination(old.string(), std::nullopt);
    ini = ReadFile(state.paths.settingsFile);
    const auto report = InMountNamespace(
        [&] { return BindReadOnly(dir / "ro"); },
        [&] {
            std::string r;
            r += commands.Export() ? "ok\n" : "failed\n";
            r += reporter.Last() + "\n";
            commands.SaveEscSkeleton((dir / "ro" / "skel.txt").string(), false);
            r += reporter.Last() + "\n";
            commands.WriteReferencePage({(dir / "ro" / "r.pcl").string(), true, true}, false);
            return r + reporter.Last();
        });
    if (!report) {
        GTEST_SKIP() << "no read-only bind mount can be made here";
    }
    EXPECT_EQ(*report, "failed\nZieldatei konnte nicht angelegt werden\n"
                       "Esc-Skelett konnte nicht geschrieben werden:\r\n" +
                           DescribeErrno(EROFS) + "\nReferenzdatei konnte nicht angelegt werden");
    EXPECT_EQ(ReadFile(old), "old export");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir / "ro"), fs::directory_iterator()), 1);
    ExpectNothingLost();
}

TEST_F(FaultInjectionTest, WriteProtectedOrBlockedTargetIsNeverReplaced)
{
    const auto out = dir.Write("out.pcl", "protected export");
    const auto skel = dir.Write("skel.txt", "protected skeleton");
    const auto ref = dir.Write("ref.pcl", "protected reference");
    for (const auto& p : {out, skel, ref}) {
        fs::permissions(p, fs::perms::owner_read | fs::perms::group_read);
    }
    ImportTo(out);
    EXPECT_FALSE(commands.Export());
    EXPECT_EQ(reporter.Last(), "Zieldatei ist schreibgeschützt");
    EXPECT_FALSE(commands.SaveEscSkeleton(skel.string(), false));
    EXPECT_EQ(reporter.Last(), "'" + skel.string() + "'\r\nist schreibgeschützt");
    EXPECT_FALSE(commands.WriteReferencePage({ref.string(), true, true}, false));
    EXPECT_EQ(reporter.Last(), "Referenzdatei konnte nicht angelegt werden");
    EXPECT_EQ(ReadFile(out), "protected export");
    EXPECT_EQ(ReadFile(skel), "protected skeleton");
    EXPECT_EQ(ReadFile(ref), "protected reference");

    // A folder in the target's place is never replaced either.
    fs::create_directory(dir / "folder.pcl");
    dir.Write("folder.pcl/inside", "keep");
    commands.ChooseDestination((dir / "folder.pcl").string(), std::nullopt);
    ini = ReadFile(state.paths.settingsFile);
    EXPECT_FALSE(commands.Export());
    EXPECT_EQ(reporter.Last(), "Zieldatei ist schreibgeschützt");
    EXPECT_FALSE(commands.SaveEscSkeleton((dir / "folder.pcl").string(), false));
    EXPECT_FALSE(commands.WriteReferencePage({(dir / "folder.pcl").string(), true, true}, false));
    EXPECT_EQ(ReadFile(dir / "folder.pcl" / "inside"), "keep");
    ExpectNothingLost();
}

// A named pipe or a device in the target's place (a destination chosen as /dev/null by root) is
// refused and stays in place.
TEST_F(FaultInjectionTest, SpecialFileAsTargetIsNeverReplaced)
{
#ifdef _WIN32
    GTEST_SKIP() << "Windows keeps named pipes out of folders: none can take a target's place";
#else
    const auto fifo = dir / "pipe.pcl";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
    ImportTo(fifo);
    EXPECT_FALSE(commands.Export());
    EXPECT_FALSE(commands.SaveEscSkeleton(fifo.string(), false));
    EXPECT_FALSE(commands.WriteReferencePage({fifo.string(), true, true}, false));
    EXPECT_TRUE(fs::is_fifo(fifo));
    ExpectNothingLost();
#endif
}

TEST_F(FaultInjectionTest, SourceChangedAfterTheImportIsRefused)
{
    const auto out = dir.Write("out.pcl", "old export");
    const auto skel = dir.Write("skel.txt", "old skeleton");
    // Each way the job can change behind the program's back, and how it is made.
    const std::vector<std::pair<const char*, std::function<void()>>> changes = {
        {"deleted", [&] { fs::remove(job); }},
        {"truncated", [&] { fs::resize_file(job, jobBytes.size() / 2); }},
        {"grown", [&] { dir.Write("job.pcl", jobBytes + "\f"); }},
        {"replaced", [&] {
             // Same size, other content, put in place by renaming.
             std::string other = jobBytes;
             std::replace(other.begin(), other.end(), 'x', 'y');
             dir.Write("new.pcl", other);
             fs::rename(dir / "new.pcl", job);
         }}};
    for (const auto& [what, change] : changes) {
        SCOPED_TRACE(what);
        if (test::UnderWine() && std::string(what) != "truncated" && std::string(what) != "grown") {
            continue; // Wine cannot delete or rename over a file that is open (support/Wine.h)
        }
        dir.Write("job.pcl", jobBytes);
        ImportTo(out);
        // File times have a coarse clock; make sure the change shows in them.
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        change();
        EXPECT_FALSE(commands.Export());
        EXPECT_EQ(reporter.Last(), kSourceChanged);
        EXPECT_FALSE(commands.SaveEscSkeleton(skel.string(), false));
        EXPECT_EQ(reporter.Last(), kSourceChanged);
        EXPECT_FALSE(reporter.AnySuccess());
        EXPECT_EQ(ReadFile(out), "old export");
        EXPECT_EQ(ReadFile(skel), "old skeleton");
        EXPECT_EQ(ReadFile(state.paths.settingsFile), ini);
        EXPECT_TRUE(NoTemporaryFilesIn(dir.Path()));
    }
}

TEST_F(FaultInjectionTest, SourceReplacedWithItsOldTimesIsSeenAsChanged)
{
    if (test::UnderWine()) {
        GTEST_SKIP() << "Wine cannot rename a file over one that is open";
    }
    ImportTo(dir / "out.pcl");
    std::string other = jobBytes;
    std::replace(other.begin(), other.end(), 'x', 'y');
    dir.Write("new.pcl", other);
    fs::last_write_time(dir / "new.pcl", fs::last_write_time(job));
    fs::rename(dir / "new.pcl", job);

    // Same size and modification time, but another file: the export asks for a new import.
    EXPECT_FALSE(commands.Export());
    EXPECT_EQ(reporter.Last(),
              "Die Quelldatei wurde seit dem Import geändert. Bitte erneut importieren.");
    EXPECT_FALSE(fs::exists(dir / "out.pcl"));
}

TEST_F(FaultInjectionTest, SettingsThatCannotBeWrittenWarnAndStayAsTheyWere)
{
    // Each confirm step of a settings dialog, and closing the program.
    const std::vector<std::pair<const char*, std::function<void()>>> writes = {
        {"key", [&] { commands.ApplyKeySettings("Kd:", ";", 5, 0, true); }},
        {"code",
         [&] {
             commands.ApplyOmeCode("10", "11", "101", 2, 2, {true, true, true, true, true});
         }},
        {"layout",
         [&] {
             commands.ApplyOmeLayout({6, 90, 4, 6, 1});
         }},
        {"print area",
         [&] {
             commands.ApplyPrintArea({1, 2, 3, 4, 5, 6});
         }},
        {"organize", [&] { commands.ApplyOrganize(3, false); }},
        {"fill character", [&] { commands.ApplyFillChar(66); }}};
    const std::string warning =
        std::string(kSettingsNotSaved) + "\r\n" + state.paths.settingsFile.string();
    const fs::path settings = state.paths.settingsFile;
    // A settings file larger than the file-size limit, so its rewrite hits the limit.
    const std::string big = std::string(kIni) + "[padding]\r\n" + std::string(8000, ';') + "\r\n";

    // Each fault, how it is made, and how it is undone.
    const std::vector<std::pair<const char*, std::function<void()>>> faults = {
        {"write-protected", [&] { fs::permissions(settings, fs::perms::owner_read); }},
        {"full device", [] {}},
        {"folder", [&] {
             fs::remove(settings);
             fs::create_directory(settings);
             dir.Write("kuvrion.ini/inside", "keep");
         }}};
    for (const auto& [fault, make] : faults) {
        for (const auto& [what, write] : writes) {
            SCOPED_TRACE(std::string(fault) + ", " + what);
            std::error_code ec;
            fs::remove_all(settings, ec);
            dir.Write("kuvrion.ini", big);
            make();
            const std::string beforeBytes = fs::is_directory(settings) ? "" : ReadFile(settings);
            reporter.messages.clear();
            {
                std::optional<FileSizeLimit> limit;
                if (std::string(fault) == "full device") {
                    limit.emplace(1024);
                }
                write();
            }
            EXPECT_EQ(reporter.Last(), warning);
            EXPECT_EQ(reporter.kinds.back(), MessageKind::Warning);
            if (fs::is_directory(settings)) {
                EXPECT_EQ(ReadFile(settings / "inside"), "keep");
            } else {
                fs::permissions(settings, fs::perms::owner_all);
                EXPECT_EQ(ReadFile(settings), beforeBytes);
            }
            EXPECT_TRUE(NoTemporaryFilesIn(dir.Path()));
        }
        // Closing writes the window position and the log switch: it cannot warn any more, but
        // it must not harm the file either.
        SCOPED_TRACE(std::string(fault) + ", close");
        std::error_code ec;
        fs::remove_all(settings, ec);
        dir.Write("kuvrion.ini", big);
        make();
        reporter.messages.clear();
        {
            std::optional<FileSizeLimit> limit;
            if (std::string(fault) == "full device") {
                limit.emplace(1024);
            }
            commands.Close({100, 200});
        }
        if (!fs::is_directory(settings)) {
            fs::permissions(settings, fs::perms::owner_all);
            EXPECT_EQ(ReadFile(settings), big);
        }
        EXPECT_TRUE(NoTemporaryFilesIn(dir.Path()));
    }
}

TEST_F(FaultInjectionTest, SettingsInAReadOnlyFolderWarn)
{
    ini = ReadFile(state.paths.settingsFile);
    const auto report = InMountNamespace([&] { return BindReadOnly(dir.Path()); },
                                         [&] {
                                             commands.ApplyOrganize(2, true);
                                             return reporter.Last();
                                         });
    if (!report) {
        GTEST_SKIP() << "no read-only bind mount can be made here";
    }
    EXPECT_EQ(*report, std::string(kSettingsNotSaved) + "\r\n" + state.paths.settingsFile.string());
    EXPECT_EQ(ReadFile(state.paths.settingsFile), ini);
}

TEST_F(FaultInjectionTest, LogThatCannotBeWrittenStopsTheImport)
{
    // Each way the log can fail: a folder in its place, a full device, a read-only folder.
    commands.ChooseSource(job.string(), std::nullopt);
    ini = ReadFile(state.paths.settingsFile);
    const auto expectStopped = [&](bool imported) {
        EXPECT_FALSE(imported);
        ASSERT_FALSE(reporter.messages.empty());
        EXPECT_TRUE(StartsWith(reporter.Last(), kLogFailed)) << reporter.Last();
        EXPECT_EQ(reporter.kinds.back(), MessageKind::Plain);
        EXPECT_FALSE(state.bImportComplete);
        commands.ChooseDestination((dir / "out.pcl").string(), std::nullopt);
        EXPECT_FALSE(commands.CanExport()) << "a failed import cannot be exported";
        EXPECT_EQ(ReadFile(job), jobBytes);
        reporter.messages.clear();
        ini = ReadFile(state.paths.settingsFile);
    };

    fs::create_directory(dir / "log.txt");
    dir.Write("log.txt/inside", "keep");
    expectStopped(commands.Import());
    EXPECT_EQ(ReadFile(dir / "log.txt" / "inside"), "keep");
    fs::remove_all(dir / "log.txt");

    bool imported = true;
    {
        const FileSizeLimit limit(256);
        imported = commands.Import();
    }
    EXPECT_NE(reporter.Last().find(DescribeErrno(EFBIG)), std::string::npos) << reporter.Last();
    expectStopped(imported);

    const auto report =
        InMountNamespace([&] { return BindReadOnly(dir.Path()); },
                         [&] {
                             const bool ok = commands.Import();
                             return std::string(ok ? "ok\n" : "failed\n") + reporter.Last();
                         });
    if (!report) {
        GTEST_SKIP() << "no read-only bind mount can be made here";
    }
    EXPECT_TRUE(StartsWith(*report, "failed\n" + std::string(kLogFailed))) << *report;
    EXPECT_NE(report->find(DescribeErrno(EROFS)), std::string::npos) << *report;
    EXPECT_EQ(ReadFile(job), jobBytes);
}

} // namespace
} // namespace kuvrion
