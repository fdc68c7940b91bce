// Jobs no printer driver writes: nothing but page ends or escapes, absurd byte counts, endless
// parameter runs, ten million pages, and a job beyond the 4 GiB mark. The scanner must neither
// crash nor hang, keep its memory bounded and give the documented page table.
#include "pcljob/ByteSource.h"
#include "pcljob/cPclMod.h"

#include "addressees/AdrKey.h"
#include "base/Platform.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>
#ifndef _WIN32
#include <fcntl.h>
#include <unistd.h>
#endif

using kuvrion::test::TempDir;

namespace kuvrion {
namespace {

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kAddressSanitizer = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kAddressSanitizer = true;
#else
constexpr bool kAddressSanitizer = false;
#endif
#else
constexpr bool kAddressSanitizer = false;
#endif

const std::string kEsc = "\x1b";
const std::string kReset = "\x1b"
                           "E";

struct Scanned {
    bool connected = false;
    std::unique_ptr<cPclMod> pcl = std::make_unique<cPclMod>();
};

Scanned ScanBytes(std::string bytes)
{
    Scanned s;
    s.connected = s.pcl->Connect(MakeMemorySource(std::move(bytes)), "hostile");
    return s;
}

double Seconds(std::chrono::steady_clock::time_point since)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

TEST(HostileInputTest, JobsOfOnlyPageEndsOrOnlyEscapes)
{
    // Every FF is a page end, so n of them make n empty pages.
    constexpr std::int32_t kFFs = 100000;
    const auto ffs = ScanBytes(std::string(kFFs, '\f'));
    ASSERT_TRUE(ffs.connected);
    EXPECT_EQ(ffs.pcl->Pages(), kFFs);
    for (const std::int32_t n : {1, 2, kFFs / 2, kFFs}) {
        EXPECT_EQ(ffs.pcl->PageSeek(n), n);
        EXPECT_EQ(ffs.pcl->PageSize(n), 0);
        EXPECT_EQ(ffs.pcl->Page(n), "");
    }
    EXPECT_EQ(ffs.pcl->PclJobHead(), "");
    EXPECT_EQ(ffs.pcl->PclJobFoot(), "");

    // ESC ESC is a two-character sequence; an odd last ESC is cut off by the end of the data.
    const auto escs = ScanBytes(std::string(100001, '\x1b'));
    ASSERT_TRUE(escs.connected);
    EXPECT_EQ(escs.pcl->Pages(), 0);
    EXPECT_EQ(escs.pcl->FileEscapes(), 50000);
    EXPECT_EQ(escs.pcl->PclJobHead(), "");

    // An FF right after ESC closes the sequence and still ends the page.
    std::string escFF;
    for (int i = 0; i < 1000; ++i) {
        escFF += "\x1b\f";
    }
    const auto pairs = ScanBytes(escFF);
    ASSERT_TRUE(pairs.connected);
    EXPECT_EQ(pairs.pcl->Pages(), 1000);
    EXPECT_EQ(pairs.pcl->Page(1000), kEsc);

    std::vector<std::int64_t> pos;
    std::vector<std::int64_t> len;
    std::int32_t count = 0;
    cPclMod::GetEscStats(std::string(1001, '\x1b'), pos, len, count);
    ASSERT_EQ(count, 501);
    EXPECT_EQ(pos[500], 1001);
    EXPECT_EQ(len[500], 1); // a lone ESC at the end
    EXPECT_EQ(GetPageText(std::string(1001, '\x1b')), "");
}

TEST(HostileInputTest, AbsurdByteCountsEndTheScanOrCountAsNothing)
{
    // A count past the end of the file ends the scan as at the end of the data.
    const auto huge = ScanBytes("A\f" + kEsc + "*b2147483647W" + "\fB\f");
    ASSERT_TRUE(huge.connected);
    EXPECT_EQ(huge.pcl->Pages(), 1);
    EXPECT_EQ(huge.pcl->Page(1), "A");

    const auto beyond64 = ScanBytes("A\f" + kEsc + "*b" + std::string(40, '9') + "W\fB\f");
    ASSERT_TRUE(beyond64.connected);
    EXPECT_EQ(beyond64.pcl->Pages(), 1);

    // A negative count is 0: the FF right behind the W is a page end.
    const auto negative = ScanBytes(kEsc + "*b-5W\fA\f");
    ASSERT_TRUE(negative.connected);
    EXPECT_EQ(negative.pcl->Pages(), 2);
    EXPECT_EQ(negative.pcl->Page(1), kEsc + "*b-5W");

    // In a page, the sequence length carries the whole count, far past the text, without
    // overflowing; the page text ends at the sequence.
    const std::string page = "x" + kEsc + "*b2147483647Wab";
    std::vector<std::int64_t> pos;
    std::vector<std::int64_t> len;
    std::int32_t count = 0;
    cPclMod::GetEscStats(page, pos, len, count);
    ASSERT_EQ(count, 1);
    EXPECT_EQ(pos[0], 2);
    EXPECT_EQ(len[0], 14 + std::int64_t{2147483647});
    EXPECT_EQ(GetPageText(page), "x");
}

TEST(HostileInputTest, EndlessParameterRunsScanInLinearTime)
{
    const auto start = std::chrono::steady_clock::now();

    // Five million value fields in one sequence, then three data bytes that are all FF.
    std::string fields = kEsc + "&";
    for (int i = 0; i < 5'000'000; ++i) {
        fields += "1a";
    }
    fields += "3W\f\f\fX\f";
    const auto many = ScanBytes(fields);
    ASSERT_TRUE(many.connected);
    EXPECT_EQ(many.pcl->Pages(), 1);
    EXPECT_EQ(many.pcl->PageSize(1), static_cast<std::int64_t>(fields.size()) - 1);
    EXPECT_EQ(many.pcl->FileEscapes(), 1);

    // Ten million digits in one count: saturated, so past the end.
    const auto digits = ScanBytes("A\f" + kEsc + "*b" + std::string(10'000'000, '7') + "W\f");
    ASSERT_TRUE(digits.connected);
    EXPECT_EQ(digits.pcl->Pages(), 1);

    // Ten million group characters before the termination character.
    const std::string groups = kEsc + "&" + std::string(10'000'000, 'a') + "E";
    std::vector<std::int64_t> pos;
    std::vector<std::int64_t> len;
    std::int32_t count = 0;
    cPclMod::GetEscStats(groups + "text", pos, len, count);
    ASSERT_EQ(count, 1);
    EXPECT_EQ(len[0], static_cast<std::int64_t>(groups.size()));
    EXPECT_EQ(GetPageText(groups + "text"), "text");

    // Linear work is well under a second per 10 MB; a quadratic walk would take hours.
    EXPECT_LT(Seconds(start), 60.0);
}

// Peak resident memory in bytes (VmHWM), or -1 where the system does not tell.
std::int64_t PeakRss()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmHWM:", 0) == 0) {
            return std::stoll(line.substr(6)) * 1024;
        }
    }
    return -1;
}

// Restarts the peak from the current resident size; false where the kernel cannot.
bool ResetPeakRss()
{
    std::ofstream clear("/proc/self/clear_refs");
    clear << "5";
    clear.flush();
    return clear.good();
}

TEST(HostileInputTest, TenMillionTinyPagesKeepMemoryBounded)
{
    constexpr std::int32_t kPages = 10'000'000;
    TempDir dir;
    const auto path = dir / "pages.pcl";
    {
        // Written piece by piece, so the job itself never sits in memory.
        std::ofstream out(path, std::ios::binary);
        std::string piece;
        for (int i = 0; i < 100'000; ++i) {
            piece += "A\f";
        }
        for (int i = 0; i < kPages / 100'000; ++i) {
            out << piece;
        }
    }

    const bool fresh = ResetPeakRss();
    const std::int64_t before = PeakRss();
    cPclMod pcl;
    ASSERT_TRUE(pcl.Connect(PathToUtf8(path)));
    const std::int64_t after = PeakRss();

    EXPECT_EQ(pcl.Pages(), kPages);
    EXPECT_EQ(pcl.PageSeek(kPages), 2 * std::int64_t{kPages} - 1);
    EXPECT_EQ(pcl.Page(kPages), "A");
    EXPECT_EQ(pcl.Page(kPages / 2), "A");

    if (kAddressSanitizer || before < 0 || after < 0) {
        GTEST_SKIP() << "peak memory is not measured here (AddressSanitizer or no /proc)";
    }
    // The page table is the one thing that grows with the job.
    const std::int64_t budget = (64 << 20) + 16 * std::int64_t{kPages};
    const std::int64_t used = after - before;
    RecordProperty("peak_growth_bytes", std::to_string(used));
    EXPECT_LT(used, budget) << "peak grew by " << (used >> 20) << " MiB"
                            << (fresh ? "" : " (peak not reset, figure is a lower bound)");
}

TEST(HostileInputTest, JobBeyondFourGiBKeepsItsPositions)
{
    constexpr std::int64_t kMark = std::int64_t{1} << 32;
    TempDir dir;
    const auto path = dir / "sparse.pcl";
    {
        std::FILE* const file = OpenStream(path, "wb");
        ASSERT_NE(file, nullptr);
        auto put = [&](std::int64_t at, const std::string& bytes) {
#ifdef _WIN32
            const bool placed = ::_fseeki64(file, at, SEEK_SET) == 0;
#else
            const bool placed = ::fseeko(file, at, SEEK_SET) == 0;
#endif
            return placed && std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
        };
        // Head and page 1; then a hole of zeros up to a raster sequence whose data, holding FF
        // and ESC bytes, straddles the 4 GiB mark; then two pages and the foot.
        std::string data(20, 'd');
        data[1] = '\f';
        data[2] = '\x1b';
        data[3] = '\f';
        const bool written = put(0, kReset + "A\f") && put(kMark - 8, kEsc + "*b20W") &&
                             put(kMark - 2, data) && put(kMark + 18, "B\fC\f" + kReset + "foot");
        const bool closed = std::fclose(file) == 0;
        std::error_code ec;
        std::filesystem::resize_file(path, kMark + 28, ec);
        if (!written || !closed || ec) {
            GTEST_SKIP() << "no sparse file of 4 GiB can be made here";
        }
    }

    cPclMod pcl;
    std::int64_t lastPageStart = 0;
    pcl.SetProgressHandler([&](std::int32_t status, std::int64_t value, bool&) {
        if (status == 1) {
            lastPageStart = value;
        }
    });
    ASSERT_TRUE(pcl.Connect(PathToUtf8(path)));
    EXPECT_EQ(pcl.FileSize(), kMark + 28);
    EXPECT_EQ(pcl.PclJobHead(), kReset);
    ASSERT_EQ(pcl.Pages(), 3);
    EXPECT_EQ(pcl.Page(1), "A");
    EXPECT_EQ(pcl.PageSeek(2), 5);
    // Page 2 runs from the hole across the mark; its FF stands at kMark + 20 (1-based).
    EXPECT_EQ(pcl.PageSeek(2) + pcl.PageSize(2), kMark + 20);
    EXPECT_EQ(pcl.PageSeek(3), kMark + 21);
    EXPECT_EQ(pcl.PageSize(3), 1);
    EXPECT_EQ(pcl.Page(3), "C");
    EXPECT_EQ(pcl.PclJobFoot(), kReset + "foot");
    EXPECT_EQ(pcl.FileEscapes(), 3);
    EXPECT_EQ(lastPageStart, kMark + 23); // the notice at the end of the data
    pcl.Disconnect();

#ifndef _WIN32
    // Drop the zeros from the page cache again; the machine is shared.
    const int fd = ::open(path.c_str(), O_RDONLY);
    if (fd >= 0) {
        ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
        ::close(fd);
    }
#endif
}

} // namespace
} // namespace kuvrion
