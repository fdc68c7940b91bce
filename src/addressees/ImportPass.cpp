#include "addressees/ImportPass.h"

#include "addressees/ImportLog.h"
#include "addressees/cKVPersons.h"
#include "base/ByteText.h"
#include "base/Platform.h"
#include "base/Version.h"
#include "pcljob/cPclMod.h"
#include "settings/Settings.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <exception>
#include <new>
#include <stdexcept>
#include <thread>
#include <vector>

namespace kuvrion {

namespace {

void AppendDecimal(std::string& out, std::int64_t n)
{
    char buf[24];
    const auto res = std::to_chars(buf, buf + sizeof buf, n);
    out.append(buf, res.ptr);
}

std::string Decimal(std::int64_t n)
{
    std::string s;
    AppendDecimal(s, n);
    return s;
}

// Why the pass stopped.
struct PassFailure {
    Failure failure;
};

// Pages whose keys are searched before they are assigned in order; bounds the memory of the pass.
constexpr std::int32_t kChunkPages = 4096;

// What the key search found on one page.
struct PageKey {
    KeySpan span;
    std::string id;
    int fault = -1;    // index of the fault counter, -1 when the page carries a valid key
    int readError = 0; // errno when the page could not be read
};

// Reads pages and searches their keys, a chunk at a time. Reading a page and searching its text
// depend on nothing but the page, so the chunk is split between this thread and a second one;
// grouping, counting and logging stay in page order on the caller's thread.
class KeySearch {
public:
    KeySearch(const cPclMod& pcl, const Settings& s)
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
            if (!m_pcl.ReadPage(i, b.page)) {
                key.readError = m_pcl.ReadError() != 0 ? m_pcl.ReadError() : EIO;
                continue;
            }
            ImpErrCounters counts{};
            key.span.pos = FindAdrKey(GetPageText(b.page, b.scratch), m_settings, key.span.len,
                                      key.id, &counts);
            for (std::size_t f = 0; f < counts.size(); ++f) {
                if (counts[f] != 0)
                    key.fault = static_cast<int>(f);
            }
        }
    }

    const cPclMod& m_pcl;
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

ImportResult RunImportPass(cPclMod& pcl, const std::string& srcFile, const Settings& s,
                           cKVPersons& persons, ImpErrCounters& nImpErr, ImportLog& log,
                           std::time_t startTime, const ImportHooks& hooks)
{
    ImportResult result;
    auto write = [&log](std::string_view text) {
        if (!log.Write(text))
            throw PassFailure{{FailureKind::LogWrite, log.ErrorNumber()}};
    };

    try {
        persons.Clear();
        write(std::string("Log:\t").append(kProductName).append("\r\n"));
        write("Quelle:\t" + Utf8ToCp1252(srcFile) + "\r\n");
        write("Import:\t" + FormatLogTime(startTime) + "\r\n");

        // An unreadable job goes on as one without pages, so the log tells the same; the result
        // says that it could not be read. A job the pass refuses is disconnected before its pages
        // are read.
        const bool readable = pcl.Connect(srcFile, cPclMod::ForeignJob::Stop);
        const auto stopIfCancelled = [&hooks] {
            if (hooks.cancelled && hooks.cancelled())
                throw PassFailure{{FailureKind::Cancelled}};
        };
        stopIfCancelled(); // a scan stopped half-way leaves only part of the job
        std::optional<Failure> refusal;
        if (readable && !pcl.Language().IsPcl5())
            refusal = Failure{FailureKind::NotPcl5, 0, 0, srcFile, pcl.Language().Label()};
        else if (readable && pcl.DuplexSwitches())
            refusal = Failure{FailureKind::DuplexSwitch, 0, 0, srcFile};
        if (refusal)
            pcl.Disconnect();
        result.nJobPages = pcl.Pages();
        if (hooks.onPagesKnown)
            hooks.onPagesKnown(result.nJobPages);
        write("Seiten:\t" + Decimal(result.nJobPages) + "\r\n");
        if (refusal && hooks.refusalText)
            write("Abbruch:\t" + Utf8ToCp1252(hooks.refusalText(*refusal)) + "\r\n");
        if (pcl.Duplex() != DuplexMode::None)
            write(pcl.Duplex() == DuplexMode::ShortEdge ? "Duplex:\tkurze Kante\r\n"
                                                        : "Duplex:\tlange Kante\r\n");
        write("\r\n");

        // Reset also for an empty job, so its status shows no faults of an earlier import.
        nImpErr.fill(0);
        if (result.nJobPages > 0) {
            write("Seite\tAdrID\tAdrS.\tKey\r\n");
            if (hooks.onCollectStart)
                hooks.onCollectStart(result.nJobPages);

            result.keySpans.resize(static_cast<std::size_t>(result.nJobPages));
            std::shared_ptr<cKVPerson> current;
            std::string line;
            KeySearch search(pcl, s);
            for (std::int32_t base = 1; base <= result.nJobPages; base += kChunkPages) {
                const std::int32_t last = std::min(result.nJobPages, base + kChunkPages - 1);
                search.Run(base, last);
                for (std::int32_t i = base; i <= last; ++i) {
                    stopIfCancelled();
                    if (hooks.onPage)
                        hooks.onPage(i);
                    line.clear();
                    AppendDecimal(line, i);
                    line += '\t';
                    write(line);

                    const PageKey& key = search.Key(i);
                    if (key.readError != 0)
                        throw PassFailure{{FailureKind::PageRead, key.readError, i}};
                    result.keySpans[static_cast<std::size_t>(i - 1)] = key.span;
                    if (key.fault >= 0)
                        ++nImpErr[static_cast<std::size_t>(key.fault)];
                    const std::string& id = key.id;

                    line.assign(id);
                    line += '\t';
                    write(line);

                    line.clear();
                    if (!id.empty() || current) {
                        if (!id.empty())
                            current = persons.PersonByID(id);
                        try {
                            current->AddPage(i);
                        } catch (const std::overflow_error&) {
                            throw PassFailure{{FailureKind::TooManyPages, 0, i}};
                        }
                        ++result.nImpAssigned;
                        AppendDecimal(line, current->Pages());
                        line += id.empty() ? "\t+" : "\tok";
                    } else {
                        line = "?\t?";
                    }
                    write(line);
                    write("\r\n");
                }
            }
        }

        if (result.nJobPages > 0)
            write("\r\nAdr.:\t" + Decimal(persons.Count()) + "\r\n");
        if (!log.Close())
            throw PassFailure{{FailureKind::LogWrite, log.ErrorNumber()}};
        if (!readable)
            result.failure = Failure{FailureKind::SourceUnreadable, pcl.ReadError(), 0, srcFile};
        else if (refusal)
            result.failure = refusal;
        else
            result.completed = true;
    } catch (const PassFailure& f) {
        result.failure = f.failure;
    } catch (const std::bad_alloc&) {
        result.failure = Failure{FailureKind::OutOfMemory};
    }
    log.Close(); // harmless when already closed; a log that failed stays as far as it got
    return result;
}

} // namespace kuvrion
