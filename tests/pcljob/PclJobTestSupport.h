// Helpers of the job scanner tests: scanning bytes with a chosen block size, sources that fail or
// pretend to be huge, and a plain reference scanner to compare against.
#pragma once

#include "../fuzz/PclReference.h"
#include "pcljob/ByteSource.h"
#include "pcljob/cPclMod.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace kuvrion::test {

inline std::string Esc(const std::string& body)
{
    return "\x1b" + body;
}

struct ScanResult {
    bool connected = false;
    std::string head;
    std::string foot;
    std::vector<std::string> pages;
    std::vector<std::int64_t> seek;
    std::int64_t escapes = 0;

    bool operator==(const ScanResult&) const = default;
};

inline ScanResult Result(const cPclMod& job, bool connected)
{
    ScanResult r;
    r.connected = connected;
    r.head = job.PclJobHead();
    r.foot = job.PclJobFoot();
    r.escapes = job.FileEscapes();
    for (std::int32_t n = 1; n <= job.Pages(); ++n) {
        r.pages.push_back(job.Page(n));
        r.seek.push_back(job.PageSeek(n));
    }
    return r;
}

// Head, every page with the FF that ended it, and the foot make up the whole job, in order: the
// FF of a page 1 that held only the head stands between the head and page 2, and the last page
// may have no FF of its own.
inline void ExpectWholeJob(const std::string& bytes, const cPclMod& job)
{
    std::string joined = job.PclJobHead();
    const auto headLen = static_cast<std::int64_t>(joined.size());
    const bool droppedPage1 =
        job.Pages() > 0 ? job.PageSeek(1) == headLen + 2
                        : headLen > 0 && headLen + 1 + job.PclJobFoot().size() == bytes.size();
    if (droppedPage1) {
        joined += '\f';
    }
    for (std::int32_t n = 1; n <= job.Pages(); ++n) {
        EXPECT_EQ(job.PageSeek(n), static_cast<std::int64_t>(joined.size()) + 1) << "page " << n;
        joined += job.Page(n);
        if (n < job.Pages() || !job.LastPageUnended()) {
            joined += '\f';
        }
    }
    joined += job.PclJobFoot();
    EXPECT_TRUE(joined == bytes) << "head, pages, page ends and foot are not the whole job";
}

// Scans `bytes` and checks that no byte of them is lost.
inline ScanResult Scan(const std::string& bytes, std::size_t blockSize = cPclMod::kDefaultBlockSize)
{
    cPclMod job(blockSize);
    const bool ok = job.Connect(MakeMemorySource(bytes), "mem");
    if (ok) {
        ExpectWholeJob(bytes, job);
    }
    return Result(job, ok);
}

inline std::string ReadFile(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteFile(const std::filesystem::path& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

inline std::filesystem::path TempDir(const std::string& name)
{
    auto dir = std::filesystem::temp_directory_path() /
               ("kuvrion-pcljob-" + name + "-" + std::to_string(::getpid()));
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    return dir;
}

// A memory source whose reads fail after `goodReads` successful ones.
class FailingSource : public ByteSource {
public:
    FailingSource(std::string bytes, int goodReads) : m_bytes(std::move(bytes)), m_left(goodReads)
    {
    }
    std::int64_t Size() const override { return static_cast<std::int64_t>(m_bytes.size()); }
    std::int64_t Read(std::int64_t offset, char* buf, std::int64_t n) override
    {
        if (m_left-- <= 0) {
            return -1;
        }
        const std::int64_t count = std::min(n, Size() - offset);
        std::memcpy(buf, m_bytes.data() + offset, static_cast<std::size_t>(count));
        return count;
    }
    int LastError() const override { return EIO; }

private:
    std::string m_bytes;
    int m_left;
};

// `before`, then `gap` zero bytes that are never stored, then `after`.
class SparseSource : public ByteSource {
public:
    SparseSource(std::string before, std::int64_t gap, std::string after)
        : m_before(std::move(before)), m_gap(gap), m_after(std::move(after))
    {
    }
    std::int64_t Size() const override
    {
        return static_cast<std::int64_t>(m_before.size() + m_after.size()) + m_gap;
    }
    std::int64_t Read(std::int64_t offset, char* buf, std::int64_t n) override
    {
        const std::int64_t count = std::max<std::int64_t>(0, std::min(n, Size() - offset));
        const auto b = static_cast<std::int64_t>(m_before.size());
        for (std::int64_t i = 0; i < count; ++i) {
            const std::int64_t at = offset + i;
            buf[i] = at < b           ? m_before[static_cast<std::size_t>(at)]
                     : at < b + m_gap ? '\0'
                                      : m_after[static_cast<std::size_t>(at - b - m_gap)];
        }
        return count;
    }

private:
    std::string m_before;
    std::int64_t m_gap;
    std::string m_after;
};

// The page table, head, foot and escape count by the plain model of the job rules that the scan
// fuzz target uses too. The real scanner must agree with it for any block size.
inline ScanResult ReferenceScan(const std::string& s)
{
    const fuzz::RefJob model = fuzz::JobModel(s);
    ScanResult r;
    r.connected = true;
    r.head = model.head;
    r.foot = model.foot;
    r.escapes = model.escapes;
    for (std::int32_t n = 1; n <= model.Pages(); ++n) {
        const std::int64_t seek = model.pageStart[static_cast<std::size_t>(n) - 1];
        const std::int64_t next = model.pageStart[static_cast<std::size_t>(n)];
        r.seek.push_back(seek);
        r.pages.push_back(s.substr(static_cast<std::size_t>(seek - 1),
                                   static_cast<std::size_t>(next - seek - 1)));
    }
    return r;
}

} // namespace kuvrion::test
