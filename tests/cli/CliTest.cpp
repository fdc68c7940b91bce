#include "CliApp.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <regex>
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
    const CliRun r = Cli({"scan", job.string(), "--json", "--page-table"});
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
    const CliRun r = Cli({"--ini", ini.string(), "import", job.string(), "--json"});
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
    const CliRun r = Cli({"--ini", ini.string(), "export", job.string(), (dir / "out.pcl").string(),
                          "--count", "1", "--json"});
    ASSERT_EQ(r.status, kExitOk) << r.err;
    const json doc = json::parse(r.out);
    EXPECT_EQ(doc["exported"], 1);
    EXPECT_EQ(doc["sheets"], 2);
    EXPECT_EQ(doc["envelopes"], 1);
    EXPECT_EQ(doc["verified"], true);
    const std::string out = ReadFile(dir / "out.pcl");
    EXPECT_EQ(out.rfind(kHead, 0), 0u);
    // The key is hidden by default: blanks stand where it stood.
    EXPECT_EQ(out.find("4711"), std::string::npos);
    EXPECT_EQ(ReadFile(ini), iniBefore);
    EXPECT_EQ(ReadFile(job), kJob);
}

TEST_F(CliTest, BadInputGivesAGermanMessageAndANonZeroStatus)
{
    CliRun r = Cli({"scan", (dir / "missing.pcl").string()});
    EXPECT_EQ(r.status, kExitBadInput);
    EXPECT_NE(r.err.find("Quelldatei nicht gefunden"), std::string::npos);

    r = Cli({"--ini", (dir / "none.ini").string(), "import", job.string()});
    EXPECT_EQ(r.status, kExitBadInput);
    EXPECT_NE(r.err.find("Einstellungsdatei nicht gefunden"), std::string::npos);

    dir.Write("empty.ini", "");
    r = Cli({"--ini", (dir / "empty.ini").string(), "import", job.string()});
    EXPECT_EQ(r.status, kExitBadInput);
    EXPECT_NE(r.err.find("Adressatenschlüssel"), std::string::npos);

    r = Cli({"--ini", ini.string(), "export", job.string(), job.string()});
    EXPECT_EQ(r.status, kExitBadInput);
    EXPECT_EQ(ReadFile(job), kJob);

    r = Cli({"refpage", (dir / "r.pcl").string(), "--grid", "off", "--marks", "off"});
    EXPECT_EQ(r.status, kExitBadInput);

    r = Cli({"frobnicate"});
    EXPECT_EQ(r.status, kExitBadInput);
    EXPECT_NE(r.err.find("Aufruf fehlerhaft"), std::string::npos);
}

TEST_F(CliTest, WriteFailureIsNotReportedAsSuccess)
{
    const fs::path out = dir.Write("out.pcl", "old");
    fs::permissions(out, fs::perms::owner_read);
    const CliRun r = Cli({"--ini", ini.string(), "export", job.string(), out.string()});
    EXPECT_EQ(r.status, kExitFailed);
    EXPECT_NE(r.err.find("Zieldatei ist schreibgeschützt"), std::string::npos);
    EXPECT_EQ(r.out.find("Export wurde durchgeführt"), std::string::npos);
    EXPECT_EQ(ReadFile(out), "old");
}

TEST_F(CliTest, SkeletonAndReferencePage)
{
    CliRun r = Cli({"skeleton", job.string(), (dir / "skel.txt").string(), "--fill", "46"});
    ASSERT_EQ(r.status, kExitOk) << r.err;
    const std::string skel = ReadFile(dir / "skel.txt");
    EXPECT_EQ(skel.size(), kJob.size());
    EXPECT_EQ(skel.find("Seite"), std::string::npos);
    EXPECT_NE(skel.find("\f......."), std::string::npos);

    r = Cli({"refpage", (dir / "r.pcl").string(), "--grid", "off"});
    ASSERT_EQ(r.status, kExitOk) << r.err;
    const std::string ref = ReadFile(dir / "r.pcl");
    EXPECT_EQ(ref.find("\x1b%0B"), std::string::npos);
    EXPECT_NE(ref.find("\x1b*c0P"), std::string::npos);
}

TEST_F(CliTest, VerifyPassesTheExportAndCatchesAnAlteredOne)
{
    const std::string out = (dir / "out.pcl").string();
    ASSERT_EQ(Cli({"--ini", ini.string(), "export", job.string(), out}).status, kExitOk);
    CliRun r = Cli({"--ini", ini.string(), "verify", out});
    EXPECT_EQ(r.status, kExitOk) << r.out << r.err;
    EXPECT_EQ(r.out, "3 Blätter, 2 Kuverts geprüft: keine Fehler\n");

    r = Cli({"--ini", ini.string(), "verify", out, "--source", job.string(), "--json"});
    ASSERT_EQ(r.status, kExitOk) << r.err;
    json doc = json::parse(r.out);
    EXPECT_EQ(doc["sheets"], 3);
    EXPECT_EQ(doc["envelopes"], 2);
    EXPECT_EQ(doc["envelope_sheets"], json::array({2, 1}));
    EXPECT_TRUE(doc["problems"].empty());

    // The closing bar of the last sheet removed: the job ends in an open envelope, and the
    // source gives another envelope.
    std::string marked = ReadFile(out);
    marked.erase(marked.rfind("\x1b&a"), marked.rfind('\f') - marked.rfind("\x1b&a"));
    const fs::path altered = dir.Write("altered.pcl", marked);
    r = Cli(
        {"--ini", ini.string(), "verify", altered.string(), "--source", job.string(), "--json"});
    ASSERT_EQ(r.status, kExitFailed) << r.err;
    doc = json::parse(r.out);
    ASSERT_FALSE(doc["problems"].empty());
    EXPECT_EQ(doc["problems"][0]["kind"], "code");
    EXPECT_EQ(doc["problems"][0]["sheet"], 3);
    EXPECT_EQ(doc["problems"][0]["found"], "10");

    EXPECT_EQ(Cli({"verify", (dir / "missing.pcl").string()}).status, kExitBadInput);
    EXPECT_EQ(Cli({"verify"}).status, kExitBadInput);
}

TEST_F(CliTest, ManifestAndReprintOfChosenEnvelopes)
{
    const std::string full = (dir / "full.pcl").string();
    const std::string csv = (dir / "full.csv").string();
    ASSERT_EQ(Cli({"--ini", ini.string(), "export", job.string(), full, "--manifest", csv}).status,
              kExitOk);
    EXPECT_EQ(ReadFile(csv), "\xEF\xBB\xBFKuvert;Adressat;Blätter;Seiten;Quellseiten;Erstes "
                             "Blatt;Letztes Blatt\r\n"
                             "1;4711;2;2;1-2;1;2\r\n"
                             "2;0815;1;1;3;3;3\r\n"
                             "Summe;;3;3;;1;3\r\n");

    // The reprint of envelope 2: its page as in the full export apart from the code, its
    // original number in the manifest, its sheets counted in the reprint.
    const std::string again = (dir / "again.pcl").string();
    const CliRun r = Cli({"--ini", ini.string(), "export", job.string(), again, "--envelopes", "2",
                          "--manifest", (dir / "again.csv").string(), "--json"});
    ASSERT_EQ(r.status, kExitOk) << r.err;
    EXPECT_EQ(json::parse(r.out)["verified"], true);
    const std::regex bars("\x1b&a\\d+H\x1b&a\\d+V\x1b\\*c\\d+H\x1b\\*c\\d+V\x1b\\*c0P");
    const std::string fullText = std::regex_replace(ReadFile(full), bars, "");
    const std::string againText = std::regex_replace(ReadFile(again), bars, "");
    const std::size_t from = fullText.rfind("\f", fullText.find("Guten Tag")) + 1;
    EXPECT_EQ(againText, kHead + fullText.substr(from));
    EXPECT_NE(ReadFile(dir / "again.csv").find("\r\n2;0815;1;1;3;1;1\r\n"), std::string::npos);

    for (const char* list : {"3", "0", "1-", "2-1", "x", ""}) {
        const std::string out = (dir / "refused.pcl").string();
        const CliRun refused =
            Cli({"--ini", ini.string(), "export", job.string(), out, "--envelopes", list});
        EXPECT_EQ(refused.status, kExitBadInput) << list;
        EXPECT_NE(refused.err.find("Kuvertliste"), std::string::npos) << list << refused.err;
        EXPECT_FALSE(fs::exists(out)) << list;
    }
}

} // namespace
} // namespace kuvrion::cli
