// The import pass: pages grouped by addressee in page order, the fault counters and the log line
// of every page (also across the chunks searched on two threads), and the failures that stop it;
// the addressees, found or created by ID exactly as written, in order of first appearance.
#include "addressees/ImportPass.h"
#include "addressees/ImportLog.h"
#include "addressees/AddresseeList.h"
#include "pcljob/PclJob.h"
#include "settings/Settings.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <map>

namespace kuvrion {
namespace {

class ImportPassTest : public ::testing::Test {
protected:
    ImportPassTest()
    {
        s.keyBegin = "K:";
        s.keyEnd = ";";
    }
    ImportResult Run(const std::string& job, bool useLog = true, std::filesystem::path logFile = {})
    {
        const auto src = dir.Write("job.pcl", job);
        log.Open(logFile.empty() ? dir / "log.txt" : logFile, useLog);
        ImportHooks hooks;
        hooks.words = {"Log:",     "Quelle:", "Import:",     "Seiten:",     "Abbruch:",
                       "Duplex:",  "kurze Kante", "lange Kante", "Seite\tAdrID\tAdrS.\tKey",
                       "Adr.:"};
        return RunImportPass(pcl, src.string(), s, persons, keyFaultCounts, log, 0, hooks);
    }
    std::string Log() const { return test::ReadFile(dir / "log.txt"); }
    // The log up to the first page line.
    std::string Head(int pages) const
    {
        return "Log:\tKuvrion\r\nQuelle:\t" + (dir / "job.pcl").string() + "\r\nImport:\t" +
               FormatLogTime(0) + "\r\nSeiten:\t" + std::to_string(pages) + "\r\n\r\n" +
               (pages > 0 ? "Seite\tAdrID\tAdrS.\tKey\r\n" : "");
    }

    test::TempDir dir;
    Settings s;
    PclJob pcl;
    AddresseeList persons;
    KeyFaultCounts keyFaultCounts{9, 9, 9, 9}; // left over from an earlier import
    ImportLog log;
};

TEST_F(ImportPassTest, GroupsPagesByIdAndLogsEveryPage)
{
    // A page before any key, A, a follow-on page, B, A again, a key without end marker.
    const auto r = Run("\x1b"
                       "Evorab\fK:A;\fweiter\fK:B;\fK:A;\fK:C\f\x1b"
                       "E");
    ASSERT_TRUE(r.completed);
    EXPECT_EQ(r.jobPages, 6);
    EXPECT_EQ(r.assignedPages, 5);
    EXPECT_EQ(keyFaultCounts, (KeyFaultCounts{0, 0, 1, 2}));
    ASSERT_EQ(persons.Count(), 2);
    EXPECT_EQ(persons.At(0).PageList(), (std::vector<std::int32_t>{2, 3, 5, 6}));
    EXPECT_EQ(persons.At(1).PageList(), (std::vector<std::int32_t>{4}));
    EXPECT_EQ(Log(), Head(6) + "1\t\t?\t?\r\n2\tA\t1\tok\r\n3\t\t2\t+\r\n4\tB\t1\tok\r\n"
                               "5\tA\t3\tok\r\n6\t\t4\t+\r\n\r\nAdr.:\t2\r\n");
}

TEST_F(ImportPassTest, EmptyJobAndFailures)
{
    auto r = Run("\x1b"
                 "E\r\n"); // no page end and no page text
    EXPECT_TRUE(r.completed);
    EXPECT_EQ(r.jobPages, 0);
    EXPECT_EQ(keyFaultCounts, (KeyFaultCounts{0, 0, 0, 0}));
    EXPECT_EQ(Log(), Head(0));

    // Logging off leaves the old log as it was.
    ASSERT_TRUE(Run("K:A;\f", false).completed);
    EXPECT_EQ(Log(), Head(0));
    EXPECT_EQ(persons.Count(), 1);

    // A log that cannot be opened and an addressee with more pages than its page count can hold
    // stop the pass with a failure, not a crash.
    r = Run("K:A;\f", true, dir / "missing" / "log.txt");
    EXPECT_TRUE(r.failure.has_value());
    EXPECT_FALSE(r.completed);
    std::string job;
    for (int i = 0; i < 32768; ++i)
        job += "K:A;\f";
    r = Run(job, false);
    EXPECT_TRUE(r.failure.has_value());
    ASSERT_EQ(persons.Count(), 1); // what was collected stays
    EXPECT_EQ(persons.At(0).Pages(), 32767);
}

// The keys are searched a chunk at a time on two threads; the result must be exactly that of a
// page-by-page pass, in page order, across chunk boundaries.
TEST_F(ImportPassTest, LargeJobGivesThePageOrderResult)
{
    constexpr int kPages = 10000;
    std::string job;
    std::string expectedLog = Head(kPages);
    std::map<std::string, int> pagesOf;
    std::string id;
    for (int i = 1; i <= kPages; ++i) {
        // Letters of one to three pages; every seventh letter goes to an earlier ID again.
        const bool keyPage = i % 3 != 0;
        if (keyPage) {
            id = "ID" + std::to_string((i / 3) % 7 == 0 ? 7 : i / 3);
        }
        job +=
            "\x1b&a" + std::to_string(i) + "V" + (keyPage ? "Brief K:" + id + "; Text" : "") + "\f";
        expectedLog += std::to_string(i) + "\t" + (keyPage ? id : "") + "\t" +
                       std::to_string(++pagesOf[id]) + (keyPage ? "\tok\r\n" : "\t+\r\n");
    }
    expectedLog += "\r\nAdr.:\t" + std::to_string(pagesOf.size()) + "\r\n";

    const ImportResult r = Run(job);
    ASSERT_TRUE(r.completed);
    EXPECT_EQ(r.assignedPages, kPages);
    EXPECT_EQ(keyFaultCounts, (KeyFaultCounts{0, 0, 0, kPages / 3}));
    EXPECT_EQ(persons.Count(), static_cast<int>(pagesOf.size()));
    EXPECT_EQ(Log(), expectedLog);
    ASSERT_EQ(r.keySpans.size(), static_cast<std::size_t>(kPages));
    EXPECT_EQ(r.keySpans[0].pos, 7); // "Brief K:" in the page text of page 1
    EXPECT_EQ(r.keySpans[2].pos, 0);
}

TEST(KVPersons, FindOrCreateInOrderOfFirstAppearance)
{
    AddresseeList persons;
    std::int32_t page = 0;
    // Letter case and a trailing blank make new IDs.
    for (const char* id : {"B", "A", "B", "b", "12", "12 "})
        ASSERT_TRUE(persons.FindOrAdd(id)->AddPage(++page));
    ASSERT_EQ(persons.Count(), 5);
    EXPECT_EQ(persons.At(0).PageList(), (std::vector<std::int32_t>{1, 3}));
    EXPECT_EQ(persons.At(4).Id(), "12 ");
    persons.Clear();
    EXPECT_EQ(persons.FindOrAdd("B")->Pages(), 0); // the index went with the list
    EXPECT_EQ(persons.Count(), 1);
}

} // namespace
} // namespace kuvrion
