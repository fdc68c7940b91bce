#include "CliApp.h"
#include "CliReporter.h"

#include "app/Messages.h"
#include "base/ByteText.h"
#include "base/Platform.h"
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

using enum FailureKind;
using enum Action;

// Two letters; the key of the second is split by a cursor move, "M\xfc" is "Mü" in Windows-1252.
const std::string kJob = "\x1b%-12345X@PJL\r\n\x1b"
                         "E\x1b&a1VKd.: 4711; Frau M\xfcller\fSeite 2\f\x1b&a1VKd.: "
                         "08\x1b&a5H15; Guten Tag\f\x1b"
                         "E\x1b%-12345X";

struct CliRun {
    int status;
    std::string out;
    std::string err;
};

// Runs the tool in a fresh folder that holds the job and the settings file; file names in the
// arguments are relative to it.
class CliTest : public ::testing::Test {
protected:
    void SetUp() override { fs::current_path(dir.Path()); }
    void TearDown() override { fs::current_path(cwd); }

    CliRun Cli(std::vector<std::string> args)
    {
        std::ostringstream out;
        std::ostringstream err;
        const int status = RunCli(args, CliIo{out, err, false}, dir.Path());
        return {status, out.str(), err.str()};
    }

    const fs::path cwd = fs::current_path();
    TempDir dir;
    fs::path job = dir.Write("job.pcl", kJob);
    fs::path ini = dir.Write("kuvrion.ini",
                             "[keys]\r\nadrkeybeg=^Kd.: ^\r\nadrkeyend=^;^\r\nadrkeymode=0\r\n");
};

TEST_F(CliTest, JsonDocumentsGiveTheDocumentedFields)
{
    const std::string settings = ReadFile(ini);
    const struct {
        std::vector<std::string> args;
        const char* field;
        json value;
    } cases[] = {
        {{"scan", "job.pcl", "--json", "--page-table"}, "/page_seek", {18, 46, 54}},
        {{"scan", "job.pcl", "--json"}, "/escapes", 7},
        {{"import", "job.pcl", "--json"}, "/errors", {0, 0, 0, 1}},
        {{"import", "job.pcl", "--json"}, "/persons/0", {{"id", "4711"}, {"pages", {1, 2}}}},
        {{"export", "job.pcl", "out.pcl", "--count", "1", "--json"}, "/exported", 1},
        {{"export", "job.pcl", "out.pcl", "--count", "1", "--json"}, "/sheets", 2},
        {{"export", "job.pcl", "out.pcl", "--count", "1", "--json"}, "/envelopes", 1},
        {{"export", "job.pcl", "out.pcl", "--count", "1", "--json"}, "/verified", true},
        {{"verify", "out.pcl", "--json"}, "/envelope_sheets", {2}},
        {{"verify", "out.pcl", "--json"}, "/problems", json::array()}};
    for (const auto& c : cases) {
        const CliRun r = Cli(c.args);
        ASSERT_EQ(r.status, kExitOk) << r.err;
        EXPECT_EQ(json::parse(r.out).at(json::json_pointer(c.field)), c.value) << c.field;
    }
    EXPECT_EQ(ReadFile(ini), settings);
    EXPECT_EQ(ReadFile(job), kJob);
}

TEST_F(CliTest, SkeletonAndReferencePage)
{
    CliRun r = Cli({"skeleton", "job.pcl", "skel.txt", "--fill", "46"});
    ASSERT_EQ(r.status, kExitOk) << r.err;
    EXPECT_EQ(r.out, MessageFor(Skeleton, std::nullopt).text + "\n");
    EXPECT_EQ(ReadFile(dir / "skel.txt").size(), kJob.size());
    EXPECT_NE(ReadFile(dir / "skel.txt").find("\f......."), std::string::npos);

    // The page text as the key search reads it, with its outcome and the umlaut as UTF-8.
    r = Cli({"text", "job.pcl", "--page", "1"});
    ASSERT_EQ(r.status, kExitOk) << r.err;
    EXPECT_EQ(r.out,
              "== Seite 1: " + PageOutcomeText(std::nullopt, "4711", 0) + "\nKd.: 4711; Frau Müller\n");

    r = Cli({"refpage", "r.pcl", "--grid", "off"});
    ASSERT_EQ(r.status, kExitOk) << r.err;
    EXPECT_EQ(ReadFile(dir / "r.pcl").find("\x1b%0B"), std::string::npos);
    EXPECT_NE(ReadFile(dir / "r.pcl").find("\x1b*c0P"), std::string::npos);
}

// Unusable input is exit status 2, named as it was typed; a command that ran and failed is status
// 1 with its message on one line. Neither prints to stdout or touches the job.
TEST_F(CliTest, FailuresGiveTheirStatusAndTheCommandsWords)
{
    dir.Write("empty.ini", "");
    dir.Write("nokeys.pcl", "Hallo\f");
    dir.Write("nopage.pcl", "\x1b"
                            "E\r\n"); // no page end and no page text
    const fs::path old = dir.Write("old.pcl", "old");
    fs::permissions(old, fs::perms::owner_read);
    const auto bad = [](Action a, FailureKind what, const std::string& path = "",
                        const std::string& detail = "", int number = 0) {
        return *BadInputText(
            a,
            Failure{.what = what, .page = number, .path = path, .detail = detail, .count = number});
    };
    // The message on one line, as the tool prints it.
    const auto failed = [](Action a, FailureKind what, int err = 0, const fs::path& path = {}) {
        std::string text =
            MessageFor(a, Failure{what, err, 0, PathToUtf8(path.lexically_normal())}).text;
        for (std::size_t at; (at = text.find("\r\n")) != std::string::npos;)
            text.replace(at, 2, at > 0 && text[at - 1] == ':' ? " " : " - ");
        return text;
    };
    const struct {
        std::vector<std::string> args;
        int status;
        std::string line;
    } cases[] = {
        {{"scan", "missing.pcl"}, 2, bad(Scan, SourceMissing, "missing.pcl")},
        {{"--ini=none.ini", "import", "job.pcl"}, 2, bad(Settings, FileMissing, "none.ini")},
        {{"--ini=empty.ini", "import", "job.pcl"}, 2, bad(Import, KeyIncomplete)},
        {{"export", "job.pcl", "./job.pcl"}, 2, bad(Export, DestinationIsSource, "./job.pcl")},
        {{"export", "job.pcl", "no/o.pcl"}, 2, bad(Export, TargetFolderMissing, "no/o.pcl")},
        {{"refpage", "r.pcl", "--grid=off", "--marks=off"}, 2, bad(RefPage, NothingToDraw)},
        {{"skeleton", "nopage.pcl", "s.txt"}, 2, bad(Skeleton, NoPages, "nopage.pcl")},
        {{"verify", "missing.pcl"}, 2, bad(Verify, FileMissing, "missing.pcl")},
        {{"text", "job.pcl", "--page", "4"}, 2, bad(Text, PageMissing, "job.pcl", "", 4)},
        // clang-format off
        {{"export", "job.pcl", "o.pcl", "--envelopes", "3"}, 2, bad(Export, EnvelopeOutOfRange, "", "3", 2)},
        {{"export", "job.pcl", "o.pcl", "--envelopes", "2-1"}, 2, bad(Export, EnvelopeList, "", "2-1")},
        {{"verify", "job.pcl", "--source", "job.pcl", "--envelopes", "3"}, 2, bad(Verify, EnvelopeOutOfRange, "", "3", 2)},
        // clang-format on
        {{"skeleton", "job.pcl", "no/s.txt"},
         1,
         failed(Skeleton, TargetFolderMissing, ENOENT, dir / "no/s.txt")},
        {{"export", "nokeys.pcl", "out.pcl"}, 1, failed(Export, NoAddressees)},
        {{"export", "job.pcl", "old.pcl"}, 1, failed(Export, TargetBlocked, 0, old)},
    };
    for (const auto& c : cases) {
        const CliRun r = Cli(c.args);
        EXPECT_EQ(r.status, c.status) << c.line;
        EXPECT_EQ(r.err, "kuvrion-cli: " + c.line + "\n");
        EXPECT_EQ(r.out, "");
    }
    // An import that finds no key on any page prints its counts, and where to look.
    const CliRun none = Cli({"import", "nokeys.pcl"});
    EXPECT_EQ(none.status, kExitFailed);
    EXPECT_NE(none.out.find("Schlüssel nicht gefunden:            1"), std::string::npos);
    EXPECT_EQ(none.err, "kuvrion-cli: " + failed(Import, MarkerAbsent, 0, "nokeys.pcl") + "\n");
    EXPECT_EQ(ReadFile(job), kJob);
    EXPECT_EQ(ReadFile(old), "old");
    EXPECT_FALSE(fs::exists(dir / "o.pcl"));
    EXPECT_EQ(Cli({"frobnicate"}).status, kExitBadInput);
}

TEST_F(CliTest, ManifestVerifyAndReprintOfChosenEnvelopes)
{
    ASSERT_EQ(Cli({"export", "job.pcl", "full.pcl", "--manifest", "full.csv"}).status, kExitOk);
    EXPECT_EQ(ReadFile(dir / "full.csv"), "\xEF\xBB\xBFKuvert;Adressat;Blätter;Seiten;Quellseiten;"
                                          "Erstes Blatt;Letztes Blatt\r\n"
                                          "1;4711;2;2;1-2;1;2\r\n"
                                          "2;0815;1;1;3;3;3\r\n"
                                          "Summe;;3;3;;1;3\r\n");
    CliRun r = Cli({"verify", "full.pcl", "--source", "job.pcl"});
    EXPECT_EQ(r.status, kExitOk) << r.err;
    EXPECT_EQ(r.out, "3 Blätter, 2 Kuverts geprüft: keine Fehler\n");

    // The closing bar of the last sheet removed: the job ends in an open envelope.
    std::string marked = ReadFile(dir / "full.pcl");
    marked.erase(marked.rfind("\x1b&a"), marked.rfind('\f') - marked.rfind("\x1b&a"));
    dir.Write("altered.pcl", marked);
    r = Cli({"verify", "altered.pcl", "--source", "job.pcl", "--json"});
    ASSERT_EQ(r.status, kExitFailed) << r.err;
    EXPECT_EQ(json::parse(r.out)["problems"][0]["sheet"], 3);

    // The reprint of envelope 2: its page as in the full export apart from the code, its
    // original number in the manifest, its sheets counted in the reprint.
    r = Cli({"export", "job.pcl", "again.pcl", "--envelopes", "2", "--manifest", "again.csv",
             "--json"});
    ASSERT_EQ(r.status, kExitOk) << r.err;
    EXPECT_EQ(json::parse(r.out)["verified"], true);
    const std::regex bars("\x1b&a\\d+H\x1b&a\\d+V\x1b\\*c\\d+H\x1b\\*c\\d+V\x1b\\*c0P");
    const std::string full = std::regex_replace(ReadFile(dir / "full.pcl"), bars, "");
    const std::string again = std::regex_replace(ReadFile(dir / "again.pcl"), bars, "");
    const std::size_t from = full.rfind('\f', full.find("Guten Tag")) + 1;
    EXPECT_EQ(again.substr(again.size() - (full.size() - from)), full.substr(from));
    EXPECT_EQ(again.find("M\xfcller"), std::string::npos);
    EXPECT_NE(ReadFile(dir / "again.csv").find("\r\n2;0815;1;1;3;1;1\r\n"), std::string::npos);
}

// Three envelopes (2, 1 and 3 sheets) under three feeder rules, a sequence of 8 values that runs
// on across exports, and reprints that keep their values or number on.
TEST_F(CliTest, FeederRulesAndASequenceAcrossExportsAndReprints)
{
    dir.Write("job.pcl", "\x1b"
                         "E\x1b&a1VKd.: J\xf6rg; Bitte R\xfc"
                         "cksendeumschlag beilegen\fSeite 2\f"
                         "Kd.: 0815; Guten Tag\fKd.: 77; Hallo\fS2\fS3\f\x1b"
                         "E");
    dir.Write("ids.txt", "\xEF\xBB\xBFJ\xc3\xb6rg\r\n 77 \r\n\r\n");
    const std::string settings = ReadFile(ini) +
                                 "[ome]\r\nuse_supply=1\r\nsupply_count=3\r\nuse_seqchk=1\r\n"
                                 "seqchk_count=3\r\nseq_continue=1\r\n[feed]\r\n";
    dir.Write("kuvrion.ini", settings + "feed1=text:R\xfc"
                                        "cksendeumschlag\r\nfeed2=ids:ids.txt\r\n"
                                        "feed3=sheets:=1\r\n");
    const auto exported = [this](std::vector<std::string> args) {
        args.insert(args.begin(), {"export", "job.pcl"});
        args.push_back("--json");
        const CliRun r = Cli(args);
        EXPECT_EQ(r.status, kExitOk) << r.err;
        const json doc = r.status == kExitOk ? json::parse(r.out) : json::object();
        return std::pair{doc.value("seq_start", -1), doc.value("seq_end", -1)};
    };
    EXPECT_EQ(exported({"full.pcl", "--manifest", "full.csv"}), std::pair(0, 5));
    EXPECT_EQ(ReadFile(dir / "full.csv"),
              "\xEF\xBB\xBFKuvert;Adressat;Blätter;Seiten;Quellseiten;Erstes Blatt;Letztes Blatt;"
              "Folge von;Folge bis;Zufuhr 1;Zufuhr 2;Zufuhr 3\r\n"
              "1;Jörg;2;2;1-2;1;2;0;1;1;1;0\r\n"
              "2;0815;1;1;3;3;3;2;2;0;0;1\r\n"
              "3;77;3;3;4-6;4;6;3;5;0;1;0\r\n"
              "Summe;;6;6;;1;6;;;1;2;1\r\nZufuhr 1;1\r\nZufuhr 2;2\r\nZufuhr 3;1\r\n");
    EXPECT_EQ(Cli({"verify", "full.pcl", "--source", "job.pcl"}).status, kExitOk);

    // Rules that put other feed bars on: the check against the source finds them, sheet by sheet.
    dir.Write("other.ini", std::regex_replace(settings, std::regex("seq_continue=1"), "") +
                               "feed1=text:Guten\r\n");
    ASSERT_EQ(Cli({"--ini", "other.ini", "export", "job.pcl", "other.pcl"}).status, kExitOk);
    CliRun r = Cli({"verify", "other.pcl", "--source", "job.pcl", "--json"});
    EXPECT_EQ(r.status, kExitFailed) << r.out;
    std::vector<std::int64_t> wrong;
    const json problems = json::parse(r.out)["problems"];
    for (const json& p : problems)
        wrong.push_back(p["sheet"]);
    EXPECT_EQ(wrong, (std::vector<std::int64_t>{2, 3, 6}));

    // The next export runs on; a closed-loop reprint of 1 and 3 keeps that export's values (6, 7,
    // then 1..3), an open-loop one numbers on from the counter (4..7, 0) and moves it.
    EXPECT_EQ(exported({"again.pcl"}), std::pair(6, 3));
    EXPECT_EQ(exported({"closed.pcl", "--envelopes", "1,3"}), std::pair(6, 3));
    EXPECT_EQ(Cli({"verify", "closed.pcl", "--source", "job.pcl", "--envelopes", "1,3"}).status,
              kExitOk);
    EXPECT_EQ(Cli({"verify", "closed.pcl"}).status, kExitFailed); // 7 to 1 is a break
    EXPECT_EQ(exported({"open.pcl", "--envelopes", "1,3", "--renumber"}), std::pair(4, 0));
    EXPECT_EQ(Cli({"verify", "open.pcl", "--source", "job.pcl", "--envelopes", "1,3", "--renumber"})
                  .status,
              kExitOk);
    EXPECT_EQ(exported({"next.pcl"}), std::pair(1, 6));

    // Refused before anything is written: a start beyond the counter, a missing ID list, a rule
    // that is none.
    const std::string state = ReadFile(dir / "kuvrion-state.ini");
    EXPECT_EQ(Cli({"export", "job.pcl", "x.pcl", "--seq-start", "8"}).status, kExitBadInput);
    fs::remove(dir / "ids.txt");
    r = Cli({"export", "job.pcl", "x.pcl"});
    EXPECT_EQ(r.status, kExitBadInput);
    EXPECT_NE(r.err.find("ids.txt (Datei oder Ordner nicht gefunden)"), std::string::npos) << r.err;
    dir.Write("kuvrion.ini", settings + "feed2=sheets:>x\r\n");
    r = Cli({"export", "job.pcl", "x.pcl"});
    EXPECT_EQ(r.status, kExitBadInput);
    EXPECT_NE(r.err.find("feed2=sheets:>x"), std::string::npos) << r.err;
    EXPECT_FALSE(fs::exists(dir / "x.pcl"));
    EXPECT_EQ(ReadFile(dir / "kuvrion-state.ini"), state);
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
        if (escapes)
            continue;
        EXPECT_EQ(text.find('\x1b'), std::string::npos);
        std::vector<std::string> parts; // what each carriage return starts
        std::istringstream in(text);
        for (std::string part; std::getline(in, part, '\r');)
            parts.push_back(part);
        ASSERT_EQ(parts.size(), 4u) << text;
        EXPECT_GE(parts[2].size(), parts[1].size()) << "the shorter bar leaves the old one's end";
        EXPECT_EQ(parts[3].find_first_not_of(' '), std::string::npos);
        EXPECT_GE(parts[3].size(), parts[2].find_last_not_of(' ') + 1);
    }
}

// Real print jobs, with the log on and the key kept.
const std::string kUel = "\x1b%-12345X";
const std::string kReset = "\x1b"
                           "E";
constexpr const char* kLogIni = "[common]\r\nuselog=1\r\n[keys]\r\nadrkeybeg=^Kd.: ^\r\n"
                                "adrkeyend=^;^\r\nadrkeymode=0\r\nadrkeyrem=0\r\n";

// A job the import refuses (another language, a duplex switch): status 2, the message on stderr, no
// destination, the refusal in the log (Windows-1252) and no page.
TEST_F(CliTest, JobsThatCannotBeMarkedAreRefused)
{
    dir.Write("kuvrion.ini", kLogIni);
    const std::string letter = "Kd.: 4711; Brief\f";
    const auto refusal = [](FailureKind what) {
        return *BadInputText(Import, Failure{what, 0, 0, "", "PCL XL"});
    };
    const std::pair<std::string, std::string> cases[] = {
        {kUel + "@PJL ENTER LANGUAGE=PCLXL\r\n) HP-PCL XL;2;0\n\xd1\f\f" + letter,
         refusal(NotPcl5)},
        {kReset + "\x1b&l1S" + letter + "\x1b&l0S" + letter, refusal(DuplexSwitch)}};
    for (const auto& [bytes, message] : cases) {
        dir.Write("job.pcl", bytes);
        const CliRun r = Cli({"export", "job.pcl", "out.pcl", "--json"});
        EXPECT_EQ(r.status, kExitBadInput);
        EXPECT_EQ(r.err, "kuvrion-cli: " + message + "\n");
        EXPECT_FALSE(fs::exists(dir / "out.pcl"));
        EXPECT_EQ(ReadFile(job), bytes);
        const std::string log = ReadFile(dir / "log.txt");
        EXPECT_NE(log.find("Seiten:\t0\r\nAbbruch:\t" + Utf8ToCp1252(message) + "\r\n\r\n"),
                  std::string::npos)
            << log;
        EXPECT_EQ(log.find("Seite\t"), std::string::npos);
    }
    // The scan is a diagnostic tool: it splits any job and names its language.
    const CliRun r = Cli({"scan", dir.Write("job.pcl", cases[0].first).string(), "--json"});
    EXPECT_EQ(json::parse(r.out)["language"], "PCL XL");
}

TEST_F(CliTest, DriverJobsLoseNoLetterAndKeepTheirFraming)
{
    dir.Write("kuvrion.ini", kLogIni);
    // PJL framing without a reset before page 1; the last letter ends with a reset instead of an
    // FF, followed by the driver's end of job.
    const std::string head = kUel + "@PJL JOB\r\n@PJL ENTER LANGUAGE=PCL\r\n";
    const std::string foot = kReset + kUel + "@PJL EOJ\r\n" + kUel;
    const std::string lastPage = "\x1b*c0Q" + kReset + "Kd.: 0815; Brief B";
    dir.Write("job.pcl", head + "Kd.: 4711; Brief A\fSeite 2\f" + lastPage + foot);
    const CliRun r = Cli({"export", "job.pcl", "out.pcl", "--json"});
    ASSERT_EQ(r.status, kExitOk) << r.err;
    EXPECT_EQ(json::parse(r.out)["sheets"], 3);
    const std::string out = ReadFile(dir / "out.pcl");
    EXPECT_EQ(out.rfind(head + "\x1b&l0U", 0), 0u);
    EXPECT_TRUE(out.ends_with("\f" + foot));
    EXPECT_NE(out.find(lastPage + "\x1b&l0U"), std::string::npos);
}

} // namespace
} // namespace kuvrion::cli
