// Real print jobs through the command-line tool: refused languages and duplex switches (status 2,
// the message on stderr, no destination, the refusal in the log), a driver's PJL framing and last
// page without FF, and a duplex job counted in sheets.
#include "CliApp.h"

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

const std::string kUel = "\x1b%-12345X";
const std::string kReset = "\x1b"
                           "E";

// A message as the log holds it: Windows-1252.
std::string Cp1252(std::string text)
{
    for (const auto& [utf8, byte] : {std::pair{"ä", "\xe4"}, {"ü", "\xfc"}}) {
        for (std::size_t at; (at = text.find(utf8)) != std::string::npos;) {
            text.replace(at, 2, byte);
        }
    }
    return text;
}

class RealJobsCliTest : public ::testing::Test {
protected:
    struct Run {
        int status;
        std::string out;
        std::string err;
    };
    Run Cli(std::vector<std::string> args)
    {
        std::ostringstream out;
        std::ostringstream err;
        const int status = RunCli(args, CliIo{out, err, false}, dir.Path());
        return {status, out.str(), err.str()};
    }
    Run Export(const std::string& bytes)
    {
        return Cli({"--ini", ini.string(), "export", dir.Write("job.pcl", bytes).string(),
                    (dir / "out.pcl").string(), "--json"});
    }

    TempDir dir;
    fs::path ini =
        dir.Write("kuvrion.ini", "[common]\r\nuselog=1\r\n[keys]\r\nadrkeybeg=^Kd.: "
                                 "^\r\nadrkeyend=^;^\r\nadrkeymode=0\r\nadrkeyrem=0\r\n");
};

TEST_F(RealJobsCliTest, JobsThatCannotBeMarkedAreRefused)
{
    const std::string letter = "Kd.: 4711; Brief\f";
    const std::string notPcl5 = "Der Druckjob ist kein PCL-5-Druckjob (erkannt: {}). Bitte im "
                                "Druckertreiber PCL 5 wählen und erneut drucken.";
    const std::string duplexSwitch = "Der Druckjob wechselt innerhalb des Jobs zwischen Simplex "
                                     "und Duplex; das wird nicht unterstützt.";
    const auto about = [&](const std::string& language) {
        return std::string(notPcl5).replace(notPcl5.find("{}"), 2, language);
    };
    const std::vector<std::pair<std::string, std::string>> cases = {
        {kUel + "@PJL ENTER LANGUAGE=PCLXL\r\n) HP-PCL XL;2;0\n\xd1\f\f" + letter, about("PCL XL")},
        {"%PDF-1.7\n" + letter, about("PDF")},
        {"%!PS-Adobe-3.0\n" + letter, about("PostScript")},
        {kUel + "@PJL ENTER LANGUAGE=ESCP\r\n" + letter, about("ESCP")},
        {kReset + "\x1b&l1S" + letter + "\x1b&l0S" + letter, duplexSwitch},
        {kReset + letter + "\x1b&a2G" + letter, duplexSwitch},
    };
    for (const auto& [bytes, message] : cases) {
        const Run r = Export(bytes);
        EXPECT_EQ(r.status, kExitBadInput) << message;
        EXPECT_EQ(r.err, "kuvrion-cli: " + message + "\n");
        EXPECT_FALSE(fs::exists(dir / "out.pcl")) << message;
        EXPECT_EQ(ReadFile(dir / "job.pcl"), bytes);
        // The log records the refusal (Windows-1252) and no page.
        const std::string log = ReadFile(dir / "log.txt");
        EXPECT_NE(log.find("Seiten:\t0\r\nAbbruch:\t" + Cp1252(message) + "\r\n\r\n"),
                  std::string::npos)
            << log;
        EXPECT_EQ(log.find("Seite\t"), std::string::npos);
    }

    // The scan is a diagnostic tool: it splits any job and names its language and mode.
    Run r = Cli({"scan", dir.Write("job.pcl", cases[0].first).string(), "--json"});
    ASSERT_EQ(r.status, kExitOk) << r.err;
    EXPECT_EQ(json::parse(r.out)["language"], "PCL XL");
    r = Cli({"scan", dir.Write("job.pcl", cases[4].first).string(), "--json"});
    EXPECT_EQ(json::parse(r.out)["duplex"], "long-edge");
}

TEST_F(RealJobsCliTest, DriverJobLosesNoLetterAndKeepsItsFraming)
{
    // PJL framing without a reset before page 1; the last letter ends with a reset instead of an
    // FF, followed by the driver's end of job.
    const std::string head = kUel + "@PJL JOB\r\n@PJL ENTER LANGUAGE=PCL\r\n";
    const std::string foot = kReset + kUel + "@PJL EOJ\r\n" + kUel;
    const std::string lastPage = "\x1b*c0Q" + kReset + "Kd.: 0815; Brief B";
    const Run r = Export(head + "Kd.: 4711; Brief A\fSeite 2\f" + lastPage + foot);
    ASSERT_EQ(r.status, kExitOk) << r.err;
    const json doc = json::parse(r.out);
    EXPECT_EQ(doc["pages"], 3);
    EXPECT_EQ(doc["persons"][1]["id"], "0815");
    EXPECT_EQ(doc["sheets"], 3);
    EXPECT_EQ(doc["blank_pages"], 0);
    const std::string out = ReadFile(dir / "out.pcl");
    EXPECT_EQ(out.rfind(head + "\x1b&l0U", 0), 0u);
    EXPECT_TRUE(out.ends_with("\f" + foot));
    EXPECT_NE(out.find(lastPage + "\x1b&l0U"), std::string::npos);

    const Run scan = Cli({"scan", (dir / "job.pcl").string(), "--json"});
    const json s = json::parse(scan.out);
    EXPECT_EQ(s["head_bytes"], head.size());
    EXPECT_EQ(s["foot_bytes"], foot.size());
    EXPECT_EQ(s["language"], "PCL 5");
    EXPECT_EQ(s["duplex"], "none");
}

TEST_F(RealJobsCliTest, DuplexJobCountsSheetsAndBlankBacks)
{
    const Run r =
        Export(kReset + "\x1b&l2S" + "Kd.: 4711; A1\fA2\fA3\fKd.: 0815; B1\fB2\f" + kReset);
    ASSERT_EQ(r.status, kExitOk) << r.err;
    const json doc = json::parse(r.out);
    EXPECT_EQ(doc["sheets"], 3);
    EXPECT_EQ(doc["blank_pages"], 1);
    EXPECT_EQ(doc["envelopes"], 2);
    EXPECT_EQ(ReadFile(dir / "out.pcl").rfind(kReset + "\x1b&l2S\x1b&l0U", 0), 0u);
    EXPECT_NE(ReadFile(dir / "log.txt").find("Seiten:\t5\r\nDuplex:\tkurze Kante\r\n\r\n"),
              std::string::npos);
}

} // namespace
} // namespace kuvrion::cli
