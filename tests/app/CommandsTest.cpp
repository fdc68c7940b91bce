// The command layer over a fresh program folder, and every command that writes a file under the
// faults a mail room meets: a full device, a missing or read-only folder, a write-protected or
// blocked target, a source job changed behind the program's back, a settings file or log that
// cannot be written. Each fails with its own failure and message and leaves the source job, the settings file and an old target as they were.
//
// The tests run as root in CI, who may write any file: write protection is the owner write bit, a
// full device is a file-size limit (or a full tmpfs), a read-only folder a read-only bind mount
// in a private mount namespace of a child process (skipped where that is not allowed). On Windows
// each fault runs in the test's own process, a full device is the platform layer's write limit,
// and the faults that need mounts or pipes are left out.
#include "app/ExportCommand.h"
#include "app/ImportCommand.h"
#include "app/ImportSummary.h"
#include "app/ReferencePageCommand.h"
#include "app/ReprintCommand.h"
#include "app/Session.h"
#include "app/SettingsCommands.h"
#include "app/SkeletonCommand.h"
#include "app/VerifyCommand.h"

#include "app/SequenceState.h"
#include "base/Platform.h"
#include "support/FileSizeLimit.h"
#include "support/RecordingReporter.h"
#include "support/TempDir.h"
#include "support/Wine.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iostream>
#include <thread>
#ifndef _WIN32
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace fs = std::filesystem;

namespace kuvrion::test {
namespace {

using enum FailureKind;

const std::string kHead = "\x1b%-12345X@PJL ENTER LANGUAGE=PCL\r\n\x1b"
                          "E";
const std::string kFoot = "\x1b"
                          "E\x1b%-12345X";
constexpr const char* kIni = "[common]\r\nuselog=1\r\n[keys]\r\nadrkeybeg=^Nr.^\r\n"
                             "adrkeyend=^;^\r\nadrkeymode=0\r\n";

// One letter of two pages per ID: the first page carries the key, the second raster data with FF
// bytes in it.
std::string LetterJob(const std::vector<std::string>& ids)
{
    std::string job = kHead;
    for (const std::string& id : ids) {
        job += "\x1b&a100h200VNr." + id + "; Brief xxx\f\x1b*b3W\f\x1b\fSeite 2\f";
    }
    return job + kFoot;
}

// An outcome as text, "ok" or "<failure kind>/<errno>", so that outcomes compare as one value.
std::string Describe(FailureKind what, int err = 0)
{
    return std::to_string(static_cast<int>(what)) + "/" + std::to_string(err);
}
std::string Describe(const Outcome& o)
{
    return o.Ok() ? "ok" : Describe(o.failure->what, o.failure->err);
}

// What stands at `p`, to tell whether a command touched it: a file's bytes, else its type.
std::string Contents(const fs::path& p)
{
    std::error_code ec;
    return fs::is_regular_file(p, ec) ? ReadFile(p)
                                      : std::to_string(static_cast<int>(fs::status(p, ec).type()));
}

// The ways to make a fault at a target or its folder.
const auto Old = [](const fs::path& t) { std::ofstream(t) << "old"; };
const auto Protected = [](const fs::path& t) { Old(t), fs::permissions(t, fs::perms::owner_read); };
const auto FolderAt = [](const fs::path& t) { fs::create_directories(t / "inside"); };
#ifndef _WIN32
const auto ReadOnlyFolder = [](const fs::path& t) {
    const std::string f = t.parent_path();
    return ::mount(f.c_str(), f.c_str(), nullptr, MS_BIND, nullptr) == 0 &&
           ::mount(nullptr, f.c_str(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr) == 0;
};
const auto FullTmpfs = [](const fs::path& t) {
    const auto folder = t.parent_path();
    const bool mounted = ::mount("tmpfs", folder.c_str(), "tmpfs", 0, "size=64k") == 0;
    Old(t);
    std::ofstream(folder / "filler") << std::string(128 * 1024, 'f');
    return mounted;
};
#else
const auto ReadOnlyFolder = [](const fs::path&) { return false; };
const auto FullTmpfs = ReadOnlyFolder;
#endif

#ifdef _WIN32
// The write limit for tests stops the write itself; opening a folder as a file is refused access.
constexpr FailureKind kFullDeviceFailure = TargetWrite;
constexpr int kFolderOpenError = EACCES;
#else
// The file-size limit stops the buffered write when the file is completed.
constexpr FailureKind kFullDeviceFailure = TargetCommit;
constexpr int kFolderOpenError = EISDIR;
#endif

// A fault: `prepare` makes it here; the command then runs in a child process, after `mount` (when
// given) prepared a private mount namespace there, and under a file-size limit when one is given.
struct Fault {
    const char* name;
    void (*prepare)(const fs::path&);
    bool (*mount)(const fs::path&);
    std::int64_t limit;
    std::string expected;
};

class CommandsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir.Write("kuvrion.ini", kIni);
        state.paths = LocateProgramPaths(dir.Path());
        session.Load();
    }
    void TearDown() override
    {
        EXPECT_EQ(ReadFile(job), jobBytes) << "no command may change the source job";
        if (skipped != 0) {
            GTEST_SKIP() << skipped << " attempts need a mount namespace, not available here";
        }
    }

    Outcome Import(const std::string& bytes)
    {
        jobBytes = bytes;
        job = dir.Write("job.pcl", bytes);
        session.ChooseSource(job.string());
        return RunImport(session);
    }

    // Makes `fault` at `at` and runs `command` under it. What it reports must be the fault's
    // expected outcome with no more: no harm to `watched`, no temporary file beside it, nothing
    // that `after` finds.
    void ExpectFault(const Fault& fault, const fs::path& at, const fs::path& watched,
                     const std::function<Outcome()>& command,
                     const std::function<std::string()>& after = {})
    {
        if (fault.prepare) {
            fault.prepare(at);
        }
        const auto report = [&] {
            reporter.Clear();
            const std::string before = Contents(watched);
            std::optional<FileSizeLimit> limit;
            if (fault.limit != 0) {
                limit.emplace(fault.limit);
            }
            const Outcome outcome = command();
            limit.reset();
            std::error_code ec;
            const bool temporary = std::any_of(
                fs::directory_iterator(watched.parent_path(), ec), {},
                [](const fs::directory_entry& e) { return e.path().extension() == ".tmp"; });
            return Describe(outcome) + (Contents(watched) == before ? "" : " changed it") +
                   (temporary ? " left a temporary file" : "") +
                   (after ? after() : "");
        };
#ifdef _WIN32
        if (fault.mount) {
            ++skipped;
            return;
        }
        EXPECT_EQ(report(), fault.expected) << fault.name;
#else
        const pid_t pid = ::fork();
        if (pid == 0) {
            if (fault.mount && (::unshare(CLONE_NEWNS) != 0 ||
                                ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
                                !fault.mount(at))) {
                ::_exit(77); // no namespace or mount allowed here
            }
            const std::string text = report();
            std::cerr << (text == fault.expected ? "" : text + "\n");
            ::_exit(text == fault.expected ? 0 : 1);
        }
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        const int code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        skipped += code == 77;
        EXPECT_TRUE(code == 0 || code == 77) << fault.name;
#endif
    }

    TempDir dir;
    AppState state;
    RecordingReporter reporter;
    Session session{state, reporter};
    std::string jobBytes;
    fs::path job = dir.Write("job.pcl", "");
    int skipped = 0;
};

TEST_F(CommandsTest, ImportGroupsPagesAndOffersTheExportForAValidDestination)
{
    EXPECT_FALSE(session.CanImport());
    const Outcome imported = Import(LetterJob({"A", "B", "A"}));
    ASSERT_EQ(Describe(imported), "ok");
    EXPECT_EQ(state.jobPages, 6);
    EXPECT_EQ(state.assignedPages, 6);
    EXPECT_EQ(state.addressees.Count(), 2);
    EXPECT_EQ(state.exportCount, 2);
    // The second pages carry no key but follow a key page: no fault, so no status dialog.
    EXPECT_FALSE(ImportHasKeyFaults(state));
    EXPECT_EQ(reporter.busyChanges, "+-");
    EXPECT_TRUE(imported.message.empty());
    EXPECT_FALSE(session.CanExport());
    session.ChooseDestination((dir / "out.pcl").string());
    EXPECT_TRUE(session.CanExport());

    // A job without pages is refused with its message and leaves no counters of the earlier
    // import behind.
    reporter.Clear();
    const Outcome empty = Import("\x1b"
                                 "E\r\n"); // no page end and no page text
    ASSERT_EQ(Describe(empty), Describe(NoPages));
    EXPECT_FALSE(empty.message.empty());
    EXPECT_EQ(state.keyFaultCounts, (KeyFaultCounts{0, 0, 0, 0}));
    EXPECT_FALSE(state.jobPages != 0 || session.CanExport());
}

TEST_F(CommandsTest, CommandsRefuseWhatTheyAreNotOfferedFor)
{
    EXPECT_EQ(Describe(RunImport(session)), Describe(SourceMissing, ENOENT));
    // A job that vanished after it was chosen cannot be read: that is no import at all.
    ASSERT_EQ(Describe(Import(LetterJob({"A"}))), "ok");
    fs::remove(job);
    const Outcome unread = RunImport(session);
    EXPECT_EQ(Describe(unread), Describe(SourceUnreadable, ENOENT));
    EXPECT_FALSE(state.importComplete);
    EXPECT_FALSE(unread.message.empty());

    // A destination in a missing folder, or the source under another spelling.
    ASSERT_EQ(Describe(Import(jobBytes)), "ok");
    std::vector<std::pair<fs::path, std::string>> destinations{
        {dir / "gone" / "out.pcl", Describe(TargetFolderMissing, ENOENT)},
        {dir.Path() / "." / "job.pcl", Describe(DestinationIsSource)},
        {dir / "JOB.PCL", Describe(DestinationIsSource)}};
#ifndef _WIN32 // the MinGW standard library makes no symbolic links
    fs::create_directory_symlink(dir.Path(), dir / "link");
    destinations.emplace_back(dir / "link" / "job.pcl", Describe(DestinationIsSource));
#endif
    for (const auto& [destination, why] : destinations) {
        session.ChooseDestination(destination.string());
        EXPECT_FALSE(session.CanExport()) << destination;
        EXPECT_EQ(Describe(RunExport(session)), why) << destination;
    }
    EXPECT_EQ(ReadFile(job), jobBytes);
    // Choosing the destination's name as the new source turns the destination red as well.
    session.ChooseDestination((dir / "other.pcl").string());
    EXPECT_TRUE(state.destinationOk);
    session.ChooseSource((dir / "other.pcl").string());
    EXPECT_FALSE(state.destinationOk);
}

TEST_F(CommandsTest, ExportWritesTheMarkedJobWithTheKeySettingsInForce)
{
    ASSERT_EQ(Describe(Import(LetterJob({"A", "B", "A"}))), "ok");
    const fs::path out = dir.Write("out.pcl", "old export");
    session.ChooseDestination(out.string());
    const ExportOutcome done = RunExport(session);
    ASSERT_EQ(Describe(done), "ok");
    const std::string bytes = ReadFile(out);
    EXPECT_TRUE(bytes.starts_with(kHead) && bytes.ends_with(kFoot));
    EXPECT_EQ(bytes.find("Nr.A;"), std::string::npos);
    EXPECT_NE(bytes.find("Brief"), std::string::npos);
    EXPECT_EQ(done.stats.sheets, 6);
    EXPECT_EQ(done.stats.envelopes, 2);

    // Over an old file the same bytes as a fresh export, and no temporary file beside it.
    session.ChooseDestination((dir / "fresh.pcl").string());
    ASSERT_EQ(Describe(RunExport(session)), "ok");
    EXPECT_EQ(ReadFile(dir / "fresh.pcl"), bytes);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.Path()), {}), 5);

    // A reprint of the second envelope goes to a file of its own; the chosen destination stays.
    const ExportOutcome again = RunReprint(session, {PathToUtf8(dir / "again.pcl"), {false, true}});
    ASSERT_EQ(Describe(again), "ok");
    EXPECT_EQ(again.stats.envelopes, 1);
    EXPECT_EQ(ReadFile(dir / "fresh.pcl"), bytes);

    // New key settings after the import: the pages are searched again, not masked by the old keys.
    ASSERT_EQ(Describe(ApplyKeySettings(session, {"Brief", " ", 1, 0, true})), "ok");
    ASSERT_EQ(Describe(RunExport(session)), "ok");
    EXPECT_NE(ReadFile(dir / "fresh.pcl").find("Nr.A;"), std::string::npos);
    EXPECT_EQ(ReadFile(dir / "fresh.pcl").find("Brief"), std::string::npos);
}

TEST_F(CommandsTest, HandEditedKeySettingsStopTheImportUntilTheDialogStoresNewOnes)
{
    dir.Write("kuvrion.ini", "[common]\r\ndummyasc=10\r\n[keys]\r\nadrkeybeg=^Nr.^\r\n"
                             "adrkeymode=1\r\nadridlen=abc\r\n");
    session.Load();
    // The corrected value is told once, the refused one by the import.
    ASSERT_EQ(reporter.notices.size(), 1u);
    EXPECT_NE(reporter.notices[0].find("dummyasc=10 gilt als 32"), std::string::npos);
    EXPECT_EQ(reporter.notices[0].find("adridlen"), std::string::npos);
    const Outcome refused = Import(LetterJob({"A", "B"}));
    EXPECT_EQ(Describe(refused), Describe(SettingInvalid));
    EXPECT_EQ(state.jobPages, 0); // refused before the scan
    EXPECT_FALSE(session.CanImport());
    EXPECT_EQ(MessageFor(Action::ImportReason, session.ImportBlocker()).text, refused.message);
    EXPECT_NE(refused.message.find("adridlen=abc in kuvrion.ini"), std::string::npos);
    // The key dialog's values replace it.
    ASSERT_EQ(Describe(ApplyKeySettings(session, {"Nr.", ";", 0, 0, true})), "ok");
    EXPECT_EQ(Describe(RunImport(session)), "ok");
    EXPECT_EQ(state.addressees.Count(), 2);
}

TEST_F(CommandsTest, ImportsThatGiveNothingToExportSayWhy)
{
    // The marker spelt otherwise in the job: the message shows how.
    ASSERT_EQ(Describe(ApplyKeySettings(session, {"NR:", ";", 0, 0, true})), "ok");
    const Outcome none = Import(LetterJob({"A", "B"}));
    ASSERT_EQ(Describe(none), "ok");
    EXPECT_NE(none.message.find("kommt auf keiner Seite vor"), std::string::npos);
    EXPECT_NE(none.message.find("„Nr.“"), std::string::npos) << none.message;
    // A refused job: the export's reason names the refusal, not only "import first".
    const Outcome refused = Import("\x1b"
                                   "E\r\n");
    EXPECT_EQ(Describe(refused), Describe(NoPages));
    EXPECT_NE(MessageFor(Action::ExportReason, session.ExportBlocker()).text.find(refused.message),
              std::string::npos);
}

TEST_F(CommandsTest, ExportThatFailsItsCheckLeavesTheOldDestination)
{
    // A filled rectangle of the page where the code column lies: every check of it fails.
    std::string bytes = kHead;
    for (const char* id : {"A", "B", "C"}) {
        for (int page = 0; page < 4; ++page) {
            bytes += std::string("\x1b&a100h200VNr.") + id + ";\x1b*p59x1240Y\x1b*c83a6b0P\f";
        }
    }
    ASSERT_EQ(Describe(Import(bytes + kFoot)), "ok");
    const fs::path out = dir.Write("out.pcl", "good export");
    session.ChooseDestination(out.string());
    const Outcome failed = RunExport(session);
    EXPECT_EQ(Describe(failed), Describe(CheckFailed));
    EXPECT_EQ(ReadFile(out), "good export");
    const fs::path kept = dir / "out.fehlerhaft.pcl";
    EXPECT_TRUE(ReadFile(kept).starts_with(kHead));
    EXPECT_TRUE(state.lastExportFailed);
    EXPECT_EQ(std::count_if(fs::directory_iterator(dir.Path()), {},
                            [](const auto& e) { return e.path().extension() == ".tmp"; }),
              0);
    // One line per kind of problem, with the sheets as ranges.
    EXPECT_NE(failed.message.find(PathToUtf8(kept)), std::string::npos);
    EXPECT_NE(failed.message.find("auf Blatt 1–12"), std::string::npos) << failed.message;
    EXPECT_EQ(failed.message.find("Blatt 2:"), std::string::npos) << failed.message;
    // The next import clears the red state.
    ASSERT_EQ(Describe(Import(LetterJob({"A"}))), "ok");
    EXPECT_FALSE(state.lastExportFailed);
}

TEST_F(CommandsTest, StoppedInAnyPhaseNothingIsReplacedOrLeftBehind)
{
    std::vector<std::string> ids;
    for (int i = 0; i < 400; ++i) {
        ids.push_back("K" + std::to_string(i));
    }
    ASSERT_EQ(Describe(Import(LetterJob(ids))), "ok");
    const fs::path out = dir.Write("out.pcl", "good export");
    session.ChooseDestination(out.string());
    const auto leftovers = [this] {
        return std::count_if(fs::directory_iterator(dir.Path()), {}, [](const auto& e) {
            return e.path().extension() == ".tmp" ||
                   e.path().filename().string().find("fehlerhaft") != std::string::npos;
        });
    };
    // Statuses: 3 writing, 4 checking; 1 scanning, 2 collecting.
    for (const std::int32_t phase : {3, 4}) {
        reporter.cancelInStatus = phase;
        reporter.cancelled = false;
        EXPECT_EQ(Describe(RunExport(session)), Describe(Cancelled)) << phase;
        EXPECT_EQ(ReadFile(out), "good export") << phase;
        EXPECT_EQ(leftovers(), 0) << phase;
    }
    for (const std::int32_t phase : {1, 2}) {
        reporter.cancelInStatus = phase;
        reporter.cancelled = false;
        EXPECT_EQ(Describe(RunImport(session)), Describe(Cancelled)) << phase;
        EXPECT_FALSE(session.CanExport()) << phase;
        EXPECT_EQ(MessageFor(Action::ExportReason, session.ExportBlocker()).text,
                  "Bitte zuerst importieren")
            << phase;
    }
    reporter.cancelInStatus = -1;
    reporter.cancelled = false;
    EXPECT_EQ(Describe(RunImport(session)), "ok");
    EXPECT_EQ(Describe(RunExport(session)), "ok");
    EXPECT_NE(ReadFile(out), "good export");
    // "Export prüfen..." stops in its scan as well.
    reporter.cancelInStatus = 4;
    reporter.cancelled = false;
    EXPECT_EQ(Describe(RunVerify(session, {.marked = out.string()})), Describe(Cancelled));
}

// With seq_continue the sequence runs on from export to export (16 values, 4 sheets each). Only
// an export whose file replaced the destination moves the counter; a run killed on either side of
// that rename neither gives a value twice nor skips one.
TEST_F(CommandsTest, SequenceRunsOnOnlyPastExportsThatReplacedTheDestination)
{
    dir.Write("kuvrion.ini",
              std::string(kIni) + "[ome]\r\nuse_seqchk=1\r\nseqchk_count=4\r\nseq_continue=1\r\n");
    session.Load();
    ASSERT_EQ(Describe(Import(LetterJob({"A", "B"}))), "ok");
    const fs::path out = dir / "out.pcl";
    session.ChooseDestination(out.string());
    enum Step { Ok, Refused, Blocked, Cancelled_, CrashBeforeRename, CrashAfterRename };
    const struct {
        Step step;
        bool moves; // the counter moves on by the export's 4 sheets (modulo 16)
    } steps[] = {{Ok, true},         {Ok, true},
                 {Refused, false},   {Blocked, false},
                 {Cancelled_, false}, {CrashBeforeRename, false},
                 {CrashAfterRename, true}, {Ok, true}};
    for (const auto& [step, moves] : steps) {
        SCOPED_TRACE(step);
        const std::uint32_t before = NextSequenceValue(session);
        ExportRequest request;
        if (step == Refused) {
            request.seqStart = 16;
        }
        reporter.cancelInStatus = step == Cancelled_ ? 4 : -1;
        reporter.cancelled = false;
        if (step == Blocked) {
            fs::create_directories(dir / "blocked.pcl");
            session.ChooseDestination((dir / "blocked.pcl").string());
        }
        if (step == Ok) {
            const ExportOutcome done = RunExport(session, request);
            ASSERT_EQ(Describe(done), "ok");
            EXPECT_EQ(done.stats.seqFirst, before);
        } else if (step == CrashBeforeRename || step == CrashAfterRename) {
#ifdef _WIN32
            continue;
#else
            const auto at =
                step == CrashAfterRename ? ExportStep::AfterRename : ExportStep::BeforeRename;
            const pid_t pid = ::fork();
            if (pid == 0) {
                request.stepHook = [at](ExportStep reached) {
                    if (reached == at)
                        ::_exit(3); // as a crash: nothing after it runs
                };
                static_cast<void>(RunExport(session, request));
                ::_exit(0);
            }
            int status = 0;
            ASSERT_EQ(::waitpid(pid, &status, 0), pid);
            ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 3);
#endif
        } else {
            EXPECT_NE(Describe(RunExport(session, request)), "ok");
        }
        session.ChooseDestination(out.string());
        EXPECT_EQ(NextSequenceValue(session), moves ? (before + 4) % 16 : before);
    }
    // Without seq_continue every export starts at 0 and the counter stays.
    const std::uint32_t stored = SequenceState(state.paths.StateFile()).Next(4);
    ASSERT_EQ(Describe(ApplyOmeCode(
                  session, {"10", "11", "101", 1, 4, false, false, true, false, false, false})),
              "ok");
    const ExportOutcome restarted = RunExport(session);
    ASSERT_EQ(Describe(restarted), "ok");
    EXPECT_EQ(restarted.stats.seqFirst, 0u);
    EXPECT_EQ(SequenceState(state.paths.StateFile()).Next(4), stored);
}

TEST_F(CommandsTest, SkeletonAndReferencePageRememberTheirChoices)
{
    ASSERT_EQ(Describe(Import(LetterJob({"A"}))), "ok");
    RememberSkeletonPath(session, (dir / "s.txt").string());
    EXPECT_EQ(Describe(RunSkeleton(session, (dir / "s.txt").string())), "ok");
    EXPECT_EQ(SkeletonPath(session), (dir / "s.txt").string());
    RefPageOptions options{(dir / "ref.pcl").string(), true, false};
    RememberRefPageOptions(session, options);
    EXPECT_EQ(Describe(RunReferencePage(session, options)), "ok");
    // The options stay when the file cannot be written.
    fs::permissions(dir / "ref.pcl", fs::perms::owner_read);
    options.marks = true;
    RememberRefPageOptions(session, options);
    EXPECT_EQ(Describe(RunReferencePage(session, options)), Describe(TargetBlocked));
    EXPECT_TRUE(RefPageDefaults(session).marks);
}

// Beside the program, then in its "doc" folder, then under the installation prefix.
TEST(ProgramPathsTest, ManualIsLookedUpInDocFirstThenUnderThePrefix)
{
    TempDir dir;
    EXPECT_FALSE(LocateProgramPaths(dir.Path()).Manual());
    fs::create_directories(dir / "bin");
    const std::pair<fs::path, const char*> places[] = {
        {dir.Path(), "Kuvrion.pdf"},
        {dir.Path(), "doc/Kuvrion.pdf"},
        {dir / "bin", "share/doc/kuvrion/Kuvrion.pdf"}};
    for (const auto& [program, manual] : places) {
        const fs::path file = (dir / manual).make_preferred();
        fs::create_directories(file.parent_path());
        dir.Write(manual, "%PDF");
        EXPECT_EQ(LocateProgramPaths(program).Manual(), file) << manual;
    }
}

TEST(ProgramPathsTest, SettingsMoveToTheUserFolderWhenTheProgramFolderIsNotWritable)
{
    TempDir home;
    EXPECT_EQ(LocateProgramPaths(home.Path()).LogFile(), home / "log.txt");
#ifdef _WIN32
    // A folder where no file can be made stands for "Program Files".
    const char* const appData = std::getenv("APPDATA");
    const std::string oldAppData = appData ? appData : "";
    ::_putenv_s("APPDATA", PathToUtf8(home.Path()).c_str());
    const ProgramPaths system = LocateProgramPaths(home / "missing");
    ::_putenv_s("APPDATA", oldAppData.c_str());
#else
    ::setenv("XDG_CONFIG_HOME", home.Path().c_str(), 1);
    const ProgramPaths system = LocateProgramPaths("/usr/bin");
    ::unsetenv("XDG_CONFIG_HOME");
#endif
    EXPECT_EQ(system.settingsFile, home / "Kuvrion" / "kuvrion.ini");
    EXPECT_EQ(system.RefPageFile(), home / "Kuvrion" / "RefPage.pcl");
    EXPECT_EQ(LocateProgramPaths("/usr/bin", home / "my.ini").settingsFile, home / "my.ini");
}

TEST_F(CommandsTest, FailedWritesLeaveTheTargetAsItWas)
{
    ASSERT_EQ(Describe(Import(LetterJob({"A", "B", "A"}))), "ok");
    const std::string ini = ReadFile(state.paths.settingsFile);
    const Fault faults[] = {
        {"full device", Old, nullptr, 64, Describe(kFullDeviceFailure, EFBIG)},
        {"missing folder", [](const fs::path& t) { fs::remove(t.parent_path()); }, nullptr, 0,
         Describe(TargetFolderMissing, ENOENT)},
        {"write-protected target", Protected, nullptr, 0, Describe(TargetBlocked)},
        {"folder as target", FolderAt, nullptr, 0, Describe(TargetBlocked)},
#ifndef _WIN32
        {"pipe as target", [](const fs::path& t) { ::mkfifo(t.c_str(), 0644); }, nullptr, 0,
         Describe(TargetOpen, EPERM)},
#endif
        {"read-only folder", Old, ReadOnlyFolder, 0, Describe(TargetOpen, EROFS)},
        {"full tmpfs", nullptr, FullTmpfs, 0, Describe(TargetCommit, ENOSPC)}};
    const std::function<Outcome(const fs::path&)> writers[] = {
        [&](const fs::path& t) {
            session.ChooseDestination(PathToUtf8(t));
            return Outcome(RunExport(session));
        },
        [&](const fs::path& t) { return RunSkeleton(session, PathToUtf8(t)); },
        [&](const fs::path& t) {
            return RunReferencePage(session, RefPageOptions{PathToUtf8(t)});
        }};
    for (const Fault& fault : faults) {
        for (std::size_t w = 0; w < std::size(writers); ++w) {
            SCOPED_TRACE("writer " + std::to_string(w));
            const fs::path target = dir / (fault.name + std::to_string(w)) / "target.pcl";
            fs::create_directory(target.parent_path());
            ExpectFault(fault, target, target, [&] { return writers[w](target); });
        }
    }
    EXPECT_EQ(ReadFile(state.paths.settingsFile), ini);
}

TEST_F(CommandsTest, SourceChangedSinceTheImportIsRefused)
{
    if (UnderWine()) {
        GTEST_SKIP() << "Wine neither deletes nor replaces a file another handle keeps open";
    }
    ASSERT_EQ(Describe(Import(LetterJob({"A", "B", "A"}))), "ok");
    // Deleted, truncated, and replaced by another file with the same size and modification time.
    // A deleted source is told apart from a changed one.
    const std::function<void()> changes[] = {
        [&] { fs::remove(job); }, [&] { fs::resize_file(job, jobBytes.size() / 2); },
        [&] {
            std::string other = jobBytes;
            std::replace(other.begin(), other.end(), 'x', 'y');
            const fs::path next = dir.Write("next.pcl", other);
            fs::last_write_time(next, fs::last_write_time(job));
            fs::rename(next, job);
        }};
    const Fault deleted{"source deleted", Old, nullptr, 0, Describe(SourceMissing, ENOENT)};
    const Fault changed{"source changed", Old, nullptr, 0, Describe(SourceChanged)};
    const fs::path old = dir / "old.pcl";
    session.ChooseDestination(PathToUtf8(old));
    for (const auto& change : changes) {
        const Fault& expected = &change == &changes[0] ? deleted : changed;
        ASSERT_EQ(Describe(Import(jobBytes)), "ok");
        // File times have a coarse clock; make sure the change shows in them.
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        change();
        ExpectFault(expected, old, old, [&] { return Outcome(RunExport(session)); });
        ExpectFault(expected, old, old, [&] { return RunSkeleton(session, PathToUtf8(old)); });
        dir.Write("job.pcl", jobBytes);
    }
}

TEST_F(CommandsTest, SettingsThatCannotBeWrittenWarnAndStayAsTheyWere)
{
    // Each confirm step of a settings dialog.
    const OmeCodeValues code{"10", "11", "101", 2, 2, true, true, true, true, true, {}};
    const OmeLayoutValues layout{6, 90, 4, 6, 1};
    const PrintAreaValues area{1, 2, 3, 4, 5, 6};
    const std::function<Outcome()> writes[] = {
        [&] { return ApplyKeySettings(session, {"Kd:", ";", 5, 0, true}); },
        [&] { return ApplyOmeCode(session, code); },
        [&] { return ApplyOmeLayout(session, layout); },
        [&] { return ApplyPrintArea(session, area); },
        [&] { return ApplyOrganize(session, {3, false, true}); },
        [&] { return ApplyFillChar(session, 66); }};
    const fs::path settings = state.paths.settingsFile;
    const std::string warning =
        MessageFor(Action::Settings, Failure{SettingsWrite, 0, 0, PathToUtf8(settings)}).text;
    const std::string warned = Describe(SettingsWrite);
    const Fault faults[] = {{"write-protected", Protected, nullptr, 0, warned},
                            {"full device", Old, nullptr, 16, warned},
                            {"read-only folder", Old, ReadOnlyFolder, 0, warned}};
    for (const Fault& fault : faults) {
        for (std::size_t i = 0; i < std::size(writes); ++i) {
            SCOPED_TRACE("write " + std::to_string(i));
            std::error_code ec; // Windows removes no write-protected file
            fs::permissions(settings, fs::perms::owner_read | fs::perms::owner_write, ec);
            fs::remove(settings);
            // The warning names the path followed by the system's reason.
            ExpectFault(fault, settings, settings, [&] {
                const Outcome written = writes[i]();
                const bool named = written.message.starts_with(warning + " (") &&
                                   written.message.ends_with(")");
                return named ? Outcome{Failure{written.failure->what}} : written;
            });
        }
    }
}

TEST_F(CommandsTest, LogThatCannotBeWrittenStopsTheImport)
{
    ASSERT_EQ(Describe(Import(LetterJob({"A", "B", "A"}))), "ok");
    const std::string ini = ReadFile(state.paths.settingsFile);
    const Fault faults[] = {
        {"folder in its place", FolderAt, nullptr, 0, Describe(LogWrite, kFolderOpenError)},
        {"full device", nullptr, nullptr, 64, Describe(LogWrite, EFBIG)},
        {"read-only folder", nullptr, ReadOnlyFolder, 0, Describe(LogWrite, EROFS)}};
    const auto offered = [&] {
        session.ChooseDestination(PathToUtf8(dir / "out.pcl"));
        return session.CanExport() ? " but offered the export" : "";
    };
    for (const Fault& fault : faults) {
        fs::remove_all(dir / "log.txt");
        ExpectFault(
            fault, dir / "log.txt", job, [&] { return RunImport(session); }, offered);
    }
    EXPECT_EQ(ReadFile(state.paths.settingsFile), ini);
}

} // namespace
} // namespace kuvrion::test
