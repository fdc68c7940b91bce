#include "addressees/ImportLog.h"
#include "addressees/ImportPass.h"
#include "addressees/cKVPersons.h"
#include "base/Platform.h"
#include "pcljob/cPclMod.h"
#include "settings/Settings.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

using namespace kuvrion;
namespace fs = std::filesystem;

namespace {

class ImportPassTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        fs::create_directories(dir);
        s.sAdrKeyBeg = "K:";
        s.sAdrKeyEnd = ";";
    }
    void TearDown() override
    {
        // Windows cannot remove open files.
        pcl.Disconnect();
        log.Close();
        fs::remove_all(dir);
    }

    ImportResult Run(const std::string& job, bool useLog = true, fs::path logFile = {})
    {
        std::ofstream(dir / "job.pcl", std::ios::binary) << job;
        log.Open(logFile.empty() ? dir / "log.txt" : logFile, useLog);
        return RunImportPass(pcl, PathToUtf8(dir / "job.pcl"), s, persons, nImpErr, log, 0, {});
    }
    std::string Log() const
    {
        std::stringstream ss;
        ss << std::ifstream(dir / "log.txt", std::ios::binary).rdbuf();
        return ss.str();
    }
    std::string Head(int pages) const
    {
        return "Log:\tKuvrion\r\nQuelle:\t" + PathToUtf8(dir / "job.pcl") + "\r\nImport:\t" +
               FormatLogTime(0) + "\r\nSeiten:\t" + std::to_string(pages) + "\r\n\r\n";
    }

    // One folder per test: ctest may run the tests of this file side by side.
    const fs::path dir =
        fs::path(::testing::TempDir()) /
        ("kuvrion-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    Settings s;
    cPclMod pcl;
    cKVPersons persons;
    ImpErrCounters nImpErr{9, 9, 9, 9}; // left over from an earlier import
    ImportLog log;
};

const char* const kHeading = "Seite\tAdrID\tAdrS.\tKey\r\n";

} // namespace

TEST_F(ImportPassTest, GroupsPagesByIdAndLogsEveryPage)
{
    // A page before any key, A, a follow-on page, B, A again, a key without end marker.
    const auto r = Run("\x1b"
                       "Evorab\x0cK:A;\x0cweiter\x0cK:B;\x0cK:A;\x0cK:C\x0c\x1b"
                       "E");
    ASSERT_TRUE(r.completed);
    EXPECT_EQ(r.nJobPages, 6);
    EXPECT_EQ(r.nImpAssigned, 5);
    EXPECT_EQ(nImpErr, (ImpErrCounters{0, 0, 1, 2}));
    ASSERT_EQ(persons.Count(), 2);
    EXPECT_EQ(persons.PersonByIndex(0).PageList(), (std::vector<std::int32_t>{2, 3, 5, 6}));
    EXPECT_EQ(persons.PersonByIndex(1).PageList(), (std::vector<std::int32_t>{4}));
    EXPECT_EQ(Log(), Head(6) + kHeading +
                         "1\t\t?\t?\r\n2\tA\t1\tok\r\n3\t\t2\t+\r\n4\tB\t1\tok\r\n"
                         "5\tA\t3\tok\r\n6\t\t4\t+\r\n\r\nAdr.:\t2\r\n");

    ASSERT_TRUE(Run("K:A;\x0cx\x0cK:A;\x0c").completed);
    EXPECT_EQ(Log(),
              Head(3) + kHeading + "1\tA\t1\tok\r\n2\t\t2\t+\r\n3\tA\t3\tok\r\n\r\nAdr.:\t1\r\n");
}

TEST_F(ImportPassTest, EmptyJobResetsCountersAndLogsTheHeadOnly)
{
    const auto r = Run("no form feed");
    EXPECT_TRUE(r.completed);
    EXPECT_EQ(r.nJobPages, 0);
    EXPECT_EQ(nImpErr, (ImpErrCounters{0, 0, 0, 0}));
    EXPECT_EQ(Log(), Head(0));

    // Logging off leaves the old log as it was.
    ASSERT_TRUE(Run("K:A;\x0c", false).completed);
    EXPECT_EQ(Log(), Head(0));
    EXPECT_EQ(persons.Count(), 1);
}

TEST_F(ImportPassTest, FailuresStopThePassWithADescription)
{
    auto r = Run("K:A;\x0c", true, dir / "missing" / "log.txt");
    EXPECT_TRUE(r.failed);
    EXPECT_FALSE(r.completed);
    EXPECT_EQ(r.failure.rfind("Das Logfile konnte nicht geschrieben werden: ", 0), 0u);

    // One addressee with more pages than its page count can hold: a failure, not a crash.
    std::string job;
    for (int i = 0; i < 32768; ++i)
        job += "K:A;\x0c";
    r = Run(job, false);
    EXPECT_TRUE(r.failed);
    EXPECT_NE(r.failure.find("32767"), std::string::npos);
    ASSERT_EQ(persons.Count(), 1); // what was collected stays
    EXPECT_EQ(persons.PersonByIndex(0).Pages(), 32767);
}

// Many pages: the keys are searched a chunk at a time on two threads; the result must be exactly
// that of a page-by-page pass, in page order, across chunk boundaries.
TEST_F(ImportPassTest, LargeJobGivesThePageOrderResult)
{
    constexpr int kPages = 10000;
    std::string job;
    std::string expectedLog = Head(kPages) + kHeading;
    std::map<std::string, int> seen;
    int errors3 = 0;
    for (int i = 1; i <= kPages; ++i) {
        // Letters of one to three pages; every seventh letter comes back to an earlier ID.
        const bool keyPage = i % 3 != 0;
        const std::string id = "ID" + std::to_string((i / 3) % 7 == 0 ? 7 : i / 3);
        job += "\x1b&a" + std::to_string(i) + "V";
        if (keyPage)
            job += "Brief K:" + id + "; Text";
        else
            job += "Folgeseite";
        job += '\f';
        std::string line = std::to_string(i) + "\t";
        if (keyPage) {
            const int n = ++seen[id];
            line += id + "\t" + std::to_string(n) + "\tok";
        } else {
            ++errors3;
            const std::string prev =
                "ID" + std::to_string(((i - 1) / 3) % 7 == 0 ? 7 : (i - 1) / 3);
            line += "\t" + std::to_string(++seen[prev]) + "\t+";
        }
        expectedLog += line + "\r\n";
    }
    expectedLog += "\r\nAdr.:\t" + std::to_string(seen.size()) + "\r\n";

    const ImportResult r = Run(job);
    ASSERT_TRUE(r.completed);
    EXPECT_EQ(r.nJobPages, kPages);
    EXPECT_EQ(r.nImpAssigned, kPages);
    EXPECT_EQ(nImpErr, (ImpErrCounters{0, 0, 0, errors3}));
    EXPECT_EQ(persons.Count(), static_cast<int>(seen.size()));
    EXPECT_EQ(Log(), expectedLog);
    ASSERT_EQ(r.keySpans.size(), static_cast<std::size_t>(kPages));
    EXPECT_EQ(r.keySpans[0].pos, 7); // "Brief K:" in the page text of page 1
    EXPECT_EQ(r.keySpans[2].pos, 0);
}
