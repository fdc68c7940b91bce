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

TEST(DuplexExport, AddresseesStartOnFrontsAndBarsStandOnFrontsOnly)
{
    const std::string reset = ESC + "E";
    const std::string pjl = ESC + "%-12345X@PJL SET DUPLEX=ON\r\n@PJL SET BINDING=SHORTEDGE" +
                            "\r\n@PJL ENTER LANGUAGE=PCL\r\n";
    struct Case {
        std::string head;
        std::string page1; // before "P1": a selection there is repeated after the head
        std::vector<std::vector<std::int32_t>> letters;
        std::int16_t envLimit; // 0: none
        // One letter per printed page: "c" a front that collects, "E" a front that closes its
        // envelope, "b" a back with page text and no bars, "-" a blank back.
        std::string sides;
        std::string sequence; // the sequence bar of each sheet
        std::int32_t blanks;
        std::int32_t envelopes;
    };
    // clang-format off
    const Case cases[] = {
        {reset, ESC + "&l1S", {{1, 2, 3}, {4, 5}, {6}}, 0, "cbE-EbE-", "0101", 2, 3},
        // The envelope limit counts sheets and may split an addressee.
        {reset, ESC + "&l1S", {{1, 2, 3, 4, 5}, {6}}, 2, "cbEbE-E-", "0101", 2, 3},
        // A selection in the head or from PJL is not repeated.
        {ESC + "&l2S" + reset, "", {{1}, {2}}, 0, "E-E-", "01", 2, 2},
        {pjl, "", {{1}, {2}}, 0, "E-E-", "01", 2, 2},
        // A simplex job keeps one sheet per page and writes no selection.
        {reset, ESC + "&l0S", {{1, 2}}, 0, "cE", "01", 0, 1},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.sides);
        std::string job = c.head + c.page1;
        for (std::size_t i = 1; i <= c.sides.size() - static_cast<std::size_t>(c.blanks); ++i) {
            job += "P" + std::to_string(i) + FF;
        }
        cPclMod pcl;
        ASSERT_TRUE(pcl.Connect(MakeMemorySource(job + reset), "job.pcl"));
        ASSERT_EQ(pcl.PclJobHead(), c.head);
        cKVPersons persons;
        for (std::size_t k = 0; k < c.letters.size(); ++k) {
            for (const std::int32_t n : c.letters[k]) {
                persons.PersonByID(std::to_string(k))->AddPage(n);
            }
        }
        Settings s;
        s.bEnvLimit = c.envLimit > 0;
        s.nEnvLimit = c.envLimit;
        s.use_seqchk = true;
        s.seqchk_count = 1;
        s.nCodeLen = 3;
        s.omeleftmm = 2.0f; // 56.69 decipoints
        s.ome_b = 5.0f;     // 141.73 decipoints
        std::string out;
        ExportStats stats;
        ASSERT_FALSE(ExportJob(
            pcl, persons, 1000, s,
            [&](std::string_view b) {
                out.append(b);
                return true;
            },
            nullptr, stats));
        const std::string selection = c.page1 == ESC + "&l1S" ? c.page1 : "";
        EXPECT_EQ(out.rfind(c.head + selection + ESC + "&l0U", 0), 0u);
        std::string sides;
        std::string sequence;
        std::size_t from = c.head.size();
        for (std::size_t ff; (ff = out.find(FF, from)) != std::string::npos; from = ff + 1) {
            const std::string piece = out.substr(from, ff - from);
            if (piece.find(ESC + "*c0P") != std::string::npos) {
                EXPECT_NE(piece.find(ESC + "&l57U" + ESC + "&l0Z"), std::string::npos);
                EXPECT_NE(piece.find(ESC + "*c142H"), std::string::npos);
                sides += piece.find(ESC + "&a2991V") != std::string::npos ? 'E' : 'c';
                sequence += piece.find(ESC + "&a3147V") != std::string::npos ? '1' : '0';
            } else {
                sides += piece.find('P') != std::string::npos ? 'b' : '-';
            }
            EXPECT_EQ(piece.empty(), sides.back() == '-');
        }
        EXPECT_EQ(out.substr(from), reset) << "the foot ends the job";
        EXPECT_EQ(sides, c.sides);
        EXPECT_EQ(sequence, c.sequence);
        EXPECT_EQ(stats.sheets, static_cast<std::int32_t>(sequence.size()));
        EXPECT_EQ(stats.blankPages, c.blanks);
        EXPECT_EQ(stats.envelopes, c.envelopes);
    }
}

} // namespace
