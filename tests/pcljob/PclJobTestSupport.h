// Helpers of the job scanner tests: scanning bytes with a chosen block size, sources that fail or
// pretend to be huge, and a plain reference scanner to compare against.
#pragma once

#include "pcljob/ByteSource.h"
#include "pcljob/cPclMod.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
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

inline ScanResult Scan(const std::string& bytes, std::size_t blockSize = cPclMod::kDefaultBlockSize)
{
    cPclMod job(blockSize);
    const bool ok = job.Connect(MakeMemorySource(bytes), "mem");
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

// A plain scanner written straight from the rules, byte by byte over the whole job: page ends,
// accepted sequences, head and foot. The real scanner must agree with it for any block size.
inline ScanResult ReferenceScan(const std::string& s)
{
    auto isNum = [](unsigned char c) {
        return std::isdigit(c) || c == '+' || c == '-' || c == '.';
    };
    auto isParam = [](unsigned char c) { return c >= 96 && c <= 126; };
    auto isTerm = [](unsigned char c) { return c >= 64 && c <= 94; };
    auto count = [](const std::string& field) -> std::int64_t {
        // The number at the start of the field, rounded to nearest even, negative as 0.
        std::size_t i = 0;
        std::string num;
        if (i < field.size() && (field[i] == '+' || field[i] == '-')) {
            num += field[i++];
        }
        while (i < field.size() && std::isdigit(static_cast<unsigned char>(field[i]))) {
            num += field[i++];
        }
        if (i < field.size() && field[i] == '.') {
            num += field[i++];
            while (i < field.size() && std::isdigit(static_cast<unsigned char>(field[i]))) {
                num += field[i++];
            }
        }
        const double v = std::nearbyint(std::strtod(num.c_str(), nullptr));
        return v < 0 ? 0 : static_cast<std::int64_t>(std::min(v, 1e18));
    };

    ScanResult r;
    r.connected = true;
    const auto n = static_cast<std::int64_t>(s.size());
    std::vector<std::int64_t> ends; // 1-based positions after each page end
    std::int64_t i = 0;
    auto at = [&](std::int64_t k) {
        return static_cast<unsigned char>(s[static_cast<std::size_t>(k)]);
    };
    // Reads value fields up to the closing character; false when the data ends first.
    auto fields = [&](std::string field, unsigned char& last, std::int64_t& data) {
        for (;;) {
            if (i >= n) {
                return false;
            }
            last = at(i++);
            if (isNum(last)) {
                field += static_cast<char>(last);
            } else if (isParam(last)) {
                field.clear();
            } else {
                if (last == 'W' && isTerm(last)) {
                    data = count(field);
                }
                return true;
            }
        }
    };
    while (i < n) {
        const unsigned char c = at(i++);
        if (c == 12) {
            ends.push_back(i + 1);
            continue;
        }
        if (c != 27) {
            continue;
        }
        if (i >= n) {
            break;
        }
        unsigned char last = at(i++);
        std::int64_t data = 0;
        if (last >= 33 && last <= 47) {
            if (i >= n) {
                break;
            }
            last = at(i++);
            if (isNum(last) && last != '.') {
                if (!fields(std::string(1, static_cast<char>(last)), last, data)) {
                    break;
                }
            } else if (isParam(last) && !fields(std::string(), last, data)) {
                break;
            }
        }
        if (i + data > n) {
            break;
        }
        ++r.escapes;
        if (last == 12 && data == 0) {
            ends.push_back(i + 1);
        }
        i += data;
    }
    if (ends.empty()) {
        return r;
    }
    std::vector<std::int64_t> starts{1};
    starts.insert(starts.end(), ends.begin(), ends.end());
    const std::string page1 = s.substr(0, static_cast<std::size_t>(starts[1] - 2));
    const auto reset = page1.find("\033E");
    if (reset != std::string::npos) {
        r.head = page1.substr(0, reset + 2);
        // A reset that closes page 1 leaves nothing of it.
        starts[0] = static_cast<std::int64_t>(reset) + (reset + 2 == page1.size() ? 4 : 3);
    }
    const std::string tail = s.substr(static_cast<std::size_t>(starts.back() - 1));
    if (tail.rfind("\033E", 0) == 0) {
        r.foot = tail;
    }
    for (std::size_t k = 0; k + 1 < starts.size(); ++k) {
        if (starts[k] == starts[k + 1]) {
            continue; // a page 1 that held only the head
        }
        r.seek.push_back(starts[k]);
        r.pages.push_back(s.substr(static_cast<std::size_t>(starts[k] - 1),
                                   static_cast<std::size_t>(starts[k + 1] - starts[k] - 1)));
    }
    return r;
}

} // namespace kuvrion::test
