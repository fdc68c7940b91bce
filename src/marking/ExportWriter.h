// The marked job: head, then every page of the first exportCount addressees, each page wrapped in
// offset registrations and followed by its OME code and a form feed, then the foot.
//
// A duplex job is printed on sheets of two pages (front, back) of one addressee: every addressee
// starts on a front, an addressee that ends on a front gets a blank back (a lone form feed), the
// code is drawn on fronts only and composed once per sheet, and the envelope limit counts sheets.
// The marked job selects the duplex mode right after the head when the source selected it in
// page 1, which may not be exported.
#pragma once

#include "base/Result.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace kuvrion {

class PclJob;
class AddresseeList;
struct Settings;
struct KeySpan;

struct ExportStats {
    std::int32_t exported = 0;   // addressees written
    std::int64_t sheets = 0;     // sheets printed (pages written in a simplex job)
    std::int64_t envelopes = 0;  // closing sheets written
    std::int64_t blankPages = 0; // blank backs written (duplex jobs)
    bool dmx = false;            // the 2D code was drawn on every sheet
    // Sequence values (use_seqchk): of the first and the last sheet written, and the one after.
    std::uint32_t seqFirst = 0;
    std::uint32_t seqLast = 0;
    std::uint32_t seqNext = 0;
};

// What an export takes beyond the job and the settings: where its sequence starts, how a reprint
// numbers its sheets and which feeders each envelope gets.
struct ExportRun {
    // The sequence value of the full export's first sheet (of the reprint's first sheet when it
    // renumbers); below 2^seqchk_count.
    std::uint32_t seqStart = 0;
    // A reprint numbers its sheets on from seqStart (open loop) instead of giving each the value
    // it has in the full export (closed loop).
    bool renumber = false;
    // The feed pattern of each envelope of the full export, by 0-based number; nullptr: none.
    const std::vector<std::string>* feed = nullptr;
};

// Called before addressee i (1-based) is written; the front end repaints there.
using ExportProgress = std::function<void(std::int32_t i)>;

// Writes the job through `sink` (which returns false on a write failure). exportCount is bounded
// to 0..Count. Fails at the first failure and stops there: PageRead (with the system error) or
// PageMissing for a page of an addressee, TargetWrite when the sink fails (the sink knows the
// system error), OutOfMemory.
// `keySpans`, when given, are the keys the import found on each page with the key settings still
// in force; the masking then uses them instead of searching every page again.
// `keepEnvelopes`, when given, writes only the envelopes whose 0-based number (counted over the
// whole export) is true there: a reprint. `run` gives the sequence start (0 when nullptr), whether
// a reprint renumbers, and the feed patterns.
// With use_dmx every front also gets the 2D code after the bars; refused before anything is
// written with DmxUnavailable, DmxTemplate or DmxOutside, and at the sheet with DmxTooWide or
// DmxTooLong. Its envelope numbers count over the whole export, also in a reprint.
Result<void> ExportJob(const PclJob& pcl, const AddresseeList& persons, std::int32_t exportCount,
                       const Settings& s, const std::function<bool(std::string_view)>& sink,
                       const ExportProgress& progress, ExportStats& stats,
                       const std::vector<KeySpan>* keySpans = nullptr,
                       const std::vector<bool>* keepEnvelopes = nullptr,
                       const ExportRun* run = nullptr);

} // namespace kuvrion
