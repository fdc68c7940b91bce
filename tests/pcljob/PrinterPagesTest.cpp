// Jobs a printer has to read with care, and the number of pages a printer ejects for each, as
// GhostPCL's gpcl6 printed them (scripts/measure-printer-pages.sh measures them again): the scan
// must find exactly as many, for every read block size, and keep every byte. Jobs in another
// language are refused instead.
#include "TestConfig.h"
#include "pcljob/JobLanguage.h"
#include "support/Jobs.h"
#include "support/ScanTable.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace kuvrion::test {
namespace {

// A command with `data` bytes after it: Data("*b", "W", bytes) is ESC*b<n>W and the bytes.
std::string Data(std::string_view command, std::string_view letter, std::string_view data)
{
    return Esc(std::string(command) + std::to_string(data.size()) + std::string(letter)) +
           std::string(data);
}

const std::string kFFs = "\f\f\f\f\f";        // what a broken reader takes for five page ends
const std::string kUelBytes = "\x1b%-12345X"; // universal exit
const std::string kDriverTail = Esc("*rC") + kReset + kUelBytes + "@PJL EOJ\r\n" + kUelBytes;

// Three letters, the middle one holding `middle`.
std::string Letters(std::string_view middle)
{
    return Job({"Brief 1", "Brief 2" + std::string(middle), "Brief 3"});
}

struct PrinterJob {
    const char* name;
    std::string bytes;
    int printerPages; // as gpcl6 printed them
};

std::vector<PrinterJob> PrinterJobs()
{
    const std::string rect = Esc("*c100a100b0P");
    const std::string raster = Esc("*r1A") + Data("*b", "W", "\xff\xff\xff") + Esc("*rB");
    // clang-format off
    return {
        {"raster-planes-with-ff", Letters(Esc("*r1A") + Data("*b", "V", kFFs) + Data("*b", "W", kFFs) + Esc("*rB")), 3},
        {"transparent-data-with-ff", Letters(Data("&p", "X", "a\fb\fc")), 3},
        {"data-inside-combined-sequence", Letters(Esc("*b0m5w") + kFFs + "5W" + kFFs), 3},
        {"transparent-data-in-combined-sequence", Letters(Esc("&p5x") + kFFs + "5X" + kFFs), 3},
        {"character-download-with-ff", Letters(Data("(s", "W", kFFs)), 3},
        {"font-header-with-ff", Letters(Data(")s", "W", kFFs)), 3},
        {"symbol-set-with-ff", Letters(Data("(f", "W", kFFs)), 3},
        {"pattern-with-ff", Letters(Data("*c", "W", kFFs)), 3},
        {"image-configuration-with-ff", Letters(Data("*v", "W", kFFs)), 3},
        {"dither-matrix-with-ff", Letters(Data("*m", "W", kFFs)), 3},
        {"colour-lookup-with-ff", Letters(Data("*l", "W", kFFs)), 3},
        {"illuminant-with-ff", Letters(Data("*i", "W", kFFs)), 3},
        {"driver-configuration-with-ff", Letters(Data("*o", "W", kFFs)), 3},
        {"raster-configuration-with-ff", Letters(Data("*g", "W", kFFs)), 3},
        {"appletalk-with-ff", Letters(Data("&b", "W", kFFs)), 3},
        {"alphanumeric-id-with-ff", Letters(Data("&n", "W", "\x01\f\f\f\f")), 3},
        {"unknown-command-ending-in-w", Letters(Esc("*x2W") + "\f\f"), 5},
        {"hpgl-ff-in-label", Letters(Esc("%0B") + "IN;SP1;PA100,100;LBab\fcd\x03;" + Esc("%0A")), 3},
        {"hpgl-ff-between-instructions", Letters(Esc("%0B") + "IN;SP1;\f;PA10,10;\f" + Esc("%0A")), 3},
        {"hpgl-esc-in-label-own-terminator", Letters(Esc("%0B") + "IN;DT*;LBa" + Esc("%0A") + "\fb*;" + Esc("%0A")), 3},
        {"hpgl-ended-by-reset", Job({"Brief 1", "Brief 2" + Esc("%0B") + "IN;PD;PA10,10;\f"}, kReset, kReset + "Brief 3\f"), 3},
        {"reset-after-text-ends-the-page", kReset + "Brief 1" + kReset + "Brief 2" + kReset + "Brief 3\f" + kReset, 3},
        {"universal-exit-after-text-ends-the-page", kReset + "Brief 1" + kUelBytes + kReset + "Brief 2\fBrief 3\f" + kReset, 3},
        {"reset-after-rectangle-ends-the-page", kReset + "Brief 1\f" + rect + kReset + "Brief 3\f" + kReset, 3},
        {"reset-after-raster-ends-the-page", kReset + "Brief 1\f" + raster + kReset + "Brief 3\f" + kReset, 3},
        {"last-page-of-rectangles-without-ff", Job({"Brief 1", "Brief 2", "Brief 3"}, kReset, rect + kDriverTail), 4},
        {"text-reset-text-then-driver-tail", kReset + "Brief 1\fBrief 2" + kReset + "Brief 3\r\n" + kDriverTail, 3},
        {"blank-pages", kReset + "Brief 1\f\f\fBrief 2\f" + kReset, 4},
        {"blanks-print-nothing", kReset + "Brief 1\f   " + kReset, 1},
        {"display-functions-print-ff", Letters(Esc("Y") + "\f\f" + Esc("Z")), 3},
        {"pjl-framed-letters", kUelBytes + "@PJL JOB\r\n@PJL ENTER LANGUAGE=PCL\r\n" + Letters("") + kUelBytes + "@PJL EOJ\r\n" + kUelBytes, 3},
    };
    // clang-format on
}

TEST(PrinterPages, TheScanEjectsWhereThePrinterDoes)
{
    // KUVRION_DUMP_PRINTER_JOBS=DIR writes the jobs out for measuring them with a printer.
    const char* dump = std::getenv("KUVRION_DUMP_PRINTER_JOBS");
    for (const PrinterJob& job : PrinterJobs()) {
        SCOPED_TRACE(job.name);
        if (dump != nullptr) {
            std::ofstream(std::filesystem::path(dump) / (std::string(job.name) + ".pcl"),
                          std::ios::binary)
                << job.bytes;
        }
        EXPECT_EQ(ScanEveryWay(job.bytes).Pages(job.bytes).size(),
                  static_cast<std::size_t>(job.printerPages));
    }
}

TEST(PrinterPages, FixturesHoldThePrinterPageCountsBesideThem)
{
    std::ifstream list(KUVRION_TEST_DATA_DIR "/printer-pages.txt");
    std::string line;
    int fixtures = 0;
    while (std::getline(list, line)) {
        if (line.empty() || line[0] == '#')
            continue;
        const std::size_t tab = line.find('\t');
        ASSERT_NE(tab, std::string::npos) << line;
        const std::string path = KUVRION_SAMPLES_DIR "/../" + line.substr(tab + 1);
        SCOPED_TRACE(path);
        std::ifstream in(path, std::ios::binary);
        const std::string bytes{std::istreambuf_iterator<char>(in), {}};
        ASSERT_FALSE(bytes.empty());
        EXPECT_EQ(ScanEveryWay(bytes).Pages(bytes).size(), std::stoul(line.substr(0, tab)));
        ++fixtures;
    }
    EXPECT_GE(fixtures, 6);
}

TEST(PrinterPages, OtherLanguagesAndNoPrintJobsAreRefused)
{
    const std::pair<std::string, std::string> jobs[] = {
        {std::string("PK\x03\x04", 4) + std::string(22, '\0') + std::string("\x13\0\0\0", 4) +
             "[Content_Types].xml",
         "XPS"},
        {kUelBytes + "@PJL ENTER LANGUAGE=XPS\r\n" + std::string("PK\x03\x04", 4), "XPS"},
        {"\x89PNG\r\n\x1a\n" + std::string(8, '\0'), "PNG"},
        {"GIF89a\f\f", "GIF"},
    };
    for (const auto& [bytes, label] : jobs) {
        SCOPED_TRACE(label);
        PclJob job;
        ASSERT_TRUE(job.Connect(MakeMemorySource(bytes), "mem", PclJob::ForeignJob::Stop));
        EXPECT_EQ(job.Language().Label(), label);
        EXPECT_EQ(job.Pages(), 0);
    }
}

} // namespace
} // namespace kuvrion::test
