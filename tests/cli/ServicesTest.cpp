// Jobs without hands: standard input and output, and the watched folder (in-process, and as a
// child process that is killed in the middle of a job and started again).
#include "CliApp.h"

#include "TestConfig.h"
#include "app/Journal.h"
#include "app/Messages.h"
#include "base/Platform.h"
#include "base/Sha256.h"
#include "support/TempDir.h"
#include "support/WaitFor.h"

#include <gtest/gtest.h>

#include <chrono>
#include <map>
#include <sstream>
#include <thread>

#ifndef _WIN32
#include <csignal>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace fs = std::filesystem;
using kuvrion::test::ReadFile;
using kuvrion::test::TempDir;
using namespace std::chrono_literals;

namespace kuvrion::cli {
namespace {

constexpr const char* kIni = "[keys]\r\nadrkeybeg=^Kd.: ^\r\nadrkeyend=^;^\r\nadrkeymode=0\r\n";

// A letter job of `letters` addressees with `pages` pages each.
std::string LetterJob(int letters, int pages = 2)
{
    std::string job = "\x1b%-12345X@PJL\r\n\x1b"
                      "E";
    for (int l = 0; l < letters; ++l) {
        job += "\x1b&a1VKd.: " + std::to_string(4711 + l) + "; Brief\f";
        for (int p = 1; p < pages; ++p)
            job += "Seite " + std::to_string(p + 1) + std::string(200, 'x') + "\f";
    }
    return job + "\x1b"
                 "E\x1b%-12345X";
}

struct CliResult {
    int status;
    std::string out;
    std::string err;
};

CliResult Cli(const fs::path& dir, std::vector<std::string> args, const std::string& in = {})
{
    std::istringstream input(in);
    std::ostringstream out, err;
    args.insert(args.begin(), "--ini=" + (dir / "kuvrion.ini").string());
    CliIo io{out, err, false};
    io.in = &input;
    const int status = RunCli(args, io, dir);
    return {status, out.str(), err.str()};
}

// The journal's lines after its header, by job name.
std::multimap<std::string, std::string> JournalLines(const fs::path& file)
{
    std::multimap<std::string, std::string> lines;
    std::istringstream in(ReadFile(file));
    std::string line;
    std::getline(in, line); // header
    while (std::getline(in, line)) {
        const auto first = line.find(';');
        const auto second = line.find(';', first + 1);
        lines.emplace(line.substr(first + 1, second - first - 1), line.substr(second + 1));
    }
    return lines;
}

TEST(StandardStreams, JobInAndMarkedJobOutOnlyAfterItsCheck)
{
    TempDir dir;
    dir.Write("kuvrion.ini", kIni);
    const std::string job = LetterJob(3);
    dir.Write("job.pcl", job);
    ASSERT_EQ(
        Cli(dir.Path(), {"export", (dir / "job.pcl").string(), (dir / "file.pcl").string()}).status,
        kExitOk);
    const std::string marked = ReadFile(dir / "file.pcl");

    // Stdin to a file, a file to stdout, stdin to stdout: the same bytes every way; the figures
    // go to stderr when stdout carries the job.
    const struct {
        std::vector<std::string> args;
        std::string in;
    } ways[] = {{{"export", "-", (dir / "a.pcl").string()}, job},
                {{"export", (dir / "job.pcl").string(), "-"}, ""},
                {{"export", "-", "-", "--json"}, job}};
    for (const auto& w : ways) {
        const CliResult r = Cli(dir.Path(), w.args, w.in);
        ASSERT_EQ(r.status, kExitOk) << r.err;
        EXPECT_EQ(w.args[2] == "-" ? r.out : ReadFile(dir / "a.pcl"), marked);
        const std::string& report = w.args[2] == "-" ? r.err : r.out;
        EXPECT_NE(report.find(w.args.size() == 4 ? "\"verified\": true" : "Kuverts:"),
                  std::string::npos);
    }
    EXPECT_EQ(Cli(dir.Path(), {"verify", "-"}, marked).status, kExitOk);
    EXPECT_NE(Cli(dir.Path(), {"text", "-", "--page", "1"}, job).out.find("ID „4711“"),
              std::string::npos);

    // A job that cannot be marked, and a marked job that fails its check: nothing on stdout, and
    // no temporary file left behind.
    std::string broken = marked;
    broken.erase(broken.rfind("\x1b&a"), broken.rfind('\f') - broken.rfind("\x1b&a"));
    const struct {
        std::vector<std::string> args;
        std::string in;
        int status;
    } refusals[] = {{{"export", "-", "-"}, "%PDF-1.7\n", kExitBadInput},
                    {{"export", "-", "-"}, "", kExitBadInput},
                    {{"verify", "-"}, broken, kExitFailed}};
    for (const auto& c : refusals) {
        const CliResult r = Cli(dir.Path(), c.args, c.in);
        EXPECT_EQ(r.status, c.status) << r.err;
        EXPECT_EQ(c.args[0] == "export" ? r.out : "", "");
    }
    for (const auto& entry : fs::directory_iterator(dir.Path()))
        EXPECT_EQ(entry.path().filename().string().find("kuvrion-"), std::string::npos)
            << entry.path();

    // Sending checks first: a job that fails its check never leaves.
    fs::create_directory(dir / "drucker");
    const std::string to = "file:" + (dir / "drucker").string();
    dir.Write("kaputt.pcl", broken);
    EXPECT_EQ(Cli(dir.Path(), {"send", (dir / "kaputt.pcl").string(), to}).status, kExitFailed);
    EXPECT_TRUE(fs::is_empty(dir / "drucker"));
    EXPECT_EQ(Cli(dir.Path(), {"send", (dir / "file.pcl").string(), to}).status, kExitOk);
    EXPECT_EQ(ReadFile(dir / "drucker/file.pcl"), marked);
    EXPECT_EQ(Cli(dir.Path(), {"send", (dir / "file.pcl").string(), "http://x"}).status,
              kExitBadInput);
}

TEST(WatchedFolder, MarksChecksAndFilesEveryJobOnce)
{
    TempDir dir;
    dir.Write("kuvrion.ini", kIni);
    fs::create_directory(dir / "in");
    const std::string good = LetterJob(2);
    dir.Write("in/rechnung.pcl", good);
    dir.Write("in/spaet.pcl.tmp", LetterJob(1));
    fs::rename(dir / "in/spaet.pcl.tmp", dir / "in/spaet.pcl"); // renamed in: taken at once
    dir.Write("in/bild.pdf", "%PDF-1.7\n");
    dir.Write("in/ohne.pcl", "\x1b"
                             "EHallo ohne Schl\xfcssel\f");
    dir.Write("in/.versteckt", "x");
    dir.Write("in/halb.part", "x");

    const std::vector<std::string> watch = {"watch", (dir / "in").string(), "--once", "--interval",
                                            "0.1"};
    CliResult r = Cli(dir.Path(), watch);
    ASSERT_EQ(r.status, kExitOk) << r.err;

    ASSERT_EQ(Cli(dir.Path(),
                  {"export", (dir / "in/done/rechnung.pcl").string(), (dir / "ref.pcl").string()})
                  .status,
              kExitOk);
    EXPECT_EQ(ReadFile(dir / "in/out/rechnung-OME.pcl"), ReadFile(dir / "ref.pcl"));
    EXPECT_EQ(ReadFile(dir / "in/done/rechnung.pcl"), good);
    EXPECT_TRUE(fs::exists(dir / "in/out/spaet-OME.pcl"));
    EXPECT_FALSE(fs::exists(dir / "in/out/bild-OME.pcl"));
    EXPECT_FALSE(fs::exists(dir / "in/out/ohne-OME.pcl"));
    EXPECT_EQ(ReadFile(dir / "in/error/bild.pdf.txt"),
              *BadInputText(Action::Import, Failure{FailureKind::NotPcl5, 0, 0, "", "PDF"}) +
                  "\r\n");
    EXPECT_NE(ReadFile(dir / "in/error/ohne.pcl.txt").find("ohne.pcl"), std::string::npos);
    EXPECT_TRUE(fs::exists(dir / "in/.versteckt"));
    EXPECT_TRUE(fs::exists(dir / "in/halb.part"));

    const auto lines = JournalLines(dir / "in/out/kuvrion-journal.csv");
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines.find("rechnung.pcl")->second.substr(65), "4;4;2;OK\r");
    EXPECT_EQ(lines.find("bild.pdf")->second.substr(65, 6), "0;0;0;");

    // The same name again, with other bytes: taken again, filed beside the first.
    dir.Write("in/rechnung.pcl", LetterJob(1));
    ASSERT_EQ(Cli(dir.Path(), watch).status, kExitOk);
    EXPECT_EQ(JournalLines(dir / "in/out/kuvrion-journal.csv").count("rechnung.pcl"), 2u);
    EXPECT_EQ(ReadFile(dir / "in/done/rechnung.pcl"), good);
    EXPECT_TRUE(fs::exists(dir / "in/done/rechnung-2.pcl"));

    // A folder that is not there, and output into the watched folder (taken again as a job):
    // exit 2 naming it.
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"watch", "fehlt", "--once"},
          {"watch", (dir / "in").string(), "--once", "--out", (dir / "in/.").string()}}) {
        r = Cli(dir.Path(), args);
        EXPECT_EQ(r.status, kExitBadInput);
        EXPECT_NE(r.err.find(args[1]), std::string::npos) << r.err;
    }
}

// A job whose delivery began before a stop (its last journal line says so) may be printed
// already: it is filed for the operator with the reason, never sent a second time.
TEST(WatchedFolder, AJobStoppedWhileDeliveredIsNotSentAgain)
{
    TempDir dir;
    fs::create_directories(dir / "drucker");
    dir.Write("kuvrion.ini",
              std::string(kIni) + "[deliver]\r\nto=" + (dir / "drucker").string() + "\r\n");
    fs::create_directories(dir / "in/.kuvrion-work");
    fs::create_directories(dir / "in/out");
    dir.Write("in/.kuvrion-work/0~brief.pcl", LetterJob(1));
    const auto sha = kuvrion::Sha256OfFile(dir / "in/.kuvrion-work/0~brief.pcl");
    ASSERT_TRUE(sha);
    kuvrion::Journal journal(dir / "in/out/kuvrion-journal.csv");
    ASSERT_TRUE(journal.Append(
        {"1970-01-01T00:00:00.000Z", "brief.pcl", *sha, 1, 1, 1, kuvrion::kJournalDelivering}));

    const CliResult r = Cli(dir.Path(), {"watch", (dir / "in").string(), "--once"});
    ASSERT_EQ(r.status, kExitOk) << r.err;
    EXPECT_TRUE(fs::is_empty(dir / "drucker"));
    EXPECT_NE(ReadFile(dir / "in/error/brief.pcl.txt").find("nicht noch einmal gesendet"),
              std::string::npos);
}

#ifndef _WIN32

// The children started and not yet reaped: a test that stops early must not leave a watcher
// behind (it would hold the test runner's output open for ever).
std::vector<pid_t>& Children()
{
    static std::vector<pid_t> children;
    return children;
}
struct KillChildrenAtEnd {
    ~KillChildrenAtEnd()
    {
        for (const pid_t pid : Children()) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, nullptr, 0);
        }
        Children().clear();
    }
};

// kuvrion-cli as a child process, its standard error into `log`.
pid_t Start(const fs::path& dir, const std::vector<std::string>& args, const fs::path& log)
{
    std::vector<std::string> all = {KUVRION_BIN_DIR "/kuvrion-cli",
                                    "--ini=" + (dir / "kuvrion.ini").string()};
    all.insert(all.end(), args.begin(), args.end());
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int fd = ::open(log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
        ::dup2(fd, 2);
        std::vector<char*> argv;
        for (std::string& a : all)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    Children().push_back(pid);
    return pid;
}

using kuvrion::test::WaitFor;

// The exit status of the child, waited for with a deadline; -1 when it did not end in time.
int Reap(pid_t pid)
{
    std::erase(Children(), pid);
    int status = 0;
    if (!WaitFor([&] { return ::waitpid(pid, &status, WNOHANG) == pid; })) {
        ::kill(pid, SIGKILL);
        ::waitpid(pid, &status, 0);
        return -1;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

bool Busy(const fs::path& work)
{
    std::error_code ec;
    return fs::exists(work, ec) && !fs::is_empty(work, ec);
}

// Killed with SIGKILL while a job is in its hands, three times, then stopped with SIGTERM in the
// middle of a job and started once more: every job is done exactly once, its output the same as
// the export of it, and a job written slowly in pieces is taken only when complete.
TEST(WatchedFolder, AKillLosesAndRepeatsNothing)
{
    TempDir dir;
    const KillChildrenAtEnd killChildren; // before the folder goes
    dir.Write("kuvrion.ini", kIni);
    fs::create_directory(dir / "in");
    constexpr int kJobs = 24;
    for (int i = 0; i < kJobs; ++i)
        dir.Write("in/job" + std::to_string(100 + i) + ".pcl", LetterJob(40 + i, 3));
    const fs::path log = dir / "watch.log";
    const fs::path work = dir / "in/.kuvrion-work";
    const std::vector<std::string> args = {"watch", (dir / "in").string(), "--interval", "0.05"};

    const fs::path journal = dir / "in/out/kuvrion-journal.csv";
    // Each time once the new watcher has finished a job (so it runs: a signal before its start
    // would hit the test's own copy) and holds the next.
    const auto startAndWait = [&] {
        const std::size_t before = JournalLines(journal).size();
        const pid_t pid = Start(dir.Path(), args, log);
        EXPECT_TRUE(WaitFor([&] { return JournalLines(journal).size() > before && Busy(work); }))
            << ReadFile(log);
        return pid;
    };
    for (int kill = 0; kill < 3; ++kill) {
        const pid_t pid = startAndWait();
        ::kill(pid, SIGKILL);
        EXPECT_EQ(Reap(pid), 128 + SIGKILL);
    }
    // SIGTERM: the current job is finished, then the watcher ends.
    pid_t pid = startAndWait();
    ::kill(pid, SIGTERM);
    EXPECT_EQ(Reap(pid), 0) << ReadFile(log);
    EXPECT_FALSE(Busy(work));

    // The rest, with one more job written slowly in pieces while the watcher runs.
    pid = Start(dir.Path(), {"watch", (dir / "in").string(), "--interval", "1"}, log);
    const std::string slow = LetterJob(5);
    {
        std::ofstream part(dir / "in/langsam.pcl", std::ios::binary);
        for (std::size_t at = 0; at < slow.size(); at += 64) {
            part << slow.substr(at, 64) << std::flush;
            std::this_thread::sleep_for(10ms);
        }
    }
    ASSERT_TRUE(WaitFor([&] { return JournalLines(journal).size() == kJobs + 1; }))
        << ReadFile(log);
    ::kill(pid, SIGTERM);
    EXPECT_EQ(Reap(pid), 0);

    const auto lines = JournalLines(journal);
    for (int i = 0; i < kJobs; ++i) {
        const std::string name = "job" + std::to_string(100 + i);
        ASSERT_EQ(lines.count(name + ".pcl"), 1u) << name;
        EXPECT_TRUE(lines.find(name + ".pcl")->second.ends_with(";OK\r")) << name;
        EXPECT_TRUE(fs::exists(dir / "in/done" / (name + ".pcl"))) << name;
    }
    EXPECT_EQ(lines.count("langsam.pcl"), 1u);
    ASSERT_EQ(Cli(dir.Path(),
                  {"export", (dir / "in/done/langsam.pcl").string(), (dir / "ref.pcl").string()})
                  .status,
              kExitOk);
    EXPECT_EQ(ReadFile(dir / "in/done/langsam.pcl"), slow);
    EXPECT_EQ(ReadFile(dir / "in/out/langsam-OME.pcl"), ReadFile(dir / "ref.pcl"));
    ASSERT_EQ(Cli(dir.Path(),
                  {"export", (dir / "in/done/job105.pcl").string(), (dir / "ref.pcl").string()})
                  .status,
              kExitOk);
    EXPECT_EQ(ReadFile(dir / "in/out/job105-OME.pcl"), ReadFile(dir / "ref.pcl"));
    EXPECT_TRUE(fs::is_empty(dir / "in/error"));
    for (const auto& entry : fs::directory_iterator(dir / "in/out"))
        EXPECT_NE(entry.path().filename().string().front(), '.') << entry.path();
}

#endif

} // namespace
} // namespace kuvrion::cli
