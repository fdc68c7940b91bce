#include "marking/Verify.h"

#include "addressees/AddresseeList.h"
#include "base/ByteText.h"
#include "base/Numbers.h"
#include "marking/CodeRules.h"
#include "marking/DmxContent.h"
#include "marking/DmxSymbol.h"
#include "marking/EnvelopeList.h"
#include "marking/PclPlacement.h"
#include "pcljob/ScanFollower.h"
#include "pcljob/PclJob.h"
#include "settings/FeedRule.h"
#include "settings/Settings.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <tuple>
#include <utility>

namespace kuvrion {

namespace {

// Where the settings put the code column, in millimetres from the sheet's left edge and from the
// top margin (the bars' vertical positions count from it on a printer).
struct Column {
    bool drawn = true; // false: less than 1 mm of a bar inside the print area, no code at all
    double x = 0, y = 0, w = 0, h = 0, step = 0;
    std::int32_t n = 0;
    double zoneLeft = 0, zoneRight = 0, zoneTop = 0, zoneBottom = 0;
};

Column ExpectedColumn(const Settings& s)
{
    Column c;
    const BarStart start = BarStartOf(s);
    c.drawn = start.drawn;
    const float x = start.x;
    const float y = start.y;
    const float length = start.length;
    // The printer gets whole decipoints, and the step between bars is the sum of the rounded gap
    // and thickness.
    const double A = RoundToLong(s.omeA * pclUnitsPerMm);
    const double D = RoundToLong(s.omeD * pclUnitsPerMm);
    c.x =
        s.pclLeftMm + (RoundToLong(s.omeLeftMm * pclUnitsPerMm) + RoundToLong(x * pclUnitsPerMm)) /
                          kDecipointsPerMm;
    c.y = s.pclTopMm + (RoundToLong(s.omeTopMm * pclUnitsPerMm) + RoundToLong(y * pclUnitsPerMm)) /
                           kDecipointsPerMm;
    c.w = RoundToLong(length * pclUnitsPerMm) / kDecipointsPerMm;
    c.h = D / kDecipointsPerMm;
    c.step = (A + D) / kDecipointsPerMm;
    c.n = std::max(s.codeLength, 0);
    c.zoneLeft = c.x - kClearZoneMm;
    c.zoneRight = c.x + c.w + kClearZoneMm;
    c.zoneTop = c.y - kClearZoneMm;
    c.zoneBottom = c.y + std::max(c.n - 1, 0) * c.step + c.h + kClearZoneMm;
    return c;
}

// Positions of the blocks in a code string (0-based; -1 when absent).
struct CodeLayout {
    std::int32_t n = 0;
    std::int32_t feed = -1, feedBars = 0;
    std::int32_t seq = -1, seqBits = 0;
    std::int32_t parity = -1, security = -1;
};

CodeLayout LayoutOf(const Settings& s)
{
    CodeLayout l;
    l.n = std::max(s.codeLength, 0);
    std::int32_t p = s.useStop ? 3 : 2;
    if (s.useSupply) {
        l.feed = p;
        l.feedBars = s.supplyCount;
        p += s.supplyCount;
    }
    if (s.useSeqchk) {
        l.seq = p;
        l.seqBits = s.seqchkCount;
        p += s.seqchkCount;
    }
    if (s.useParity)
        l.parity = p++;
    if (s.useSecurity)
        l.security = p;
    return l;
}

bool InCode(const CodeLayout& l, std::int32_t i)
{
    return i >= 0 && i < l.n;
}

// The code the rules give a sheet: base pattern, blank stop position, the feed pattern on a
// closing sheet (blank otherwise), the sequence value, the security bar and even parity over the
// whole code.
std::string RuleCode(const Settings& s, const CodeLayout& l, bool closes, std::uint32_t seq,
                     std::string_view feed = {})
{
    std::string code(static_cast<std::size_t>(l.n), '0');
    const std::string& base = closes ? s.envelopCode : s.collectCode;
    for (std::size_t i = 0; i < base.size() && i < code.size(); ++i)
        code[i] = base[i] == '1' ? '1' : '0';
    for (std::int32_t k = 0; closes && k < l.feedBars && k < static_cast<std::int32_t>(feed.size());
         ++k) {
        if (InCode(l, l.feed + k))
            code[static_cast<std::size_t>(l.feed + k)] =
                feed[static_cast<std::size_t>(k)] == '1' ? '1' : '0';
    }
    for (std::int32_t k = 0; k < l.seqBits; ++k) {
        const std::int32_t at = l.seq + l.seqBits - 1 - k;
        if (InCode(l, at))
            code[static_cast<std::size_t>(at)] = (seq >> k) & 1u ? '1' : '0';
    }
    if (InCode(l, l.security))
        code[static_cast<std::size_t>(l.security)] = '1';
    if (InCode(l, l.parity) && std::count(code.begin(), code.end(), '1') % 2 != 0)
        code[static_cast<std::size_t>(l.parity)] = '1';
    return code;
}

// The feed bars of a code, one character per feeder.
std::string FeedOf(const CodeLayout& l, const std::string& code)
{
    std::string feed(static_cast<std::size_t>(std::max(l.feedBars, 0)), '0');
    for (std::int32_t k = 0; k < l.feedBars; ++k) {
        if (InCode(l, l.feed + k))
            feed[static_cast<std::size_t>(k)] = code[static_cast<std::size_t>(l.feed + k)];
    }
    return feed;
}

std::uint32_t SequenceOf(const CodeLayout& l, const std::string& code)
{
    std::uint32_t v = 0;
    for (std::int32_t k = 0; k < l.seqBits; ++k) {
        const std::int32_t at = l.seq + k;
        v = (v << 1) | (InCode(l, at) && code[static_cast<std::size_t>(at)] == '1' ? 1u : 0u);
    }
    return v;
}

std::string Fixed(double v)
{
    char buf[32];
    const auto res = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, 2);
    return std::string(buf, res.ptr);
}

std::string Point(double x, double y)
{
    return Fixed(x) + "/" + Fixed(y);
}

struct SheetRecord {
    std::string code;
    std::int32_t orientation = 0;
    double topMarginMm = 0;
    double leftOffsetMm = 0, topOffsetMm = 0; // offset registration
};

// The offset registration in force after `printer` followed a page. The placement reader tells it
// only through where a rectangle lands, so a copy of it fills one at the cursor's home.
std::pair<double, double> OffsetOf(PclPlacement printer, const Settings& s)
{
    std::vector<PlacedRect> probe;
    printer.NewPage();
    printer.Follow("\x1b*c1H\x1b*c1V\x1b*c0P", probe);
    if (probe.empty())
        return {0, 0};
    return {probe.front().xMm - s.pclLeftMm,
            probe.front().yMm - probe.front().topMarginMm - s.pclTopMm};
}

// The rectangles of a page as they would lie with the offset registration of the job's first
// sheet: a changed offset moves the whole page, and the code is still read past it.
std::vector<PlacedRect> Shifted(std::vector<PlacedRect> rects, double dx, double dy)
{
    for (PlacedRect& r : rects) {
        r.xMm -= dx;
        r.yMm -= dy;
    }
    return rects;
}

bool Overlaps(const PlacedRect& r, double top, const Column& c)
{
    return r.xMm < c.zoneRight && r.xMm + r.wMm > c.zoneLeft && top < c.zoneBottom &&
           top + r.hMm > c.zoneTop;
}

// Reads the bars of one front (`rects`, moved back by a changed offset registration): fills
// `sheet.code` and adds position and clear-zone problems.
void ReadBars(const std::vector<PlacedRect>& rects, const Column& c, std::int64_t sheetNr,
              SheetRecord& sheet, std::vector<VerifyProblem>& pending)
{
    sheet.code.assign(static_cast<std::size_t>(c.n), '0');
    if (!c.drawn || c.n == 0)
        return;
    for (const PlacedRect& r : rects) {
        const double top = r.yMm - r.topMarginMm; // from the top margin, like the column
        if (r.white || !Overlaps(r, top, c))
            continue;
        const bool barSized =
            std::abs(r.wMm - c.w) <= kBarToleranceMm && std::abs(r.hMm - c.h) <= kBarToleranceMm;
        const double slotF = std::round((top - c.y) / c.step);
        const auto slot = static_cast<std::int32_t>(std::clamp(slotF, 0.0, c.n - 1.0));
        const double dx = r.xMm - c.x;
        const double dy = top - (c.y + slot * c.step);
        if (!barSized || std::abs(dy) >= c.step / 2 || std::abs(dx) > kClearZoneMm) {
            pending.push_back({sheetNr,
                               VerifyKind::ForeignMark,
                               VerifyDetail::None,
                               Point(r.xMm, r.yMm) + " " + Fixed(r.wMm) + "x" + Fixed(r.hMm),
                               {},
                               0});
            continue;
        }
        sheet.code[static_cast<std::size_t>(slot)] = '1';
        const double distance = std::hypot(dx, dy);
        if (distance > kBarToleranceMm) {
            pending.push_back({sheetNr, VerifyKind::Position, VerifyDetail::None,
                               Point(r.xMm, r.yMm), Point(c.x, c.y + slot * c.step + r.topMarginMm),
                               distance});
        }
    }
}

// One side of a sheet's set-up that moves the code column: its orientation, its top margin or its
// offset registration; nullopt where it is not judged.
using Setup = std::optional<std::pair<double, double>>;

bool Same(const Setup& a, const Setup& b)
{
    constexpr double kToleranceMm = 0.01;
    return a.has_value() == b.has_value() &&
           (!a || (std::abs(a->first - b->first) <= kToleranceMm &&
                   std::abs(a->second - b->second) <= kToleranceMm));
}

// Calls `change` once for every run of sheets with one set-up `setup` other than `reference`, with
// its first sheet (0-based) and its length.
void EachChange(std::size_t sheets, const std::function<Setup(std::size_t)>& setup,
                const Setup& reference,
                const std::function<void(std::size_t, std::int64_t)>& change)
{
    for (std::size_t i = 0; i < sheets;) {
        const Setup here = setup(i);
        std::size_t end = i + 1;
        while (end < sheets && Same(setup(end), here))
            ++end;
        if (here && !Same(here, reference))
            change(i, static_cast<std::int64_t>(end - i));
        i = end;
    }
}

// A turned sheet, another top margin or another offset registration puts the whole column
// elsewhere on every sheet it holds for: each change is reported once, at the sheet where it takes
// effect, against the job's own set-up on its first sheet (portrait). True for every sheet that
// has that set-up.
std::vector<bool> CheckSetup(const Settings& s, const std::vector<SheetRecord>& sheets,
                             VerifyReport& report)
{
    std::vector<bool> placed(sheets.size(), true);
    if (sheets.empty())
        return placed;
    const Column c = ExpectedColumn(s);
    const SheetRecord& first = sheets.front();
    auto add = [&](std::size_t i, std::int64_t count, VerifyKind kind, VerifyDetail detail,
                   std::string found, std::string expected, double distance) {
        report.problems.push_back({static_cast<std::int64_t>(i) + 1, kind, detail, std::move(found),
                                   std::move(expected), distance, count});
        for (std::size_t k = i; k < i + static_cast<std::size_t>(count); ++k)
            placed[k] = false;
    };
    const auto portrait = [&sheets](std::size_t i) { return sheets[i].orientation == 0; };
    EachChange(
        sheets.size(),
        [&](std::size_t i) {
            return Setup{{sheets[i].orientation, 0}};
        },
        Setup{{0, 0}},
        [&](std::size_t i, std::int64_t count) {
            add(i, count, VerifyKind::Orientation, VerifyDetail::Landscape,
                std::to_string(sheets[i].orientation), "0", 0);
        });
    EachChange(
        sheets.size(),
        [&](std::size_t i) {
            return portrait(i) ? Setup{{sheets[i].topMarginMm, 0}} : Setup{};
        },
        Setup{{first.topMarginMm, 0}},
        [&](std::size_t i, std::int64_t count) {
            add(i, count, VerifyKind::Orientation, VerifyDetail::TopMargin,
                Fixed(sheets[i].topMarginMm), Fixed(first.topMarginMm), 0);
        });
    // Another offset registration moves every bar alike: where the first bar lands, and where it
    // belongs on the job's own set-up.
    EachChange(
        sheets.size(),
        [&](std::size_t i) {
            return portrait(i) ? Setup{{sheets[i].leftOffsetMm, sheets[i].topOffsetMm}} : Setup{};
        },
        Setup{{first.leftOffsetMm, first.topOffsetMm}},
        [&](std::size_t i, std::int64_t count) {
            const SheetRecord& sheet = sheets[i];
            const double y = c.y + sheet.topMarginMm;
            add(i, count, VerifyKind::Position, VerifyDetail::None,
                Point(c.x + sheet.leftOffsetMm, y + sheet.topOffsetMm),
                Point(c.x + first.leftOffsetMm, y + first.topOffsetMm),
                std::hypot(sheet.leftOffsetMm - first.leftOffsetMm,
                           sheet.topOffsetMm - first.topOffsetMm));
        });
    return placed;
}

void CheckCodes(const Settings& s, const std::vector<SheetRecord>& sheets,
                std::vector<VerifyProblem>& pending, VerifyReport& report,
                const std::vector<Envelope>* envelopes, std::optional<std::uint32_t> seqStart)
{
    const CodeLayout l = LayoutOf(s);
    const std::uint32_t seqMask = l.seqBits > 0 ? (1u << l.seqBits) - 1 : 0;
    const std::vector<bool> placedAsSet = CheckSetup(s, sheets, report);
    // With feeder rules a closing sheet may carry feed bars; which ones, only the export's
    // envelopes tell.
    const bool feedRules = FeedRulesInForce(s);
    std::size_t nextPending = 0;
    std::uint32_t seqExpected = seqStart.value_or(0) & seqMask;
    // The envelopes' values count from their first one; the job's first sheet (or `seqStart`)
    // says where that one lies.
    std::uint32_t shift = 0;
    if (envelopes && !envelopes->empty() && envelopes->front().seqFirst && !sheets.empty()) {
        const std::uint32_t first = seqStart ? *seqStart : SequenceOf(l, sheets.front().code);
        shift = first - *envelopes->front().seqFirst;
    }
    std::int32_t run = 0;
    std::int64_t runStart = 1;
    auto add = [&report](std::int64_t sheet, VerifyKind kind, VerifyDetail detail,
                         std::string found, std::string expected) {
        report.problems.push_back({sheet, kind, detail, std::move(found), std::move(expected)});
    };
    auto closeEnvelope = [&](std::int64_t lastSheet) {
        report.envelopeSheets.push_back(run);
        if (s.limitEnvelopes && run > s.envelopeLimit)
            add(runStart + s.envelopeLimit, VerifyKind::EnvelopeLimit, VerifyDetail::None,
                std::to_string(run), std::to_string(s.envelopeLimit));
        run = 0;
        runStart = lastSheet + 1;
    };

    for (std::size_t i = 0; i < sheets.size(); ++i) {
        const SheetRecord& sheet = sheets[i];
        const auto nr = static_cast<std::int64_t>(i) + 1;
        // On a sheet whose set-up moved the column that alone is reported (CheckSetup); its
        // bars are still read for the envelopes and the sequence.
        const bool placed = placedAsSet[i];
        for (; nextPending < pending.size() && pending[nextPending].sheet == nr; ++nextPending) {
            if (placed)
                report.problems.push_back(std::move(pending[nextPending]));
        }

        const std::string& code = sheet.code;
        // The export's envelope this sheet lies in, when known: it gives the sequence value of
        // each of its sheets (a closed-loop reprint jumps between envelopes) and the feed bars.
        const std::size_t at = report.envelopeSheets.size();
        const Envelope* known = envelopes && at < envelopes->size() ? &(*envelopes)[at] : nullptr;
        if (known && known->seqFirst)
            seqExpected = (*known->seqFirst + shift + static_cast<std::uint32_t>(run)) & seqMask;
        else if (i == 0 && !seqStart)
            seqExpected = SequenceOf(l, code); // the job's first sheet sets the start
        const std::string collect = RuleCode(s, l, false, seqExpected);
        const std::string closing =
            RuleCode(s, l, true, seqExpected, known ? std::string_view(known->feed) : "");
        const std::size_t baseLen = std::min<std::size_t>(2, code.size());
        bool closes = false;
        std::uint32_t seq = seqExpected;
        if (code.find('1') == std::string::npos) {
            if (placed)
                add(nr, VerifyKind::Code, VerifyDetail::NoCode, code, collect);
        } else if (code.compare(0, baseLen, closing, 0, baseLen) != 0 &&
                   code.compare(0, baseLen, collect, 0, baseLen) != 0) {
            if (placed)
                add(nr, VerifyKind::Code, VerifyDetail::BaseCode, code, collect);
        } else {
            closes =
                code.compare(0, baseLen, closing, 0, baseLen) == 0 &&
                (closing.compare(0, baseLen, collect, 0, baseLen) != 0 || i + 1 == sheets.size());
            seq = SequenceOf(l, code);
            const std::string found = FeedOf(l, code);
            const std::string rules = RuleCode(s, l, closes, seq, feedRules ? found : "");
            const std::string& expected = closes ? closing : collect;
            std::string wantedFeed = known ? known->feed : found;
            wantedFeed.resize(found.size(), '0');
            if (code != rules && placed) {
                VerifyDetail d = VerifyDetail::ReservedBar;
                if (InCode(l, l.security) && code[static_cast<std::size_t>(l.security)] != '1')
                    d = VerifyDetail::Security;
                else if (std::count(code.begin(), code.end(), '1') % 2 != 0 && l.parity >= 0)
                    d = VerifyDetail::Parity;
                add(nr, VerifyKind::Code, d, code, expected);
            } else if (closes && feedRules && found != wantedFeed && placed) {
                add(nr, VerifyKind::Code, VerifyDetail::FeedBar, code,
                    RuleCode(s, l, true, seq, wantedFeed));
            } else if (l.seqBits > 0 && seq != seqExpected && placed) {
                add(nr, VerifyKind::Sequence, VerifyDetail::None, code, expected);
            }
        }
        seqExpected = (seq + 1) & seqMask;
        ++run;
        if (closes)
            closeEnvelope(nr);
    }
    if (run > 0) {
        add(static_cast<std::int64_t>(sheets.size()), VerifyKind::Code, VerifyDetail::Unclosed,
            sheets.back().code, "");
        closeEnvelope(static_cast<std::int64_t>(sheets.size()));
    }
    std::stable_sort(
        report.problems.begin(), report.problems.end(),
        [](const VerifyProblem& a, const VerifyProblem& b) { return a.sheet < b.sheet; });
}

// The symbol's grid on the sheet: module edges in millimetres from the sheet's left edge and from
// the top margin, as the drawing puts them.
struct DmxGrid {
    DmxPlace place;
    double leftMm = 0, topMm = 0; // where the PCL origin and the offsets put decipoint 0
    double X(std::int32_t k) const { return leftMm + place.EdgeX(k) / kDecipointsPerMm; }
    double Y(std::int32_t k) const { return topMm + place.EdgeY(k) / kDecipointsPerMm; }
};

DmxGrid GridOf(const Settings& s)
{
    DmxGrid g;
    g.place = PlaceDmx(s);
    g.leftMm = s.pclLeftMm + RoundToLong(s.omeLeftMm * pclUnitsPerMm) / kDecipointsPerMm;
    g.topMm = s.pclTopMm + RoundToLong(s.omeTopMm * pclUnitsPerMm) / kDecipointsPerMm;
    return g;
}

constexpr std::int32_t kDmxMaxModules = 144;
constexpr std::int32_t kPixelsPerModule = 4;

// The symbol's size in modules from its finder column: the dark runs of the rows start at its left
// edge and reach down without a gap from its top edge. 0 when nothing starts there.
std::int32_t FinderModules(const std::vector<PlacedRect>& rects, const DmxGrid& g)
{
    const double m = g.place.module;
    const double x0 = g.X(0), y0 = g.Y(0);
    std::vector<std::pair<double, double>> column; // top, bottom
    for (const PlacedRect& r : rects) {
        const double top = r.yMm - r.topMarginMm;
        if (!r.white && std::abs(r.xMm - x0) < m / 2 && top > y0 - m / 2)
            column.emplace_back(top, top + r.hMm);
    }
    std::sort(column.begin(), column.end());
    double bottom = y0;
    bool started = false;
    for (const auto& [top, end] : column) {
        if (top > bottom + m / 2)
            break;
        started = started || std::abs(top - y0) < m / 2;
        if (!started)
            continue;
        bottom = std::max(bottom, end);
    }
    if (!started)
        return 0;
    return std::clamp(static_cast<std::int32_t>(std::lround((bottom - y0) / m)), 0, kDmxMaxModules);
}

// The 2D code of every sheet, checked against the template for the envelope the bars (or the
// export's envelopes) put the sheet in.
void CheckDmx(const Settings& s, const std::vector<std::optional<std::string>>& found,
              const std::vector<bool>& marked, const std::vector<Envelope>* envelopes,
              VerifyReport& report)
{
    auto add = [&report](std::int64_t sheet, VerifyDetail detail, std::string f, std::string e) {
        report.problems.push_back({sheet, VerifyKind::Dmx, detail, std::move(f), std::move(e)});
    };
    const Result<DmxTemplate> parsed = ParseDmxTemplate(s.dmxTemplate);
    if (!DmxAvailable() || !parsed) {
        add(0, VerifyDetail::DmxUnchecked, Cp1252ToUtf8(s.dmxTemplate), "");
        return;
    }
    const DmxTemplate& tmpl = *parsed;
    std::int64_t sheetNr = 0;
    for (std::size_t e = 0; e < report.envelopeSheets.size(); ++e) {
        const std::int32_t n = report.envelopeSheets[e];
        const Envelope* known = envelopes && e < envelopes->size() ? &(*envelopes)[e] : nullptr;
        for (std::int32_t k = 1; k <= n && static_cast<std::size_t>(sheetNr) < found.size(); ++k) {
            const auto at = static_cast<std::size_t>(sheetNr++);
            DmxSheet v;
            v.envelope = known ? known->number : static_cast<std::int64_t>(e) + 1;
            v.sheet = k;
            v.sheets = n;
            v.closes = k == n;
            v.seq = sheetNr;
            v.job = s.dmxJob;
            if (known)
                v.id = known->id;
            if (!DmxContent(tmpl, v) && !found[at])
                continue; // a value too wide for its field: the export writes no such sheet
            // What the symbol should hold; a value too wide for its field is shown whole.
            std::string expected = DmxContentUnchecked(tmpl, v);
            if (!known && tmpl.NamesId()) {
                DmxSheet shown = v;
                shown.id = "*";
                expected = DmxContentUnchecked(tmpl, shown);
            }
            if (!found[at]) {
                add(sheetNr, marked[at] ? VerifyDetail::DmxUnreadable : VerifyDetail::DmxMissing,
                    "", Cp1252ToUtf8(expected));
            } else if (!DmxMatches(tmpl, v, known != nullptr, *found[at])) {
                add(sheetNr, VerifyDetail::DmxContent, Cp1252ToUtf8(*found[at]),
                    Cp1252ToUtf8(expected));
            }
        }
    }
    std::stable_sort(
        report.problems.begin(), report.problems.end(),
        [](const VerifyProblem& a, const VerifyProblem& b) { return a.sheet < b.sheet; });
}

} // namespace

std::optional<std::string> ReadDmx(const std::vector<PlacedRect>& rects, const Settings& s,
                                   bool& marked)
{
    const DmxGrid g = GridOf(s);
    const std::int32_t n = FinderModules(rects, g);
    marked = n > 0;
    if (n == 0)
        return std::nullopt;
    // The symbol and its quiet zone as a printer would print them, white or black, last on top.
    const std::int32_t q = std::max(s.dmxQuiet, 1);
    const std::int32_t side = (n + 2 * q) * kPixelsPerModule;
    const double left = g.X(-q), top = g.Y(-q);
    const double pixel = (g.X(n + q) - left) / side;
    const double pixelY = (g.Y(n + q) - top) / side;
    std::vector<std::uint8_t> image(static_cast<std::size_t>(side) * side, 255);
    const auto span = [side](double from, double to, double origin, double size) {
        const auto a = static_cast<std::int32_t>(
            std::clamp(std::ceil((from - origin) / size - 0.5), 0.0, static_cast<double>(side)));
        const auto b = static_cast<std::int32_t>(
            std::clamp(std::ceil((to - origin) / size - 0.5), 0.0, static_cast<double>(side)));
        return std::pair{a, b};
    };
    for (const PlacedRect& r : rects) {
        const double rTop = r.yMm - r.topMarginMm;
        const auto [x0, x1] = span(r.xMm, r.xMm + r.wMm, left, pixel);
        const auto [y0, y1] = span(rTop, rTop + r.hMm, top, pixelY);
        for (std::int32_t y = y0; y < y1; ++y) {
            std::fill_n(image.begin() + static_cast<std::ptrdiff_t>(y) * side + x0, x1 - x0,
                        r.white ? 255 : 0);
        }
    }
    return DecodeDmx(image, side, side);
}

// Reads the sheets of a marked job page by page, as a printer leaves each: the bars, the set-up and
// the 2D code of every front; the checks over all sheets come at the end.
class VerifyMarked::SheetReader {
public:
    SheetReader(const Settings& s, bool duplex)
        : m_s(s), m_column(ExpectedColumn(s)), m_duplex(duplex)
    {
    }

    // Page `page` (1-based) as `printer` left it, with the rectangles filled on it.
    void Page(std::int32_t page, const PclPlacement& printer, std::vector<PlacedRect>& rects)
    {
        if (m_duplex && page % 2 == 0)
            return; // a back: no code
        SheetRecord sheet;
        sheet.orientation = printer.Orientation();
        sheet.topMarginMm = printer.TopMarginMm();
        std::tie(sheet.leftOffsetMm, sheet.topOffsetMm) = OffsetOf(printer, m_s);
        const double dx = m_sheets.empty() ? 0 : sheet.leftOffsetMm - m_sheets.front().leftOffsetMm;
        const double dy = m_sheets.empty() ? 0 : sheet.topOffsetMm - m_sheets.front().topOffsetMm;
        if (dx != 0 || dy != 0)
            rects = Shifted(std::move(rects), dx, dy);
        ReadBars(rects, m_column, static_cast<std::int64_t>(m_sheets.size()) + 1, sheet, m_pending);
        m_sheets.push_back(std::move(sheet));
        if (m_s.useDmx) {
            bool dark = false;
            m_dmxFound.push_back(ReadDmx(rects, m_s, dark));
            m_dmxMarked.push_back(dark);
        }
    }

    void Finish(VerifyReport& report, const std::vector<Envelope>* envelopes,
                std::optional<std::uint32_t> seqStart)
    {
        report = VerifyReport{};
        report.sheets = static_cast<std::int64_t>(m_sheets.size());
        CheckCodes(m_s, m_sheets, m_pending, report, envelopes, seqStart);
        if (m_s.useDmx)
            CheckDmx(m_s, m_dmxFound, m_dmxMarked, envelopes, report);
    }

private:
    const Settings& m_s;
    const Column m_column;
    const bool m_duplex;
    std::vector<SheetRecord> m_sheets;
    std::vector<VerifyProblem> m_pending;
    std::vector<std::optional<std::string>> m_dmxFound;
    std::vector<bool> m_dmxMarked;
};

// Places the rectangles while the scanner reads the job, and hands each page to the sheet reader
// at its end, as if no page 1 were dropped and every page had an end of its own (Finish checks
// that the scanner's page table says so).
class VerifyMarked::Follower : public ScanFollower {
public:
    Follower(const Settings& s, const VerifyProgress& progress)
        : m_printer(s.pclLeftMm, s.pclTopMm), m_reader(s, false), m_progress(progress)
    {
    }

    void Reset() override { m_printer.Reset(); }
    void Command(const PclCommand& cmd) override { m_printer.Take(cmd, m_rects); }
    void PageEnd(std::int64_t) override
    {
        if (m_progress)
            m_progress(m_pages + 1, 0);
        m_reader.Page(++m_pages, m_printer, m_rects);
        m_rects.clear();
        m_printer.NewPage();
    }

    std::int32_t Pages() const { return m_pages; }
    SheetReader& Reader() { return m_reader; }

private:
    PclPlacement m_printer;
    std::vector<PlacedRect> m_rects;
    SheetReader m_reader;
    const VerifyProgress& m_progress;
    std::int32_t m_pages = 0;
};

VerifyMarked::VerifyMarked(const Settings& s, VerifyProgress progress)
    : m_s(s), m_progress(std::move(progress)), m_follower(std::make_unique<Follower>(s, m_progress))
{
}

VerifyMarked::~VerifyMarked() = default;

bool VerifyMarked::Connect(PclJob& marked, const std::string& path)
{
    return marked.Connect(path, PclJob::ForeignJob::Stop, *m_follower).has_value();
}

bool VerifyMarked::Finish(const PclJob& marked, VerifyReport& report,
                          const std::vector<Envelope>* envelopes,
                          std::optional<std::uint32_t> seqStart)
{
    // The pages placed on the way are the scanner's pages when it dropped no page 1, every page
    // has an end of its own and no page is a back.
    const bool placed = marked.FollowedWhole() && marked.Pages() == m_follower->Pages() &&
                        !marked.LastPageUnended() && marked.Duplex() == DuplexMode::None;
    if (placed) {
        m_follower->Reader().Finish(report, envelopes, seqStart);
        return true;
    }
    return VerifyMarkedJob(marked, m_s, report, m_progress, envelopes, seqStart);
}

bool VerifyMarkedJob(const PclJob& marked, const Settings& s, VerifyReport& report,
                     const VerifyProgress& progress, const std::vector<Envelope>* envelopes,
                     std::optional<std::uint32_t> seqStart)
{
    VerifyMarked::SheetReader reader(s, marked.Duplex() != DuplexMode::None);
    PclPlacement printer(s.pclLeftMm, s.pclTopMm);
    std::vector<PlacedRect> rects;
    printer.Follow(marked.PclJobHead(), rects);
    std::string page;
    bool ok = true;
    const std::int32_t pages = marked.Pages();
    for (std::int32_t i = 1; i <= pages; ++i) {
        if ((progress && !progress(i, pages)) || !marked.ReadPage(i, page)) {
            ok = false;
            break;
        }
        rects.clear();
        printer.NewPage();
        printer.Follow(page, rects);
        reader.Page(i, printer, rects);
    }
    reader.Finish(report, envelopes, seqStart);
    return ok;
}

void CompareWithExport(VerifyReport& report, const std::vector<std::int32_t>& expected)
{
    auto add = [&report](std::int64_t sheet, VerifyDetail detail, std::int64_t found,
                         std::int64_t want) {
        report.problems.push_back({sheet, VerifyKind::SourceMismatch, detail, std::to_string(found),
                                   std::to_string(want)});
    };
    std::int64_t total = 0;
    for (const std::int32_t n : expected)
        total += n;
    if (total != report.sheets)
        add(0, VerifyDetail::SheetCount, report.sheets, total);
    if (expected.size() != report.envelopeSheets.size())
        add(0, VerifyDetail::EnvelopeCount, static_cast<std::int64_t>(report.envelopeSheets.size()),
            static_cast<std::int64_t>(expected.size()));
    std::int64_t first = 1;
    for (std::size_t i = 0; i < expected.size() && i < report.envelopeSheets.size(); ++i) {
        if (expected[i] != report.envelopeSheets[i]) {
            add(first, VerifyDetail::EnvelopeSheets, report.envelopeSheets[i], expected[i]);
            break; // after the first difference every envelope shifts
        }
        first += expected[i];
    }
    std::stable_sort(
        report.problems.begin(), report.problems.end(),
        [](const VerifyProblem& a, const VerifyProblem& b) { return a.sheet < b.sheet; });
}

} // namespace kuvrion
