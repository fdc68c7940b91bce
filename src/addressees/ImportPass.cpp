#include "addressees/ImportPass.h"

#include "addressees/ImportLog.h"
#include "addressees/AddresseeList.h"
#include "base/ByteText.h"
#include "base/Numbers.h"
#include "base/Platform.h"
#include "base/Version.h"
#include "pcljob/PclJob.h"
#include "settings/Settings.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <exception>
#include <new>
#include <thread>
#include <vector>

namespace kuvrion {

namespace {

// Pages whose keys are searched before they are assigned in order; bounds the memory of the pass.
constexpr std::int32_t kChunkPages = 4096;

// What the key search found on one page.
struct PageKey {
    KeySpan span;
    std::string id;
    std::optional<std::size_t> fault; // index of the fault counter; nullopt: a valid key
    std::optional<Failure> readFailure; // why the page could not be read
};

// Reads pages and searches their keys, a chunk at a time. Reading a page and searching its text
// depend on nothing but the page, so the chunk is split between this thread and a second one;
// grouping, counting and logging stay in page order on the caller's thread.
class KeySearch {
public:
    KeySearch(const PclJob& pcl, const Settings& s)
        : m_pcl(pcl), m_settings(s), m_keys(kChunkPages),
          m_parallel(std::thread::hardware_concurrency() > 1)
    {
    }

    void Run(std::int32_t first, std::int32_t last)
    {
        m_first = first;
        const std::int32_t count = last - first + 1;
        if (!m_parallel || count < 64) {
            Search(first, last, m_own);
            return;
        }
        const std::int32_t mid = first + count / 2;
        std::exception_ptr failure;
        std::thread helper([&] {
            try {
                Search(mid, last, m_helper);
            } catch (...) {
                failure = std::current_exception();
            }
        });
        try {
            Search(first, mid - 1, m_own);
        } catch (...) {
            helper.join();
            throw;
        }
        helper.join();
        if (failure)
            std::rethrow_exception(failure);
    }

    const PageKey& Key(std::int32_t i) const
    {
        return m_keys[static_cast<std::size_t>(i - m_first)];
    }

private:
    struct Buffers {
        std::string page;
        PageScratch scratch;
    };

    void Search(std::int32_t first, std::int32_t last, Buffers& b)
    {
        for (std::int32_t i = first; i <= last; ++i) {
            PageKey& key = m_keys[static_cast<std::size_t>(i - m_first)];
            key = PageKey{};
            if (auto read = m_pcl.ReadPage(i, b.page); !read) {
                key.readFailure = read.error();
                continue;
            }
            KeyFaultCounts counts{};
            if (auto found = FindAdrKey(GetPageText(b.page, b.scratch), m_settings, &counts)) {
                key.span = found->span;
                key.id = std::move(found->id);
            }
            for (std::size_t f = 0; f < counts.size(); ++f) {
                if (counts[f] != 0)
                    key.fault = f;
            }
        }
    }

    const PclJob& m_pcl;
    const Settings& m_settings;
    std::vector<PageKey> m_keys;
    bool m_parallel;
    std::int32_t m_first = 1;
    Buffers m_own;
    Buffers m_helper;
};

} // namespace

std::string FormatLogTime(std::time_t t)
{
    const auto local = LocalTime(t);
    if (!local)
        return "00.00.0000 00:00";
    const std::tm& tm = *local;
    char buf[80]; // room for any int, though the fields are small
    std::snprintf(buf, sizeof buf, "%02d.%02d.%04d %02d:%02d", tm.tm_mday, tm.tm_mon + 1,
                  tm.tm_year + 1900, tm.tm_hour, tm.tm_min);
    return buf;
}

namespace {

// The pass itself: fills `result` and stops at the first failure, which it returns.
Result<void> Pass(PclJob& pcl, const std::string& srcFile, const Settings& s, AddresseeList& persons,
                  KeyFaultCounts& keyFaultCounts, ImportLog& log, std::time_t startTime,
                  const ImportHooks& hooks, ImportResult& result)
{
    const auto cancelled = [&hooks] { return hooks.cancelled && hooks.cancelled(); };
    persons.Clear();
    const ImportLogWords& words = hooks.words;
    for (const std::string& line :
         {words.log + "\t" + std::string(kProductName) + "\r\n",
          words.source + "\t" + Utf8ToCp1252(srcFile) + "\r\n",
          words.import + "\t" + FormatLogTime(startTime) + "\r\n"}) {
        if (auto written = log.Write(line); !written)
            return written;
    }

    // An unreadable job goes on as one without pages, so the log tells the same; the result
    // says that it could not be read. A job the pass refuses is disconnected before its pages
    // are read.
    const Result<void> readable = pcl.Connect(srcFile, PclJob::ForeignJob::Stop);
    if (cancelled()) // a scan stopped half-way leaves only part of the job
        return Failure{FailureKind::Cancelled};
    std::optional<Failure> refusal;
    if (readable && !pcl.Language().IsPcl5())
        refusal = Failure{FailureKind::NotPcl5, 0, 0, srcFile, pcl.Language().Label()};
    else if (readable && pcl.DuplexSwitches())
        refusal = Failure{FailureKind::DuplexSwitch, 0, 0, srcFile};
    if (refusal)
        pcl.Disconnect();
    result.jobPages = pcl.Pages();
    if (hooks.onPagesKnown)
        hooks.onPagesKnown(result.jobPages);
    if (auto written = log.Write(words.pages + "\t" + Decimal(result.jobPages) + "\r\n"); !written)
        return written;
    if (refusal && hooks.refusalText) {
        const std::string text = Utf8ToCp1252(hooks.refusalText(*refusal));
        if (auto written = log.Write(words.refused + "\t" + text + "\r\n"); !written)
            return written;
    }
    if (pcl.Duplex() != DuplexMode::None) {
        const std::string& mode =
            pcl.Duplex() == DuplexMode::ShortEdge ? words.shortEdge : words.longEdge;
        if (auto written = log.Write(words.duplex + "\t" + mode + "\r\n"); !written)
            return written;
    }
    if (auto written = log.Write("\r\n"); !written)
        return written;

    // Reset also for an empty job, so its status shows no faults of an earlier import.
    keyFaultCounts.fill(0);
    if (result.jobPages > 0) {
        if (auto written = log.Write(words.pageTable + "\r\n"); !written)
            return written;
        if (hooks.onCollectStart)
            hooks.onCollectStart(result.jobPages);

        result.keySpans.resize(static_cast<std::size_t>(result.jobPages));
        std::shared_ptr<Addressee> current;
        std::string line;
        KeySearch search(pcl, s);
        for (std::int32_t base = 1; base <= result.jobPages; base += kChunkPages) {
            const std::int32_t last = std::min(result.jobPages, base + kChunkPages - 1);
            search.Run(base, last);
            for (std::int32_t i = base; i <= last; ++i) {
                if (cancelled())
                    return Failure{FailureKind::Cancelled};
                if (hooks.onPage)
                    hooks.onPage(i);
                line.clear();
                AppendDecimal(line, i);
                line += '\t';
                if (auto written = log.Write(line); !written)
                    return written;

                const PageKey& key = search.Key(i);
                if (key.readFailure)
                    return *key.readFailure;
                result.keySpans[static_cast<std::size_t>(i - 1)] = key.span;
                if (key.fault)
                    ++keyFaultCounts[*key.fault];
                const std::string& id = key.id;

                line.assign(id);
                line += '\t';
                if (auto written = log.Write(line); !written)
                    return written;

                line.clear();
                if (!id.empty() || current) {
                    if (!id.empty())
                        current = persons.FindOrAdd(id);
                    if (auto added = current->AddPage(i); !added)
                        return added;
                    ++result.assignedPages;
                    AppendDecimal(line, current->Pages());
                    line += id.empty() ? "\t+" : "\tok";
                } else {
                    line = "?\t?";
                }
                for (const std::string_view text :
                     {std::string_view(line), std::string_view("\r\n")}) {
                    if (auto written = log.Write(text); !written)
                        return written;
                }
            }
        }
    }

    if (result.jobPages > 0) {
        if (auto written = log.Write("\r\n" + words.addressees + "\t" + Decimal(persons.Count()) + "\r\n"); !written)
            return written;
    }
    if (auto closed = log.Close(); !closed)
        return closed;
    if (!readable)
        result.failure = Failure{FailureKind::SourceUnreadable, readable.error().err, 0, srcFile};
    else if (refusal)
        result.failure = refusal;
    else
        result.completed = true;
    return {};
}

} // namespace

ImportResult RunImportPass(PclJob& pcl, const std::string& srcFile, const Settings& s,
                           AddresseeList& persons, KeyFaultCounts& keyFaultCounts, ImportLog& log,
                           std::time_t startTime, const ImportHooks& hooks)
{
    ImportResult result;
    try {
        if (auto passed = Pass(pcl, srcFile, s, persons, keyFaultCounts, log, startTime, hooks, result);
            !passed)
            result.failure = passed.error();
    } catch (const std::bad_alloc&) {
        result.failure = Failure{FailureKind::OutOfMemory};
    }
    // Harmless when already closed; a log that failed stays as far as it got.
    static_cast<void>(log.Close());
    return result;
}

} // namespace kuvrion
