// The scan must give the same page table, head, foot and escape count whatever the read block
// size: sequences and W data cross block boundaries all the time in real jobs.
#include "PclJobTestSupport.h"

#include "gen/JobGenerator.h"
#include "TestConfig.h"

#include <gtest/gtest.h>

#include <random>

namespace kuvrion {
namespace {

const std::vector<std::size_t> kBlockSizes = {1, 2, 3, 7, 2048, cPclMod::kDefaultBlockSize};

void ExpectSameForEveryBlockSize(const std::string& bytes, const std::string& what)
{
    const test::ScanResult expected = test::ReferenceScan(bytes);
    for (std::size_t block : kBlockSizes) {
        EXPECT_EQ(test::Scan(bytes, block), expected) << what << ", block size " << block;
    }
}

std::string Generate(bool (bench::JobGenerator::*make)(), std::uint64_t seed = 1)
{
    std::string out;
    bench::JobGenerator gen(
        [&](std::string_view s) {
            out.append(s);
            return true;
        },
        seed);
    (gen.*make)();
    return out;
}

TEST(BlockBoundary, FixturesAndGeneratedJobs)
{
    for (const char* name : {"raster-ff-across-block.pcl", "esc-at-block-end.pcl",
                             "malformed-sequence-mid-job.pcl", "w-count-past-end.pcl"}) {
        ExpectSameForEveryBlockSize(test::ReadFile(std::string(KUVRION_TEST_DATA_DIR "/") + name),
                                    name);
    }
    ExpectSameForEveryBlockSize(Generate(&bench::JobGenerator::SampleEndMarker), "end marker");
    ExpectSameForEveryBlockSize(Generate(&bench::JobGenerator::SampleFixed), "fixed");

    std::string text;
    bench::JobGenerator textGen(
        [&](std::string_view s) {
            text.append(s);
            return true;
        },
        7);
    textGen.TextJob(300 * 1024);
    const test::ScanResult r = test::Scan(text, 2048);
    EXPECT_EQ(r.pages.size(), static_cast<std::size_t>(textGen.GetStats().pages));
    EXPECT_EQ(r.escapes, textGen.GetStats().escapes);
    EXPECT_EQ(test::Scan(text, 7), r);
    EXPECT_EQ(test::ReferenceScan(text), r);

    std::string raster;
    bench::JobGenerator rasterGen(
        [&](std::string_view s) {
            raster.append(s);
            return true;
        },
        8);
    rasterGen.RasterJob(600 * 1024);
    const test::ScanResult rr = test::Scan(raster, 3);
    EXPECT_EQ(rr.pages.size(), static_cast<std::size_t>(rasterGen.GetStats().pages));
    EXPECT_EQ(rr.escapes, rasterGen.GetStats().escapes);
    EXPECT_EQ(test::Scan(raster), rr);
}

// Random byte soups rich in ESC, FF and sequence characters, including W counts that reach past
// the end, against the plain reference scanner.
TEST(BlockBoundary, RandomJobsAgreeWithTheReference)
{
    const std::string alphabet =
        std::string("\x1b\x1b\x1b\x0c\x0c") + "*&(%bplsE0123456789.+-WWXxA\x01";
    std::mt19937 rng(12345);
    for (int round = 0; round < 400; ++round) {
        std::string bytes;
        const int len = static_cast<int>(rng() % 300);
        for (int k = 0; k < len; ++k) {
            bytes.push_back(alphabet[rng() % alphabet.size()]);
        }
        if (round % 3 == 0) {
            bytes = "\033E" + bytes + "\f\033E";
        }
        ExpectSameForEveryBlockSize(bytes, "round " + std::to_string(round));
        if (HasFailure()) {
            break;
        }
    }
}

TEST(SampleJobs, AreTheGeneratorsOutputAndScanAsDescribed)
{
    struct Sample {
        const char* name;
        bool (bench::JobGenerator::*make)();
        std::size_t pages;
        const char* splitKey;
    };
    for (const Sample& s :
         {Sample{"letters-endmarker", &bench::JobGenerator::SampleEndMarker, 9, "Kd.-Nr.: 20418;"},
          Sample{"letters-fixed", &bench::JobGenerator::SampleFixed, 8,
                 "Kundennummer: 55501234"}}) {
        const std::string dir = KUVRION_SAMPLES_DIR "/";
        const std::string bytes = test::ReadFile(dir + s.name + ".pcl");
        EXPECT_TRUE(bytes == Generate(s.make))
            << s.name << " is no longer what the generator writes";

        const test::ScanResult r = test::Scan(bytes);
        EXPECT_EQ(r.pages.size(), s.pages) << s.name;
        EXPECT_EQ(r.head.substr(0, 9), "\x1b%-12345X") << s.name;
        EXPECT_EQ(r.head.substr(r.head.size() - 2), "\033E") << s.name;
        EXPECT_EQ(r.foot.substr(0, 2), "\033E") << s.name;

        // Exactly one key is split by an escape sequence: whole in the page text only.
        int split = 0;
        for (const std::string& page : r.pages) {
            std::vector<std::int64_t> pos;
            std::vector<std::int64_t> len;
            std::int32_t n = 0;
            cPclMod::GetEscStats(page, pos, len, n);
            std::string text;
            std::int64_t q = 1;
            for (std::int32_t k = 0; k < n; ++k) {
                text += page.substr(static_cast<std::size_t>(q - 1),
                                    static_cast<std::size_t>(pos[k] - q));
                q = pos[k] + len[k];
            }
            if (q <= static_cast<std::int64_t>(page.size())) {
                text += page.substr(static_cast<std::size_t>(q - 1));
            }
            if (text.find(s.splitKey) != std::string::npos &&
                page.find(s.splitKey) == std::string::npos) {
                ++split;
            }
        }
        EXPECT_EQ(split, 1) << s.name;
        const std::string ini = test::ReadFile(dir + s.name + ".ini");
        EXPECT_NE(ini.find("[keys]\r\nadrkeybeg=^"), std::string::npos) << s.name;
    }
}

} // namespace
} // namespace kuvrion
