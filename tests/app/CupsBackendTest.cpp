#include "app/CupsBackend.h"

#include "app/MarkJob.h"
#include "support/TempDir.h"

#include <asio/io_context.hpp>
#include <asio/ip/tcp.hpp>

#include <gtest/gtest.h>

#include <sstream>

namespace fs = std::filesystem;

namespace kuvrion {
namespace {

const std::string kJob = "\x1b"
                         "E\x1b&a1VKd.: 4711; Frau M\xfcller\fSeite 2\f\x1b&a1VKd.: 0815; Tag\f\x1b"
                         "E";
constexpr const char* kKeys = "[keys]\r\nadrkeybeg=^Kd.: ^\r\nadrkeyend=^;^\r\nadrkeymode=0\r\n";

// The print system's calls with the job on standard input: what the job comes to, by exit code.
TEST(CupsBackend, MarksDeliversOrSaysWhyWithTheExitCodeOfTheContract)
{
    test::TempDir dir;
    fs::create_directory(dir / "drucker");
    fs::create_directory(dir / "abgewiesen");
    std::uint16_t closedPort = 0;
    {
        asio::io_context io;
        asio::ip::tcp::acceptor a(io, {asio::ip::make_address("127.0.0.1"), 0});
        closedPort = a.local_endpoint().port();
    }
    dir.Write("ordner.ini", std::string(kKeys) + "[deliver]\r\nto=" + (dir / "drucker").string() +
                                "\r\nrefused=" + (dir / "abgewiesen").string() + "\r\n");
    dir.Write("ohne.ini", kKeys);
    dir.Write("tot.ini", std::string(kKeys) + "[deliver]\r\nto=socket://127.0.0.1:" +
                             std::to_string(closedPort) + "\r\n");
    const auto run = [&](const std::string& ini, const std::string& job, std::string& err) {
        std::istringstream in(job);
        std::ostringstream out, log;
        const BackendExit code = RunCupsBackend({{"17", "anna", "Rechnungen", "1", ""},
                                                 "kuvrion:" + (dir / ini).string(),
                                                 &in,
                                                 &log,
                                                 &out});
        err = log.str();
        return code;
    };
    const struct {
        const char* ini;
        std::string job;
        BackendExit code;
        const char* says;
    } cases[] = {
        {"ordner.ini", kJob, BackendExit::Ok, "INFO: 3 Blätter, 2 Kuverts geprüft"},
        {"ordner.ini", "%PDF-1.7\n", BackendExit::Cancel, "ERROR: Der Druckjob ist kein PCL-5"},
        {"ordner.ini", "Hallo\f", BackendExit::Cancel, "ERROR: Auf keiner Seite"},
        {"fehlt.ini", kJob, BackendExit::Cancel, "ERROR: Einstellungsdatei nicht gefunden"},
        {"ohne.ini", kJob, BackendExit::Stop, "ERROR: Kein Ziel"},
        {"tot.ini", kJob, BackendExit::Retry, "ERROR: Der Drucker 127.0.0.1:"},
    };
    for (const auto& c : cases) {
        std::string err;
        EXPECT_EQ(run(c.ini, c.job, err), c.code) << err;
        EXPECT_NE(err.find(c.says), std::string::npos) << err;
        // Only the accepted job reached the printer.
        EXPECT_EQ(std::distance(fs::directory_iterator(dir / "drucker"), fs::directory_iterator()),
                  1);
    }
    // The two refused jobs of that line of work, each with its reason, under the job's number.
    EXPECT_EQ(test::ReadFile(dir / "abgewiesen/job-17.pcl"), "%PDF-1.7\n");
    EXPECT_NE(test::ReadFile(dir / "abgewiesen/job-17.pcl.txt").find("PCL-5"), std::string::npos);
    EXPECT_EQ(test::ReadFile(dir / "abgewiesen/job-17-2.pcl"), "Hallo\f");
    // The one job delivered is the job as MarkJob writes it.
    dir.Write("job.pcl", kJob);
    MarkRequest request{dir.Path(), (dir / "ordner.ini").string(), (dir / "job.pcl").string(),
                        (dir / "ref.pcl").string()};
    ASSERT_TRUE(MarkJob(request).Ok());
    EXPECT_EQ(test::ReadFile(fs::directory_iterator(dir / "drucker")->path()),
              test::ReadFile(dir / "ref.pcl"));

    // Discovery, and a call outside the contract.
    std::ostringstream out, log;
    EXPECT_EQ(RunCupsBackend({{}, "", nullptr, &log, &out}), BackendExit::Ok);
    EXPECT_TRUE(out.str().starts_with("network kuvrion "));
    EXPECT_EQ(RunCupsBackend({{"1", "2"}, "kuvrion:/x.ini", nullptr, &log, &out}),
              BackendExit::Failed);
}

} // namespace
} // namespace kuvrion
