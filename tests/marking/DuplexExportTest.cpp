// The export of duplex jobs: sheets of two pages of one addressee, blank backs, marks on fronts
// only, sequence and envelope counted per sheet, the duplex selection kept before the first page.
#include "addressees/cKVPersons.h"
#include "marking/ExportWriter.h"
#include "pcljob/ByteSource.h"
#include "pcljob/cPclMod.h"
#include "settings/Settings.h"

#include <gtest/gtest.h>

using namespace kuvrion;

namespace {

const std::string ESC = "\x1b";
const std::string FF = "\f";

class DuplexExportTest : public ::testing::Test {
protected:
    // `head`, then pages "P1" .. "Pn" (the first after `page1Start`), then a reset as the foot.
    void MakeJob(int pages, const std::string& head, const std::string& page1Start = "")
    {
        std::string job = head + page1Start;
        for (int i = 1; i <= pages; ++i)
            job += "P" + std::to_string(i) + FF;
        ASSERT_TRUE(pcl.Connect(MakeMemorySource(job + ESC + "E"), "job.pcl"));
        ASSERT_EQ(pcl.Pages(), pages);
        ASSERT_EQ(pcl.PclJobHead(), head);
    }
    void AddPerson(const std::string& id, const std::vector<std::int32_t>& pages)
    {
        auto p = persons.PersonByID(id);
        for (auto n : pages)
            p->AddPage(n);
    }
    bool Export()
    {
        out.clear();
        return !ExportJob(
            pcl, persons, 1000, s,
            [this](std::string_view b) {
                out.append(b);
                return true;
            },
            nullptr, stats);
    }
    // One letter per printed page after `head`: "c" a front that collects, "E" a front that
    // closes its envelope, "b" a back with page text and no bars, "-" a blank back.
    std::string Sides(const std::string& head) const
    {
        std::string sides;
        std::size_t from = head.size();
        for (std::size_t ff; (ff = out.find(FF, from)) != std::string::npos; from = ff + 1) {
            const std::string piece = out.substr(from, ff - from);
            if (piece.find(ESC + "*c0P") != std::string::npos)
                sides += piece.find(ESC + "&a2991V") != std::string::npos ? 'E' : 'c';
            else
                sides += piece.find('P') != std::string::npos ? 'b' : '-';
            EXPECT_EQ(piece.empty(), sides.back() == '-');
        }
        EXPECT_EQ(out.substr(from), ESC + "E") << "the foot ends the job";
        return sides;
    }

    cPclMod pcl;
    cKVPersons persons;
    Settings s;
    ExportStats stats;
    std::string out;
};

TEST_F(DuplexExportTest, AddresseesStartOnFrontsAndBarsStandOnFrontsOnly)
{
    // The selection sits in page 1: the export repeats it after the head.
    MakeJob(6, ESC + "E", ESC + "&l1S");
    AddPerson("A", {1, 2, 3});
    AddPerson("B", {4, 5});
    AddPerson("C", {6});
    s.bEnvLimit = false;
    ASSERT_TRUE(Export());
    EXPECT_EQ(out.rfind(ESC + "E" + ESC + "&l1S" + ESC + "&l0U", 0), 0u);
    EXPECT_EQ(Sides(ESC + "E" + ESC + "&l1S"), "cbE-EbE-");
    EXPECT_EQ(stats.sheets, 4);
    EXPECT_EQ(stats.blankPages, 2);
    EXPECT_EQ(stats.envelopes, 3);

    // The envelope limit counts sheets and may split an addressee; the sequence bar advances once
    // per sheet.
    persons.Clear();
    AddPerson("A", {1, 2, 3, 4, 5});
    AddPerson("B", {6});
    s.bEnvLimit = true;
    s.nEnvLimit = 2;
    s.use_seqchk = true;
    s.seqchk_count = 1;
    s.nCodeLen = 3;
    ASSERT_TRUE(Export());
    EXPECT_EQ(Sides(ESC + "E" + ESC + "&l1S"), "cbEbE-E-");
    EXPECT_EQ(stats.sheets, 4);
    EXPECT_EQ(stats.envelopes, 3);
    std::string seq;
    for (std::size_t from = 0, ff; (ff = out.find(FF, from)) != std::string::npos; from = ff + 1) {
        const std::string piece = out.substr(from, ff - from);
        if (piece.find(ESC + "*c0P") != std::string::npos)
            seq += piece.find(ESC + "&a3147V") != std::string::npos ? '1' : '0';
    }
    EXPECT_EQ(seq, "0101");
}

TEST_F(DuplexExportTest, SelectionInTheHeadOrFromPjlIsNotRepeated)
{
    const std::string pjlHead = ESC + "%-12345X@PJL SET DUPLEX=ON\r\n@PJL SET BINDING=SHORTEDGE" +
                                "\r\n@PJL ENTER LANGUAGE=PCL\r\n";
    for (const std::string& head : {ESC + "&l2S" + ESC + "E", pjlHead}) {
        MakeJob(2, head);
        ASSERT_EQ(pcl.Duplex(), DuplexMode::ShortEdge);
        persons.Clear();
        AddPerson("A", {1});
        AddPerson("B", {2});
        ASSERT_TRUE(Export());
        EXPECT_EQ(out.rfind(head + ESC + "&l0U", 0), 0u);
        EXPECT_EQ(Sides(head), "E-E-");
        EXPECT_EQ(stats.blankPages, 2);
    }

    // A simplex job keeps one sheet per page and writes no selection.
    MakeJob(2, ESC + "E", ESC + "&l0S");
    persons.Clear();
    AddPerson("A", {1, 2});
    ASSERT_TRUE(Export());
    EXPECT_EQ(Sides(ESC + "E"), "cE");
    EXPECT_EQ(stats.sheets, 2);
    EXPECT_EQ(stats.blankPages, 0);
}

} // namespace
