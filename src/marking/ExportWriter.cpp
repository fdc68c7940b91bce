#include "marking/ExportWriter.h"

#include "addressees/AdrKey.h"
#include "addressees/AddresseeList.h"
#include "base/ByteText.h"
#include "marking/DmxContent.h"
#include "marking/DmxSymbol.h"
#include "marking/MarkDrawing.h"
#include "marking/OmeCode.h"
#include "pcljob/PclJob.h"
#include "settings/Settings.h"

#include <algorithm>
#include <cerrno>
#include <new>

namespace kuvrion {

namespace {

// The output goes to the sink in chunks of about this size: small writes per command would cost
// more than the scan itself on a large job.
constexpr std::size_t kChunk = 1 << 20;

class ChunkedSink {
public:
    explicit ChunkedSink(const std::function<bool(std::string_view)>& sink) : m_sink(sink)
    {
        m_buf.reserve(kChunk + 4096);
    }

    std::string& Buffer() { return m_buf; }

    // Appends bytes; a piece as large as a chunk goes to the sink directly, without a copy.
    bool Append(std::string_view bytes)
    {
        if (bytes.size() >= kChunk)
            return Flush() && m_sink(bytes);
        m_buf.append(bytes);
        return FlushIfFull();
    }
    bool FlushIfFull() { return m_buf.size() < kChunk || Flush(); }
    bool Flush()
    {
        if (m_buf.empty())
            return true;
        const bool ok = m_sink(m_buf);
        m_buf.clear();
        return ok;
    }

private:
    const std::function<bool(std::string_view)>& m_sink;
    std::string m_buf;
};

const Failure kSinkFailed{FailureKind::TargetWrite};

// The template of the 2D code, when it can be written with these settings at all.
Result<DmxTemplate> PrepareDmx(const Settings& s)
{
    if (!DmxAvailable())
        return Failure{FailureKind::DmxUnavailable};
    Result<DmxTemplate> tmpl = ParseDmxTemplate(s.dmxTemplate);
    if (tmpl && !PlaceDmx(s).inside)
        return Failure{FailureKind::DmxOutside};
    return tmpl;
}

} // namespace

Result<void> ExportJob(const PclJob& pcl, const AddresseeList& persons, std::int32_t exportCount,
                       const Settings& s, const std::function<bool(std::string_view)>& sink,
                       const ExportProgress& progress, ExportStats& stats,
                       const std::vector<KeySpan>* keySpans, const std::vector<bool>* keepEnvelopes,
                       const ExportRun* run)
{
    stats = ExportStats{};
    DmxTemplate dmx;
    if (s.useDmx) {
        Result<DmxTemplate> prepared = PrepareDmx(s);
        if (!prepared)
            return prepared.error();
        dmx = std::move(*prepared);
    }
    try {
        ChunkedSink out(sink);
        const DuplexMode mode = pcl.Duplex();
        const bool duplex = mode != DuplexMode::None;
        if (!out.Append(pcl.PclJobHead()) ||
            (duplex && pcl.DuplexSelectedInPage1() && !out.Append(DuplexSelection(mode)))) {
            return kSinkFailed;
        }

        const std::int32_t count = std::clamp(exportCount, 0, persons.Count());
        const ExportRun none;
        const ExportRun& r = run ? *run : none;
        // Sequence numbers run over the whole export; a closed-loop reprint counts the sheets it
        // leaves out, so that each sheet keeps its value.
        auto seqCounter = static_cast<std::int32_t>(r.seqStart);
        const bool closedLoop = keepEnvelopes && !r.renumber;
        std::size_t envelope = 0; // 0-based number of the envelope being filled
        const auto kept = [keepEnvelopes](std::size_t e) {
            return !keepEnvelopes || (e < keepEnvelopes->size() && (*keepEnvelopes)[e]);
        };
        bool sheetKept = true;
        std::string page;
        PageScratch scratch;
        for (std::int32_t i = 0; i < count; ++i) {
            if (progress)
                progress(i + 1);
            const Addressee& person = persons.At(i);
            const std::int32_t pages = person.Pages();
            const std::int32_t sheets = duplex ? (pages + 1) / 2 : pages;
            std::int32_t pagesInEnvelope = 0; // the envelope count restarts with every addressee
            for (std::int32_t j = 1; j <= pages; ++j) {
                // In a duplex job the odd pages of an addressee are fronts, the even ones backs.
                const bool front = !duplex || j % 2 == 1;
                const std::int32_t pageNr = person.PagePos(j);
                // A front starts a sheet: its place in the envelope, and whether it closes it.
                // A sheet of an envelope left out of a reprint only moves the envelope count.
                std::int32_t sheet = 0;
                std::int32_t inEnvelope = 0;
                const std::size_t sheetEnvelope = envelope;
                bool closes = false;
                if (front) {
                    sheet = duplex ? (j + 1) / 2 : j;
                    inEnvelope = ++pagesInEnvelope;
                    closes =
                        (s.limitEnvelopes && pagesInEnvelope == s.envelopeLimit) || sheet == sheets;
                    sheetKept = kept(envelope);
                    if (closes) {
                        pagesInEnvelope = 0;
                        ++envelope;
                    }
                }
                if (!sheetKept) {
                    if (front && closedLoop && s.useSeqchk)
                        NextSequenceBits(s, seqCounter);
                    continue;
                }
                if (!pcl.ValidPageNr(pageNr)) {
                    return Failure{FailureKind::PageMissing, 0, pageNr};
                }
                if (auto read = pcl.ReadPage(pageNr, page); !read) {
                    return read.error();
                }
                if (s.removeKey) {
                    const auto at = static_cast<std::size_t>(pageNr - 1);
                    if (keySpans && at < keySpans->size())
                        MaskKeySpan(page, (*keySpans)[at]);
                    else
                        MaskAdrKey(page, s, scratch);
                }

                WriteOffsetRegistration(out.Buffer(), s.stdLeftMm, s.stdTopMm);
                const bool ok = out.Append(page);
                std::string& buf = out.Buffer();
                if (front) {
                    DmxSheet values;
                    if (s.useDmx) {
                        const std::int32_t first = sheet - inEnvelope + 1;
                        values.envelope = static_cast<std::int64_t>(sheetEnvelope) + 1;
                        values.sheet = inEnvelope;
                        values.sheets =
                            s.limitEnvelopes
                                ? std::min<std::int32_t>(s.envelopeLimit, sheets - first + 1)
                                : sheets - first + 1;
                        values.closes = closes;
                        values.seq = stats.sheets + 1;
                        values.job = s.dmxJob;
                        values.id = person.Id();
                    }
                    const auto value = static_cast<std::uint32_t>(seqCounter);
                    if (stats.sheets == 0)
                        stats.seqFirst = value;
                    stats.seqLast = value;
                    const std::string_view feed = r.feed && sheetEnvelope < r.feed->size()
                                                      ? std::string_view((*r.feed)[sheetEnvelope])
                                                      : std::string_view();
                    const std::string code = ComposeSheetCode(s, seqCounter, closes, feed);
                    WriteOffsetRegistration(buf, s.omeLeftMm, s.omeTopMm);
                    DrawOmeCode(buf, s, code);
                    if (s.useDmx) {
                        if (auto drawn = DrawDmxForSheet(buf, s, dmx, values); !drawn)
                            return drawn.error();
                    }
                    ++stats.sheets;
                    if (closes)
                        ++stats.envelopes;
                }
                buf += formFeed; // every page ends with its form feed
                // An addressee that ends on a front gets a blank back, so the next one starts on
                // a sheet of its own.
                if (duplex && front && j == pages) {
                    buf += formFeed;
                    ++stats.blankPages;
                }
                if (!ok || !out.FlushIfFull()) {
                    return kSinkFailed;
                }
            }
            stats.exported = i + 1;
        }

        if (!out.Append(pcl.PclJobFoot()) || !out.Flush()) {
            return kSinkFailed;
        }
        stats.dmx = s.useDmx;
        stats.seqNext = static_cast<std::uint32_t>(seqCounter);
    } catch (const std::bad_alloc&) {
        return Failure{FailureKind::OutOfMemory};
    }
    return {};
}

} // namespace kuvrion
