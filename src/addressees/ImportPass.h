// The import pass: scans the job, reads every page, finds its addressee key, groups the pages by
// ID into `persons`, counts faults and writes the import log. No user interface: the caller
// receives the fixed points through the hooks.
#pragma once

#include "addressees/AdrKey.h"
#include "base/Failure.h"

#include <cstdint>
#include <ctime>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace kuvrion {

class PclJob;
class AddresseeList;
class ImportLog;
struct Settings;

// The words of the import log (Windows-1252), given by the message table: the captions of its
// head lines, the duplex modes, the page table's header and the count of addressees at its end.
struct ImportLogWords {
    std::string log, source, import, pages, refused, duplex; // "Log:", "Quelle:", ...
    std::string shortEdge, longEdge;                         // the duplex modes
    std::string pageTable;                                   // "Seite\tAdrID\tAdrS.\tKey"
    std::string addressees;                                  // "Adr.:"
};

struct ImportHooks {
    // The words the log is written with.
    ImportLogWords words;
    // After the scan: the page count is known (called also for 0 pages).
    std::function<void(std::int32_t jobPages)> onPagesKnown;
    // Before the collection: the page loop starts (progress maximum, "Adressaten werden
    // gesammelt...").
    std::function<void(std::int32_t jobPages)> onCollectStart;
    // Before page i (1-based) is read: process pending events, progress value i, current number i.
    std::function<void(std::int32_t i)> onPage;
    // Asked after the scan and before every page: true stops the pass (failure Cancelled).
    std::function<bool()> cancelled;
    // The text the log records for a refused job (UTF-8).
    std::function<std::string(const Failure& refusal)> refusalText;
};

struct ImportResult {
    std::int32_t jobPages = 0;
    std::int32_t assignedPages = 0;
    bool completed = false; // the pass ran to its end over a job it could read
    // What stopped the pass (LogWrite, PageRead, TooManyPages, OutOfMemory, Cancelled),
    // SourceUnreadable
    // when the job could not be opened or scanned (the pass then ends like one over a job without
    // pages, but its result is not a job's), or NotPcl5 / DuplexSwitch when it refused the job
    // before reading a page: no pages, no addressees, zero counters, the job disconnected.
    std::optional<Failure> failure;
    std::vector<KeySpan> keySpans; // the key found on each page (index = page number - 1)
};

// Runs the whole pass on `srcFile` (UTF-8 file name; written to the log in Windows-1252).
// `keyFaultCounts` is reset when the job has pages; with 0 pages it is reset as well (an empty job leaves
// no counters of an earlier import behind). `startTime` is the time written to the log head.
// A job that is not PCL 5 is refused before its pages are scanned, a job that switches its duplex
// mode after the scan; the log then records the refusal after its head. The head notes a duplex
// job.
ImportResult RunImportPass(PclJob& pcl, const std::string& srcFile, const Settings& s,
                           AddresseeList& persons, KeyFaultCounts& keyFaultCounts, ImportLog& log,
                           std::time_t startTime, const ImportHooks& hooks);

// "dd.mm.yyyy hh:mm" in local time.
std::string FormatLogTime(std::time_t t);

} // namespace kuvrion
