// Proof of a marked job before it is printed: reads every sheet as a printer would place its
// rectangles, decodes the OME code from the bars found in the code column and checks it against
// the code rules, the positions the settings give, the clear zone around the column, the sheets'
// orientation and top margin, the sequence and the envelope limit. Reports values only; the
// command layer turns them into messages.
#pragma once

#include "marking/PclPlacement.h"
#include <cstdint>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace kuvrion {

class PclJob;
class AddresseeList;
struct Settings;
struct Envelope;

enum class VerifyKind {
    Code,           // missing or wrong code
    Position,       // a bar away from where the settings put it
    ForeignMark,    // a filled area of the page in the clear zone of the code column
    Orientation,    // landscape, or another top margin than the job's first sheet
    Sequence,       // the sequence bits do not follow the previous sheet
    EnvelopeLimit,  // more sheets in one envelope than the limit
    SourceMismatch, // sheets or envelopes differ from the export of the source job
    Dmx,            // the 2D code is missing, unreadable or has the wrong content
};

// What exactly is wrong, for the message.
enum class VerifyDetail {
    None,
    NoCode,         // no bar at all
    BaseCode,       // the base pattern is neither collecting nor closing
    ReservedBar,    // a bar on a stop or feed position
    Parity,         // odd number of bars
    Security,       // security bar missing
    Unclosed,       // the job ends with an envelope that no sheet closes
    Landscape,      // the sheet is not printed in portrait
    TopMargin,      // the sheet has another top margin than the job's first sheet
    SheetCount,     // source: another number of sheets
    EnvelopeCount,  // source: another number of envelopes
    EnvelopeSheets, // source: an envelope with another number of sheets
    DmxMissing,     // no 2D code where the settings put it
    DmxUnreadable,  // marks there, but no symbol can be read
    DmxContent,     // a symbol with other content than the template gives the sheet
    DmxUnchecked,   // the 2D code cannot be checked (template, or built without it)
    FeedBar,        // the feed bars of a closing sheet differ from its envelope's rules
};

struct VerifyProblem {
    std::int64_t sheet = 0; // 1-based; 0 when it concerns the whole job
    VerifyKind kind = VerifyKind::Code;
    VerifyDetail detail = VerifyDetail::None;
    std::string found;     // code string, figure or position as found ...
    std::string expected;  // ... and as expected; empty where it does not apply
    double distanceMm = 0; // Position: how far the bar lies from its place
    // A change of orientation, top margin or offset registration is reported once, at the sheet
    // where it takes effect: the number of sheets in a row it holds for, that sheet included
    // (0 for every other problem).
    std::int64_t sheetsAffected = 0;
};

struct VerifyReport {
    std::int64_t sheets = 0;
    std::vector<std::int32_t> envelopeSheets; // sheets per envelope, in job order
    std::vector<VerifyProblem> problems;      // in sheet order
};

// Called once per page read (1-based) with the page count; false stops the check.
using VerifyProgress = std::function<bool(std::int32_t page, std::int32_t pages)>;

constexpr double kBarToleranceMm = 0.3;
constexpr double kClearZoneMm = 2.0;

// Checks the job `marked` is connected to. In a duplex job the odd pages are fronts (the sheets)
// and the even pages backs, which carry no code and are not checked. False when a page cannot be
// read or `progress` stopped the check (the report then holds what was checked before).
// The job's first sheet sets the reference for the top margin and the offset registration. A sheet
// where another one takes effect gets one Orientation (TopMargin) or Position problem, counting
// the sheets it holds for; so does every run of sheets in one landscape orientation (Landscape).
// On the sheets of such a run no bar is judged, but the code is still read (past a changed offset
// as well) for the envelopes and the sequence.
// With use_dmx every front's 2D code is read from the rectangles in its area and checked against
// the template: the envelopes the bars give are numbered from 1 and the ID is not known, unless
// `envelopes` (the export's envelopes, in job order) gives their numbers and IDs.
// The job's first sheet carries `seqStart`, or sets the start with its own value when not given;
// the sheets after it count on. `envelopes` with sequence values give each sheet's value instead,
// counted from the first envelope's (a closed-loop reprint jumps between envelopes), and with
// feeder rules in force the feed bars of each closing sheet; without them any feed bars on a
// closing sheet are taken while the settings have feeder rules.
bool VerifyMarkedJob(const PclJob& marked, const Settings& s, VerifyReport& report,
                     const VerifyProgress& progress = {},
                     const std::vector<Envelope>* envelopes = nullptr,
                     std::optional<std::uint32_t> seqStart = std::nullopt);

// The same check read in one pass: Connect scans the marked job and places its rectangles on the
// way, so Finish need not read the pages again (it does when the scanner's page table differs
// from the pages placed: a dropped page 1, a last page without an end, a duplex job).
class VerifyMarked {
public:
    // `progress` is told each page as it is read (the page count is not known then: 0; what it
    // returns is not asked: the scan stops through the scanner's progress handler).
    explicit VerifyMarked(const Settings& s, VerifyProgress progress = {});
    ~VerifyMarked();
    VerifyMarked(const VerifyMarked&) = delete;
    VerifyMarked& operator=(const VerifyMarked&) = delete;

    // Connects `marked` to the job at `path`, as PclJob::Connect does (ForeignJob::Stop).
    bool Connect(PclJob& marked, const std::string& path);
    // The report, as VerifyMarkedJob gives it; false when a page cannot be read.
    bool Finish(const PclJob& marked, VerifyReport& report,
                const std::vector<Envelope>* envelopes = nullptr,
                std::optional<std::uint32_t> seqStart = std::nullopt);

    class SheetReader;

private:
    class Follower;
    const Settings& m_s;
    VerifyProgress m_progress;
    std::unique_ptr<Follower> m_follower;
};

// The content of the 2D code read from the rectangles of one front; nullopt when none is read.
// `marked` tells whether any dark mark lies where the symbol's finder column starts.
std::optional<std::string> ReadDmx(const std::vector<PlacedRect>& rects, const Settings& s,
                                   bool& marked);

// Adds source-mismatch problems where the report's sheets and envelopes differ from `expected`.
void CompareWithExport(VerifyReport& report, const std::vector<std::int32_t>& expected);

} // namespace kuvrion
