#include "addressees/cKVPersons.h"
#include "marking/ExportWriter.h"
#include "pcljob/ByteSource.h"
#include "pcljob/cPclMod.h"
#include "settings/Settings.h"

#include <gtest/gtest.h>

using namespace kuvrion;

namespace {

const std::string ESC = "\x1b";
const std::string FF = "\x0c";

class ExportTest : public ::testing::Test {
protected:
    // A job of `pages` pages "P1", "P2", ... between a head and a foot of one printer reset each.
    void MakeJob(int pages)
    {
        std::string job = ESC + "E";
        for (int i = 1; i <= pages; ++i)
            job += "P" + std::to_string(i) + FF;
        ASSERT_TRUE(pcl.Connect(MakeMemorySource(job + ESC + "E"), "job.pcl"));
        ASSERT_EQ(pcl.Pages(), pages);
    }
    void AddPerson(const std::string& id, std::vector<std::int32_t> pages)
    {
        auto p = persons.PersonByID(id);
        for (auto n : pages)
            p->AddPage(n);
    }
    bool Export(std::int32_t count = 1000)
    {
        out.clear();
        failure = ExportJob(
            pcl, persons, count, s,
            [this](std::string_view b) {
                out.append(b);
                return true;
            },
            nullptr, stats);
        return !failure;
    }
    // The code of every sheet, read back from the vertical positions of its bars.
    std::vector<std::string> Codes() const
    {
        std::vector<std::string> codes(1);
        for (std::size_t from = 0, ff; (ff = out.find(FF, from)) != std::string::npos;
             from = ff + 1) {
            for (int i = 0; i < s.nCodeLen; ++i) {
                const auto y = ESC + "&a" + std::to_string(2835 + 156 * i) + "V";
                const auto at = out.find(y, from);
                codes.back() += at < ff ? '1' : '0';
            }
            codes.emplace_back();
        }
        codes.pop_back();
        return codes;
    }
    std::string Kinds() const // "c" collects, "E" closes an envelope
    {
        std::string k;
        for (const auto& c : Codes())
            k += c[1] == '1' ? 'E' : 'c';
        return k;
    }

    cPclMod pcl;
    cKVPersons persons;
    Settings s;
    ExportStats stats;
    std::string out;
    std::optional<Failure> failure;
};

std::vector<std::int32_t> Range(int from, int to)
{
    std::vector<std::int32_t> v;
    for (int i = from; i <= to; ++i)
        v.push_back(i);
    return v;
}

std::string Bar(int y)
{
    return ESC + "&a142H" + ESC + "&a" + std::to_string(y) + "V" + ESC + "*c198H" + ESC + "*c14V" +
           ESC + "*c0P";
}

} // namespace

TEST_F(ExportTest, OutputLayoutByteForByte)
{
    MakeJob(2);
    AddPerson("A", {1, 2});
    s.bEnvLimit = false;
    s.bAdrKeyRem = false;
    ASSERT_TRUE(Export());
    const std::string reg = ESC + "&l0U" + ESC + "&l0Z";
    EXPECT_EQ(out, ESC + "E" + reg + "P1" + reg + Bar(2835) + FF + reg + "P2" + reg + Bar(2835) +
                       Bar(2991) + FF + ESC + "E");
    EXPECT_EQ(stats.exported, 1);
    EXPECT_EQ(stats.sheets, 2);
    EXPECT_EQ(stats.envelopes, 1);

    // A page larger than the write buffer keeps its place between the buffered pieces.
    const std::string big(3 << 20, 'x');
    ASSERT_TRUE(pcl.Connect(MakeMemorySource(ESC + "E" + big + FF + ESC + "E"), "big.pcl"));
    persons.Clear();
    AddPerson("A", {1});
    ASSERT_TRUE(Export());
    EXPECT_TRUE(out == ESC + "E" + reg + big + reg + Bar(2835) + Bar(2991) + FF + ESC + "E");
}

TEST_F(ExportTest, EnvelopeLimitRestartsWithEveryAddressee)
{
    MakeJob(27);
    AddPerson("12", Range(1, 12));
    AddPerson("10", Range(13, 22));
    AddPerson("1", {23});
    AddPerson("3", {24, 25, 26});
    AddPerson("2", {27, 1}); // pages need not be contiguous or ascending
    s.nEnvLimit = 5;
    ASSERT_TRUE(Export(3));
    EXPECT_EQ(Kinds(), "ccccEccccEcE"
                       "ccccEccccE"
                       "E");
    EXPECT_EQ(stats.envelopes, 6);

    s.bEnvLimit = false;
    ASSERT_TRUE(Export(2));
    EXPECT_EQ(Kinds(), "cccccccccccE"
                       "cccccccccE");

    s.bEnvLimit = true;
    s.nEnvLimit = 2;
    ASSERT_TRUE(Export());
    EXPECT_EQ(Kinds().substr(23), "cEE"
                                  "cE");
    EXPECT_EQ(stats.exported, 5);
    EXPECT_EQ(stats.sheets, 28);
    EXPECT_NE(out.find("P27" + ESC + "&l0U" + ESC + "&l0Z" + Bar(2835) + FF + ESC + "&l0U" + ESC +
                       "&l0Z" + "P1"),
              std::string::npos);
}

TEST_F(ExportTest, SequenceBarRunsAcrossAddresseesAndRestartsPerExport)
{
    MakeJob(5);
    AddPerson("A", {1, 2, 3});
    AddPerson("B", {4, 5});
    s.use_seqchk = true;
    s.seqchk_count = 1;
    s.nCodeLen = 3;
    for (int run = 0; run < 2; ++run) {
        ASSERT_TRUE(Export());
        EXPECT_EQ(Codes(), (std::vector<std::string>{"100", "101", "110", "101", "110"}));
    }
}

TEST_F(ExportTest, CountBoundsMaskingAndFailures)
{
    MakeJob(1);
    AddPerson("A", {1});
    ASSERT_TRUE(Export(-3)); // head and foot only
    EXPECT_EQ(out, ESC + "E" + ESC + "E");
    EXPECT_EQ(stats.exported, 0);

    // The key is blanked in the output, not in the source.
    ASSERT_TRUE(pcl.Connect(MakeMemorySource("Hallo K:A;!" + FF), "key.pcl"));
    s.sAdrKeyBeg = "K:";
    s.sAdrKeyEnd = ";";
    ASSERT_TRUE(Export(99));
    EXPECT_NE(out.find("Hallo     !"), std::string::npos);
    EXPECT_EQ(pcl.Page(1), "Hallo K:A;!");

    // A page that is not in the job and a sink that fails both stop the export.
    AddPerson("B", {7});
    EXPECT_FALSE(Export());
    EXPECT_EQ(failure->what, FailureKind::PageMissing);
    EXPECT_EQ(failure->page, 7);
    failure = ExportJob(
        pcl, persons, 1, s, [](std::string_view) { return false; }, nullptr, stats);
    EXPECT_EQ(failure->what, FailureKind::TargetWrite);
}
