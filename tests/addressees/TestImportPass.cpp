#include "addressees/ImportLog.h"
#include "addressees/ImportPass.h"
#include "addressees/cKVPersons.h"
#include "pcljob/cPclMod.h"
#include "settings/Settings.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

using namespace kuvrion;
namespace fs = std::filesystem;

namespace {

class ImportPassTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir = fs::path(::testing::TempDir()) /
              ("kuvrion-import-" +
               std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(dir);
        fs::create_directories(dir);
        s.sAdrKeyBeg = "K:";
        s.sAdrKeyEnd = ";";
        nImpErr = {9, 9, 9, 9}; // left over from an earlier import
    }
    void TearDown() override { fs::remove_all(dir); }

    ImportResult Run(const std::string& job, bool useLog = true)
    {
        const fs::path src = dir / "job.pcl";
        std::ofstream(src, std::ios::binary) << job;
        log.Open(dir / "log.txt", useLog);
        return RunImportPass(pcl, src.string(), s, persons, nImpErr, log, 0, hooks);
    }
    std::string LogText() const
    {
        std::ifstream in(dir / "log.txt", std::ios::binary);
        std::stringstream ss;
        ss << in.rdbuf();
        return ss.str();
    }
    std::string Head(int pages) const
    {
        return "Log:\tKuvrion\r\nQuelle:\t" + (dir / "job.pcl").string() + "\r\nImport:\t" +
               FormatLogTime(0) + "\r\nSeiten:\t" + std::to_string(pages) + "\r\n\r\n";
    }

    fs::path dir;
    Settings s;
    cPclMod pcl;
    cKVPersons persons;
    ImpErrCounters nImpErr{};
    ImportLog log;
    ImportHooks hooks;
};

} // namespace

TEST_F(ImportPassTest, GroupsPagesByIdAndLogsEveryPage)
{
    std::vector<std::int32_t> seen;
    hooks.onPage = [&](std::int32_t i) { seen.push_back(i); };
    // A page before any key, A, a follow-on page, B, A again, a key without end marker.
    const auto r = Run("\x1b"
                       "Evorab\x0cK:A;\x0cweiter\x0cK:B;\x0cK:A;\x0cK:C\x0c\x1b"
                       "E");
    ASSERT_TRUE(r.completed);
    EXPECT_FALSE(r.failed);
    EXPECT_EQ(r.nJobPages, 6);
    EXPECT_EQ(r.nImpAssigned, 5);
    EXPECT_EQ(nImpErr, (ImpErrCounters{0, 0, 1, 2}));
    EXPECT_EQ(seen, (std::vector<std::int32_t>{1, 2, 3, 4, 5, 6}));
    ASSERT_EQ(persons.Count(), 2);
    EXPECT_EQ(persons.PersonByIndex(0).PageList(), (std::vector<std::int32_t>{2, 3, 5, 6}));
    EXPECT_EQ(persons.PersonByIndex(1).PageList(), (std::vector<std::int32_t>{4}));
    EXPECT_EQ(LogText(), Head(6) + "Seite\tAdrID\tAdrS.\tKey\r\n"
                                   "1\t\t?\t?\r\n2\tA\t1\tok\r\n3\t\t2\t+\r\n4\tB\t1\tok\r\n"
                                   "5\tA\t3\tok\r\n6\t\t4\t+\r\n\r\nAdr.:\t2\r\n");
}

TEST_F(ImportPassTest, LogOfThreePagesAndOfAnEmptyJob)
{
    ASSERT_TRUE(Run("K:A;\x0cx\x0cK:A;\x0c").completed);
    EXPECT_EQ(LogText(), Head(3) + "Seite\tAdrID\tAdrS.\tKey\r\n"
                                   "1\tA\t1\tok\r\n2\t\t2\t+\r\n3\tA\t3\tok\r\n\r\nAdr.:\t1\r\n");

    // No page end at all: exactly the head, and the counters of the last import are gone.
    nImpErr = {1, 2, 3, 4};
    const auto r = Run("no form feed");
    EXPECT_TRUE(r.completed);
    EXPECT_EQ(r.nJobPages, 0);
    EXPECT_EQ(nImpErr, (ImpErrCounters{0, 0, 0, 0}));
    EXPECT_EQ(persons.Count(), 0);
    EXPECT_EQ(LogText(), Head(0));
}

TEST_F(ImportPassTest, LoggingOffLeavesAnOldLogAlone)
{
    std::ofstream(dir / "log.txt", std::ios::binary) << "old";
    ASSERT_TRUE(Run("K:A;\x0c", false).completed);
    EXPECT_EQ(LogText(), "old");
    EXPECT_EQ(persons.Count(), 1);
}

TEST_F(ImportPassTest, FailuresStopThePassWithADescription)
{
    // The log cannot be created: the first write fails, nothing is collected.
    const fs::path src = dir / "job.pcl";
    std::ofstream(src, std::ios::binary) << "K:A;\x0c";
    log.Open(dir / "missing" / "log.txt", true);
    auto r = RunImportPass(pcl, src.string(), s, persons, nImpErr, log, 0, hooks);
    EXPECT_TRUE(r.failed);
    EXPECT_FALSE(r.completed);
    EXPECT_EQ(r.failure.rfind("Das Logfile konnte nicht geschrieben werden: ", 0), 0u);

    // One addressee with more pages than a page count can hold: a failure, not a crash.
    std::string job;
    for (int i = 0; i < 32768; ++i)
        job += "K:A;\x0c";
    r = Run(job, false);
    EXPECT_TRUE(r.failed);
    EXPECT_NE(r.failure.find("32767"), std::string::npos);
    ASSERT_EQ(persons.Count(), 1); // what was collected stays
    EXPECT_EQ(persons.PersonByIndex(0).Pages(), 32767);
}
