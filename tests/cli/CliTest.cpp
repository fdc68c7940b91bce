#include "CliApp.h"
#include "CliReporter.h"

#include "base/Platform.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <sstream>

namespace fs = std::filesystem;
using kuvrion::test::ReadFile;
using kuvrion::test::TempDir;
using nlohmann::json;

namespace kuvrion::cli {
namespace {

const std::string kHead = "\x1b%-12345X@PJL ENTER LANGUAGE=PCL\r\n\x1b"
                          "E";
const std::string kFoot = "\x1b"
                          "E\x1b%-12345X";

// Two letters; the key of the second is split by a cursor move, "M\xfc" is "Mü" in Windows-1252.
const std::string kJob = kHead +
                         "\x1b&a1V"
                         "Kd.: 4711; Sehr geehrte Frau M\xfcller"
                         "\f" +
                         "Seite 2"
                         "\f" +
                         "\x1b&a1V"
                         "Kd.: 08\x1b&a5H15; Guten Tag"
                         "\f" +
                         kFoot;

constexpr const char* kIni = "[keys]\r\nadrkeybeg=^Kd.: ^\r\nadrkeyend=^;^\r\nadrkeymode=0\r\n";

struct CliRun {
    int status;
    std::string out;
    std::string err;
};

class CliTest : public ::testing::Test {
protected:
    CliRun Cli(std::vector<std::string> args)
    {
        std::ostringstream out;
        std::ostringstream err;
        const int status = RunCli(args, CliIo{out, err, false}, dir.Path());
        return {status, out.str(), err.str()};
    }

    TempDir dir;
    fs::path job = dir.Write("job.pcl", kJob);
    fs::path ini = dir.Write("kuvrion.ini", kIni);
};

TEST_F(CliTest, ScanJsonGivesTheDocumentedFieldsAndPageTable)
{
    const CliRun r = Cli({"scan", PathToUtf8(job), "--json", "--page-table"});
    ASSERT_EQ(r.status, kExitOk) << r.err;
    const json doc = json::parse(r.out);
    EXPECT_EQ(doc["file_size"], kJob.size());
    EXPECT_EQ(doc["pages"], 3);
    EXPECT_EQ(doc["head_bytes"], kHead.size());
    EXPECT_EQ(doc["foot_bytes"], kFoot.size());
    EXPECT_EQ(doc["escapes"], 7);
    ASSERT_EQ(doc["page_seek"].size(), 3u);
    EXPECT_EQ(doc["page_seek"][0], kHead.size() + 1);
    EXPECT_EQ(doc["page_size"][1], 7);
}

TEST_F(CliTest, ImportJsonListsPersonsWithDecodedIds)
{
    const CliRun r = Cli({"--ini", PathToUtf8(ini), "import", PathToUtf8(job), "--json"});
    ASSERT_EQ(r.status, kExitOk) << r.err;
    const json doc = json::parse(r.out);
    EXPECT_EQ(doc["pages"], 3);
    EXPECT_EQ(doc["assigned"], 3);
    EXPECT_EQ(doc["addressees"], 2);
    EXPECT_EQ(doc["errors"], json::parse("[0,0,0,1]"));
    EXPECT_EQ(doc["persons"][0]["id"], "4711");
    EXPECT_EQ(doc["persons"][0]["pages"], json::parse("[1,2]"));
    EXPECT_EQ(doc["persons"][1]["id"], "0815");
}

TEST_F(CliTest, ExportWritesTheMarkedJobAndLeavesTheSettingsAlone)
{
    const std::string iniBefore = ReadFile(ini);
    const CliRun r = Cli({"--ini", PathToUtf8(ini), "export", PathToUtf8(job),
                          PathToUtf8(dir / "out.pcl"), "--count", "1", "--json"});
    ASSERT_EQ(r.status, kExitOk) << r.err;
    const json doc = json::parse(r.out);
    EXPECT_EQ(doc["exported"], 1);
    EXPECT_EQ(doc["sheets"], 2);
    EXPECT_EQ(doc["envelopes"], 1);
    const std::string out = ReadFile(dir / "out.pcl");
    EXPECT_EQ(out.rfind(kHead, 0), 0u);
    // The key is hidden by default: blanks stand where it stood.
    EXPECT_EQ(out.find("4711"), std::string::npos);
    EXPECT_EQ(ReadFile(ini), iniBefore);
    EXPECT_EQ(ReadFile(job), kJob);
}

TEST_F(CliTest, BadInputGivesAGermanMessageAndANonZeroStatus)
{
    CliRun r = Cli({"scan", PathToUtf8(dir / "missing.pcl")});
    EXPECT_EQ(r.status, kExitBadInput);
    EXPECT_NE(r.err.find("Quelldatei nicht gefunden"), std::string::npos);

    r = Cli({"--ini", PathToUtf8(dir / "none.ini"), "import", PathToUtf8(job)});
    EXPECT_EQ(r.status, kExitBadInput);
    EXPECT_NE(r.err.find("Einstellungsdatei nicht gefunden"), std::string::npos);

    dir.Write("empty.ini", "");
    r = Cli({"--ini", PathToUtf8(dir / "empty.ini"), "import", PathToUtf8(job)});
    EXPECT_EQ(r.status, kExitBadInput);
    EXPECT_NE(r.err.find("Adressatenschlüssel"), std::string::npos);

    r = Cli({"--ini", PathToUtf8(ini), "export", PathToUtf8(job), PathToUtf8(job)});
    EXPECT_EQ(r.status, kExitBadInput);
    EXPECT_EQ(ReadFile(job), kJob);

    r = Cli({"refpage", PathToUtf8(dir / "r.pcl"), "--grid", "off", "--marks", "off"});
    EXPECT_EQ(r.status, kExitBadInput);

    r = Cli({"frobnicate"});
    EXPECT_EQ(r.status, kExitBadInput);
    EXPECT_NE(r.err.find("Aufruf fehlerhaft"), std::string::npos);
}

TEST_F(CliTest, WriteFailureIsNotReportedAsSuccess)
{
    const fs::path out = dir.Write("out.pcl", "old");
    fs::permissions(out, fs::perms::owner_read);
    const CliRun r = Cli({"--ini", PathToUtf8(ini), "export", PathToUtf8(job), PathToUtf8(out)});
    EXPECT_EQ(r.status, kExitFailed);
    EXPECT_NE(r.err.find("Zieldatei ist schreibgeschützt"), std::string::npos);
    EXPECT_EQ(r.out.find("Export wurde durchgeführt"), std::string::npos);
    EXPECT_EQ(ReadFile(out), "old");
}

TEST_F(CliTest, SkeletonAndReferencePage)
{
    CliRun r = Cli({"skeleton", PathToUtf8(job), PathToUtf8(dir / "skel.txt"), "--fill", "46"});
    ASSERT_EQ(r.status, kExitOk) << r.err;
    const std::string skel = ReadFile(dir / "skel.txt");
    EXPECT_EQ(skel.size(), kJob.size());
    EXPECT_EQ(skel.find("Seite"), std::string::npos);
    EXPECT_NE(skel.find("\f......."), std::string::npos);

    r = Cli({"refpage", PathToUtf8(dir / "r.pcl"), "--grid", "off"});
    ASSERT_EQ(r.status, kExitOk) << r.err;
    const std::string ref = ReadFile(dir / "r.pcl");
    EXPECT_EQ(ref.find("\x1b%0B"), std::string::npos);
    EXPECT_NE(ref.find("\x1b*c0P"), std::string::npos);
}

// A console without escape sequences (Windows without virtual-terminal mode) gets a bar drawn over
// with blanks: no ESC byte, a shorter bar covers the longer one before it, the end blanks it out.
TEST(CliReporterTest, ProgressBarWithAndWithoutEscapeSequences)
{
    for (const bool escapes : {true, false}) {
        SCOPED_TRACE(escapes ? "escapes" : "plain");
        std::ostringstream err;
        CliReporter reporter(err, true, escapes);
        reporter.ShowStatus(3); // "Adressaten werden exportiert..."
        reporter.ShowStatus(1); // "Seiten werden geprüft...", shorter
        reporter.FinishProgress();
        const std::string text = err.str();
        EXPECT_EQ(text.find("\x1b[K") != std::string::npos, escapes) << text;
        if (escapes) {
            continue;
        }
        EXPECT_EQ(text.find('\x1b'), std::string::npos);
        std::vector<std::string> parts; // what each carriage return starts
        std::istringstream in(text);
        for (std::string part; std::getline(in, part, '\r');) {
            parts.push_back(part);
        }
        ASSERT_EQ(parts.size(), 4u) << text;
        EXPECT_GE(parts[2].size(), parts[1].size()) << "the shorter bar leaves the old one's end";
        EXPECT_EQ(parts[3].find_first_not_of(' '), std::string::npos);
        EXPECT_GE(parts[3].size(), parts[2].find_last_not_of(' ') + 1);
    }
}

} // namespace
} // namespace kuvrion::cli
