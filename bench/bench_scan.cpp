// Scan speed of the job scanner on generated jobs: text-dense letters (an escape sequence every
// 8 to 16 bytes) and raster-heavy letters (over 90 % W data), from memory and from a file.
// The 1 GiB comparison against `cat` is bench/run-scan-bench.sh.

#include "gen/JobGenerator.h"
#include "pcljob/ByteSource.h"
#include "pcljob/PageText.h"
#include "pcljob/PclJob.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

using kuvrion::PclJob;
using kuvrion::bench::JobGenerator;

constexpr std::int64_t kJobBytes = 24 * 1024 * 1024;

enum JobKind : int { kText = 0, kRaster = 1 };

// Reads straight from a shared buffer, so the benchmark measures the scan, not a copy of the job.
class ViewSource final : public kuvrion::ByteSource {
public:
    explicit ViewSource(const std::string& bytes) : m_bytes(bytes) {}
    std::int64_t Size() const override { return static_cast<std::int64_t>(m_bytes.size()); }
    kuvrion::Result<std::int64_t> Read(std::int64_t offset, char* buf, std::int64_t n) override
    {
        const std::int64_t count = std::max<std::int64_t>(0, std::min(n, Size() - offset));
        std::memcpy(buf, m_bytes.data() + offset, static_cast<std::size_t>(count));
        return count;
    }

private:
    const std::string& m_bytes;
};

std::string MakeJob(JobKind kind)
{
    std::string job;
    JobGenerator gen(
        [&](std::string_view s) {
            job.append(s);
            return true;
        },
        1);
    if (kind == kText) {
        gen.TextJob(kJobBytes);
    } else {
        gen.RasterJob(kJobBytes);
    }
    return job;
}

const std::string& Job(JobKind kind)
{
    static const std::vector<std::string> jobs = {MakeJob(kText), MakeJob(kRaster)};
    return jobs[static_cast<std::size_t>(kind)];
}

// The job written once to a temporary file (removed at exit), so that it sits in the page cache.
const std::string& JobFile(JobKind kind)
{
    struct Files {
        std::vector<std::string> paths;
        Files()
        {
            for (JobKind k : {kText, kRaster}) {
                const auto path = std::filesystem::temp_directory_path() /
                                  ("kuvrion-bench-" + std::to_string(::getpid()) + "-" +
                                   std::to_string(static_cast<int>(k)) + ".pcl");
                std::ofstream(path, std::ios::binary) << Job(k);
                paths.push_back(path.string());
            }
        }
        ~Files()
        {
            for (const auto& p : paths) {
                std::error_code ec;
                std::filesystem::remove(p, ec);
            }
        }
    };
    static const Files files;
    return files.paths[static_cast<std::size_t>(kind)];
}

void Counters(benchmark::State& state, const std::string& job, const PclJob& scanned)
{
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(job.size()));
    state.counters["pages"] = scanned.Pages();
    state.counters["escapes"] = static_cast<double>(scanned.FileEscapes());
}

void BM_ScanMemory(benchmark::State& state)
{
    const auto kind = static_cast<JobKind>(state.range(0));
    const auto blockSize = static_cast<std::size_t>(state.range(1));
    const std::string& job = Job(kind);
    PclJob scanner(blockSize);
    for (auto _ : state) {
        if (!scanner.Connect(std::make_unique<ViewSource>(job), "mem")) {
            state.SkipWithError("scan failed");
            return;
        }
        benchmark::DoNotOptimize(scanner.Pages());
    }
    Counters(state, job, scanner);
}

void BM_ScanFile(benchmark::State& state)
{
    const auto kind = static_cast<JobKind>(state.range(0));
    const std::string& path = JobFile(kind);
    PclJob scanner;
    for (auto _ : state) {
        if (!scanner.Connect(path)) {
            state.SkipWithError("scan failed");
            return;
        }
        benchmark::DoNotOptimize(scanner.Pages());
    }
    Counters(state, Job(kind), scanner);
}

// The text of every page, as the import reads it for the key search.
void BM_PageText(benchmark::State& state)
{
    const std::string& job = Job(kText);
    PclJob scanner;
    if (!scanner.Connect(std::make_unique<ViewSource>(job), "mem")) {
        state.SkipWithError("scan failed");
        return;
    }
    std::vector<std::string> pages;
    for (std::int32_t n = 1; n <= std::min(scanner.Pages(), 200); ++n) {
        if (!scanner.ReadPage(n, pages.emplace_back())) {
            state.SkipWithError("page read failed");
            return;
        }
    }
    std::string text;
    std::int64_t bytes = 0;
    for (auto _ : state) {
        for (const auto& p : pages) {
            text.clear();
            kuvrion::AppendPageText(p, text);
            benchmark::DoNotOptimize(text.data());
            bytes += static_cast<std::int64_t>(p.size());
        }
    }
    state.SetBytesProcessed(bytes);
}

} // namespace

BENCHMARK(BM_ScanMemory)
    ->ArgNames({"raster", "block"})
    ->Args({kText, static_cast<std::int64_t>(PclJob::kDefaultBlockSize)})
    ->Args({kRaster, static_cast<std::int64_t>(PclJob::kDefaultBlockSize)})
    ->Args({kText, 2048})
    ->Args({kRaster, 2048})
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ScanFile)->ArgName("raster")->Arg(kText)->Arg(kRaster)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PageText)->Unit(benchmark::kMicrosecond);
