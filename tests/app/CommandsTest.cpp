#include "app/Commands.h"

#include "base/Platform.h"
#include "support/FileSizeLimit.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <thread>

namespace fs = std::filesystem;
using kuvrion::test::ReadFile;
using kuvrion::test::TempDir;

namespace kuvrion {
namespace {

class RecordingReporter : public Reporter {
public:
    void ShowMessage(const std::string& text, MessageKind kind) override
    {
        messages.push_back(text);
        kinds.push_back(kind);
    }
    void ShowImportStatus() override { ++importStatusShown; }
    void SetBusy(bool busy) override { busyChanges += busy ? "+" : "-"; }

    std::string Last() const { return messages.empty() ? std::string() : messages.back(); }

    std::vector<std::string> messages;
    std::vector<MessageKind> kinds;
    int importStatusShown = 0;
    std::string busyChanges;
};

const std::string kHead = "\x1b%-12345X@PJL ENTER LANGUAGE=PCL\r\n\x1b"
                          "E";
const std::string kFoot = "\x1b"
                          "E\x1b%-12345X";

std::string Page(const std::string& text)
{
    return "\x1b&a100h200V" + text;
}

// Letters A (2 pages), B (1 page), A again (1 page).
std::string LetterJob()
{
    return kHead + Page("Nr.A1; Brief an A") + "\f" + Page("Seite 2") + "\f" +
           Page("Nr.B2; Brief an B") + "\f" + Page("Nr.A1; noch einmal A") + "\f" + kFoot;
}

constexpr const char* kIni = "[common]\r\nuselog=1\r\n[keys]\r\nadrkeybeg=^Nr.^\r\n"
                             "adrkeyend=^;^\r\nadrkeymode=0\r\n";

class CommandsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir.Write("kuvrion.ini", kIni);
        state.paths = LocateProgramPaths(dir.Path());
        commands.Load();
    }

    fs::path Job(const std::string& bytes = LetterJob()) { return dir.Write("job.pcl", bytes); }

    bool ImportJob(const fs::path& job)
    {
        commands.ChooseSource(job.string(), std::nullopt);
        return commands.Import();
    }

    TempDir dir;
    AppState state;
    RecordingReporter reporter;
    Commands commands{state, reporter};
};

TEST_F(CommandsTest, ImportGroupsPagesAndEnablesExportOnlyWithValidDestination)
{
    EXPECT_FALSE(commands.CanImport());
    ASSERT_TRUE(ImportJob(Job()));
    EXPECT_EQ(state.nJobPages, 4);
    EXPECT_EQ(state.nImpAssigned, 4);
    EXPECT_EQ(state.Persons.Count(), 2);
    EXPECT_EQ(state.txtExpAdr, "2");
    EXPECT_EQ(state.nExportCount, 2);
    EXPECT_EQ(reporter.importStatusShown, 1); // page 2 carries no key
    EXPECT_EQ(reporter.busyChanges, "+-");
    EXPECT_TRUE(commands.CanShowImportStatus());
    EXPECT_FALSE(commands.CanExport());

    commands.ChooseDestination((dir / "missing" / "out.pcl").string(), 1);
    EXPECT_FALSE(commands.CanExport());
    commands.ChooseDestination((dir / "out.pcl").string(), 2);
    EXPECT_TRUE(commands.CanExport());
    EXPECT_EQ(commands.DestinationFilterIndex(), 2);
}

TEST_F(CommandsTest, DestinationNamingTheSourceInAnotherSpellingIsRefused)
{
    const fs::path job = Job();
    ASSERT_TRUE(ImportJob(job));
    commands.ChooseDestination((dir.Path() / "." / "job.pcl").string(), std::nullopt);
    EXPECT_FALSE(commands.CanExport());
#ifndef _WIN32 // the MinGW standard library makes no symbolic links
    fs::create_directory_symlink(dir.Path(), dir / "link");
    commands.ChooseDestination((dir / "link" / "job.pcl").string(), std::nullopt);
    EXPECT_FALSE(commands.CanExport());
#endif
    commands.ChooseDestination((dir / "JOB.PCL").string(), std::nullopt);
    EXPECT_FALSE(commands.CanExport());
    // Choosing the destination's name as the new source turns the destination red as well.
    commands.ChooseDestination((dir / "other.pcl").string(), std::nullopt);
    EXPECT_TRUE(state.bDstOK);
    commands.ChooseSource((dir / "other.pcl").string(), std::nullopt);
    EXPECT_FALSE(state.bDstOK);
}

TEST_F(CommandsTest, ExportWritesTheJobAndReportsSuccess)
{
    ASSERT_TRUE(ImportJob(Job()));
    commands.ChooseDestination((dir / "out.pcl").string(), std::nullopt);
    ASSERT_TRUE(commands.Export());
    EXPECT_EQ(reporter.Last(), "Export wurde durchgeführt");
    const std::string out = ReadFile(dir / "out.pcl");
    EXPECT_EQ(out.substr(0, kHead.size()), kHead);
    EXPECT_EQ(out.substr(out.size() - kFoot.size()), kFoot);
    EXPECT_EQ(commands.LastExportStats().sheets, 4);
    EXPECT_EQ(commands.LastExportStats().envelopes, 2);
    // No temporary file is left beside the destination.
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.Path()), fs::directory_iterator()), 4);
}

TEST_F(CommandsTest, ExportMasksWithTheKeySettingsInForceAtExportTime)
{
    ASSERT_TRUE(ImportJob(Job()));
    commands.ChooseDestination((dir / "out.pcl").string(), std::nullopt);
    ASSERT_TRUE(commands.Export());
    std::string out = ReadFile(dir / "out.pcl");
    EXPECT_EQ(out.find("Nr.A1;"), std::string::npos);
    EXPECT_NE(out.find("Brief an A"), std::string::npos);

    // New key settings after the import: the pages are searched again, not masked by the old keys.
    commands.ApplyKeySettings("Brief", " ", 1, 0, true);
    ASSERT_TRUE(commands.Export());
    out = ReadFile(dir / "out.pcl");
    EXPECT_NE(out.find("Nr.A1;"), std::string::npos);
    EXPECT_EQ(out.find("Brief"), std::string::npos);
}

TEST_F(CommandsTest, ExportRefusesWhenTheSourceChangedSinceTheImport)
{
    const fs::path job = Job();
    ASSERT_TRUE(ImportJob(job));
    commands.ChooseDestination((dir / "out.pcl").string(), std::nullopt);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    dir.Write("job.pcl", LetterJob() + "x");
    EXPECT_FALSE(commands.Export());
    EXPECT_EQ(reporter.Last(),
              "Die Quelldatei wurde seit dem Import geändert. Bitte erneut importieren.");
    EXPECT_EQ(reporter.kinds.back(), MessageKind::Warning);
    EXPECT_FALSE(fs::exists(dir / "out.pcl"));
}

TEST_F(CommandsTest, WriteProtectedDestinationStaysUntouched)
{
    ASSERT_TRUE(ImportJob(Job()));
    const fs::path out = dir.Write("out.pcl", "old contents");
    fs::permissions(out, fs::perms::owner_read | fs::perms::group_read);
    commands.ChooseDestination(out.string(), std::nullopt);
    EXPECT_FALSE(commands.Export());
    EXPECT_EQ(reporter.Last(), "Zieldatei ist schreibgeschützt");
    EXPECT_EQ(ReadFile(out), "old contents");
}

TEST_F(CommandsTest, FailedWriteIsReportedAndLeavesTheOldDestination)
{
    ASSERT_TRUE(ImportJob(Job(LetterJob() + std::string(64 * 1024, 'x'))));
    const fs::path out = dir.Write("out.pcl", "old contents");
    commands.ChooseDestination(out.string(), std::nullopt);
    // Every write past 1 KiB fails, as on a full disk.
    bool ok = false;
    {
        const test::FileSizeLimit limit(1024);
        ok = commands.Export();
    }
    EXPECT_FALSE(ok);
    EXPECT_EQ(reporter.Last().rfind("Export fehlgeschlagen:\r\n", 0), 0u) << reporter.Last();
    EXPECT_NE(reporter.Last(), "Export wurde durchgeführt");
    EXPECT_EQ(ReadFile(out), "old contents");
}

TEST_F(CommandsTest, JobWithoutPagesResetsTheCountersOfAnEarlierImport)
{
    ASSERT_TRUE(ImportJob(Job()));
    ASSERT_NE(state.nImpErr[3], 0);
    reporter.importStatusShown = 0;
    ASSERT_TRUE(ImportJob(Job("no page end here")));
    EXPECT_EQ(state.nJobPages, 0);
    EXPECT_EQ(state.nImpErr, (ImpErrCounters{0, 0, 0, 0}));
    EXPECT_EQ(reporter.importStatusShown, 0);
    EXPECT_FALSE(commands.CanShowImportStatus());
    EXPECT_FALSE(commands.CanExport());
    EXPECT_EQ(ReadFile(dir / "log.txt").find("Seite\t"), std::string::npos);
}

TEST_F(CommandsTest, LogThatCannotBeWrittenStopsTheImportAndBlocksTheExport)
{
    fs::create_directory(dir / "log.txt");
    dir.Write("log.txt/inside", "x"); // a folder that cannot be replaced by the log
    EXPECT_FALSE(ImportJob(Job()));
    ASSERT_FALSE(reporter.messages.empty());
    EXPECT_EQ(reporter.kinds.back(), MessageKind::Plain);
    commands.ChooseDestination((dir / "out.pcl").string(), std::nullopt);
    EXPECT_FALSE(commands.CanExport());
    EXPECT_EQ(reporter.importStatusShown, 0);
}

TEST_F(CommandsTest, ExportCountIsBoundedWhenTheFieldIsLeft)
{
    commands.ExportCountChanged("7");
    commands.ExportCountLeft();
    EXPECT_EQ(state.txtExpAdr, "1"); // no addressees yet
    ASSERT_TRUE(ImportJob(Job()));
    for (const auto& [typed, shown] : {std::pair{"0", "1"}, {"9", "2"}, {"", "1"}, {"1", "1"}}) {
        commands.ExportCountChanged(typed);
        commands.ExportCountLeft();
        EXPECT_EQ(state.txtExpAdr, shown) << typed;
        EXPECT_EQ(state.nExportCount, std::stoi(shown));
    }
}

TEST_F(CommandsTest, SkeletonAndReferencePageReportTheirOutcome)
{
    ASSERT_TRUE(ImportJob(Job()));
    const fs::path protectedFile = dir.Write("skel.txt", "keep");
    fs::permissions(protectedFile, fs::perms::owner_read);
    EXPECT_FALSE(commands.SaveEscSkeleton(protectedFile.string()));
    EXPECT_EQ(reporter.Last(), "'" + protectedFile.string() + "'\r\nist schreibgeschützt");
    EXPECT_EQ(ReadFile(protectedFile), "keep");

    EXPECT_TRUE(commands.SaveEscSkeleton((dir / "s.txt").string()));
    EXPECT_EQ(reporter.Last(), "Esc-Skelett wurde gespeichert.");
    EXPECT_EQ(commands.SkeletonPath(), (dir / "s.txt").string());

    RefPageOptions options{(dir / "ref.pcl").string(), true, false};
    EXPECT_TRUE(commands.WriteReferencePage(options));
    EXPECT_EQ(reporter.Last(), "Referenzseite wurde erzeugt");
    fs::permissions(dir / "ref.pcl", fs::perms::owner_read);
    options.marks = true;
    EXPECT_FALSE(commands.WriteReferencePage(options));
    EXPECT_EQ(reporter.Last(), "Referenzdatei konnte nicht angelegt werden");
    // The options are stored even when the file could not be written.
    EXPECT_TRUE(commands.RefPageDefaults().marks);
}

TEST_F(CommandsTest, ClosingStoresPositionAndLogSwitchAndTheUpdaterGetsFiveArguments)
{
    commands.ToggleLog();
    commands.Close({1200, 900});
    const std::string ini = ReadFile(dir / "kuvrion.ini");
    EXPECT_NE(ini.find("winmainpos=1200,900\r\n"), std::string::npos) << ini;
    EXPECT_NE(ini.find("uselog=0\r\n"), std::string::npos) << ini;

    const auto cmd = commands.UpdaterCommandLine();
    ASSERT_EQ(cmd.size(), 6u);
    EXPECT_EQ(cmd[0], (dir / "Zephrin.exe").string());
    EXPECT_EQ(std::vector<std::string>(cmd.begin() + 1, cmd.end()),
              (std::vector<std::string>{"Kuvrion", "Kuvrion", "1", "5", "4"}));

    EXPECT_FALSE(commands.CanWebUpdate());
    dir.Write("Zephrin.exe", "");
    commands.Load();
    EXPECT_FALSE(commands.CanWebUpdate());
    dir.Write("UNZIP.COM", "");
    commands.Load();
    EXPECT_TRUE(commands.CanWebUpdate());
}

TEST_F(CommandsTest, ManualIsLookedUpInDocFirst)
{
    EXPECT_FALSE(commands.ManualToOpen());
    EXPECT_EQ(reporter.Last(), "Das Handbuch wurde nicht gefunden:\r\nKuvrion.pdf");
    dir.Write("Kuvrion.pdf", "%PDF");
    EXPECT_EQ(commands.ManualToOpen(), (dir / "Kuvrion.pdf").string());
    fs::create_directory(dir / "doc");
    dir.Write("doc/Kuvrion.pdf", "%PDF");
    EXPECT_EQ(commands.ManualToOpen(), (dir / "doc" / "Kuvrion.pdf").string());
}

TEST(ManualTest, InstalledManualIsFoundUnderThePrefix)
{
    TempDir prefix;
    fs::create_directories(prefix / "bin");
    fs::create_directories(prefix / "share" / "doc" / "kuvrion");
    prefix.Write("share/doc/kuvrion/Kuvrion.pdf", "%PDF");
    AppState state;
    state.paths = LocateProgramPaths(prefix / "bin");
    RecordingReporter reporter;
    Commands commands{state, reporter};
    EXPECT_EQ(commands.ManualToOpen(),
              PathToUtf8(prefix / "share" / "doc" / "kuvrion" / "Kuvrion.pdf"));
}

TEST(ProgramPathsTest, SettingsMoveToTheUserFolderWhenTheProgramFolderIsNotWritable)
{
    TempDir home;
    const ProgramPaths local = LocateProgramPaths(home.Path());
    EXPECT_EQ(local.settingsFile, home / "kuvrion.ini");
    EXPECT_EQ(local.LogFile(), home / "log.txt");

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

    const ProgramPaths given = LocateProgramPaths("/usr/bin", home / "my.ini");
    EXPECT_EQ(given.settingsFile, home / "my.ini");
}

} // namespace
} // namespace kuvrion
