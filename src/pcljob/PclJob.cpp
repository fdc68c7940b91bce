#include "pcljob/PclJob.h"

#include "pcljob/DuplexMode.h"
#include "pcljob/JobLanguage.h"
#include "pcljob/PclTokenizer.h"
#include "pcljob/ScanFollower.h"

#include <algorithm>
#include <cerrno>
#include <limits>

namespace kuvrion {

namespace {

// Reads after a page end are done in pieces of this size when the job head is searched.
constexpr std::int64_t kSearchBlock = 64 * 1024;

// A page end as the page table keeps it: the 0-based offset where the page's bytes end, plus one;
// negative when no FF follows.
constexpr std::int64_t PageEndCode(std::int64_t at, bool formFeed)
{
    return formFeed ? at + 1 : -(at + 1);
}
constexpr std::int64_t EndOffset(std::int64_t code)
{
    return (code < 0 ? -code : code) - 1;
}
// Where the next page begins: after the FF, or at the reset or exit that ended the page.
constexpr std::int64_t NextStart(std::int64_t code)
{
    return EndOffset(code) + (code > 0 ? 1 : 0);
}

// HP-GL/2 instructions that put ink on the page.
bool HpglDraws(unsigned char a, unsigned char b)
{
    static constexpr std::string_view kDrawing[] = {"AA", "AR", "AT", "BR", "BZ", "CI",
                                                    "EA", "EP", "ER", "EW", "FP", "LB",
                                                    "PD", "PE", "RA", "RR", "RT", "WG"};
    const char name[2] = {static_cast<char>(a), static_cast<char>(b)};
    return std::find(std::begin(kDrawing), std::end(kDrawing), std::string_view(name, 2)) !=
           std::end(kDrawing);
}

// Reads exactly `n` bytes at the 0-based `offset` of `source`. A short read means the file shrank
// under us: as much a read error as a failed read.
Result<void> ReadExactly(ByteSource& source, std::int64_t offset, std::int64_t n, std::string& out)
{
    out.resize(static_cast<std::size_t>(n));
    const Result<std::int64_t> got = n > 0 ? source.Read(offset, out.data(), n) : 0;
    if (!got || *got != n) {
        out.clear();
        Failure failure = got ? Failure{FailureKind::SourceUnreadable, EIO} : got.error();
        failure.err = failure.err != 0 ? failure.err : EIO;
        if (!failure.offset) {
            failure.offset = offset;
        }
        return failure;
    }
    return {};
}

// The leading PJL block of the first `region` bytes as a job head: up to "@PJL ENTER
// LANGUAGE=PCL" and the line ends after it, else up to its last @PJL line. Its length, 0 without.
Result<std::int64_t> PjlHeadLength(ByteSource& source, std::int64_t region)
{
    // The block is read in growing pieces until it ends: its length never depends on a read size.
    std::string bytes;
    for (std::int64_t len = std::min(region, kSearchBlock);; len = std::min(region, len * 2)) {
        if (auto read = ReadExactly(source, 0, len, bytes); !read) {
            return read.error();
        }
        const PjlBlock block = ReadPjlBlock(bytes);
        if (block.complete || len == region) {
            if (!block.present) {
                return std::int64_t{0};
            }
            const bool enterPcl =
                !block.enterLanguage.empty() && LanguageFromPjlName(block.enterLanguage).IsPcl5();
            return static_cast<std::int64_t>(enterPcl ? block.enterEnd : block.end);
        }
    }
}

} // namespace

// Follows the tokens of a job and finds its page ends as a printer ejects pages: at every FF in
// PCL mode, and at a printer reset or universal exit that follows printed content on the current
// page (the printer prints the partial page). Printed content: text other than blanks and control
// codes, a filled rectangle, raster rows or transparent data with bytes, HP-GL/2 drawing.
class PclJob::PageEndFinder : public PclTokenSink {
public:
    // While false, no page end is taken: the walk only learns where printed content lies.
    bool takePageEnds = true;

    // Once the page prints, text can change nothing until the next page end.
    bool WantsText() const { return !m_marked || !takePageEnds; }
    // Duplex and side selection, filled rectangles and raster graphics matter; the universal
    // exit never comes as a plain sequence. Other sequences are only counted.
    static constexpr bool Reads(unsigned char family, unsigned char group)
    {
        return (family == '&' && (group == 'l' || group == 'a')) ||
               (family == '*' && (group == 'c' || group == 'r')) || family == '%';
    }
    void SkippedSequence(std::int64_t, std::int64_t) { ++escapes; }

    [[gnu::always_inline]] void Text(std::int64_t at, const unsigned char* p, std::size_t n)
    {
        if (m_marked && takePageEnds) {
            return; // the page prints already; only the next page end matters
        }
        for (std::size_t i = n; i > 0; --i) {
            if (p[i - 1] > ' ' && p[i - 1] != 127) {
                Printed(at + static_cast<std::int64_t>(i));
                return;
            }
        }
    }
    void FormFeed(std::int64_t at)
    {
        if (takePageEnds)
            EndPage(at, true);
    }
    void Escape(std::int64_t at, std::int64_t, unsigned char c)
    {
        ++escapes;
        if (c == 'E') {
            // The first reset before anything is printed and before the first page end closes
            // the job head.
            if (headReset < 0 && !m_pastFirstPageEnd && !m_marked)
                headReset = at;
            PageBreakCandidate(at);
        }
    }
    [[gnu::always_inline]] void Command(const PclCommand& cmd)
    {
        if (cmd.first) {
            ++escapes;
        }
        if (cmd.malformed) {
            return;
        }
        switch (cmd.family) {
        case '%':
            if (cmd.IsUniversalExit()) {
                PageBreakCandidate(cmd.offset);
            }
            break;
        case '&':
            if (cmd.first) {
                m_sequenceStart = cmd.offset; // where a duplex command of the sequence stands
            }
            if (cmd.group == 'l' && cmd.Command() == 'S') {
                duplex.Select(cmd.Value().Negative() ? -1 : cmd.Value().Count(), m_sequenceStart,
                              !m_pastFirstPageEnd);
            } else if (cmd.group == 'a' && cmd.Command() == 'G') {
                duplex.SelectSide(m_sequenceStart);
            }
            break;
        case '*':
            // A filled rectangle, and the start of raster graphics, mark the page.
            if ((cmd.group == 'c' && cmd.Command() == 'P') ||
                (cmd.group == 'r' && cmd.Command() == 'A')) {
                Printed(cmd.offset + cmd.length);
            }
            break;
        default:
            break;
        }
    }
    void Data(std::int64_t at, const unsigned char*, std::int64_t n, const PclCommand& owner)
    {
        if (m_marked && takePageEnds) {
            return;
        }
        if (owner.Is('*', 'b', 'W') || owner.Is('*', 'b', 'V') || owner.Is('&', 'p', 'X'))
            Printed(at + n);
    }
    void HpglInstruction(unsigned char a, unsigned char b)
    {
        if (HpglDraws(a, b))
            m_hpglDrawing = true;
    }
    void Hpgl(std::int64_t at, const unsigned char*, std::size_t n)
    {
        if (m_hpglDrawing)
            Printed(at + static_cast<std::int64_t>(n));
        m_hpglDrawing = false;
    }

    // The page ends found, in order (PageEndCode).
    std::vector<std::int64_t> ends;
    std::int64_t escapes = 0;
    DuplexTracker duplex;
    // 0-based offset of the printer reset that closes the job head, -1 without.
    std::int64_t headReset = -1;
    // After the last page end: the end of the last printed content (-1 without), and the first
    // reset or universal exit after it (-1 without).
    std::int64_t lastPrinted = -1;
    std::int64_t exitAfterPrinted = -1;
    std::int64_t PageStart() const { return m_pageStart; }

private:
    void Printed(std::int64_t end)
    {
        m_marked = true;
        lastPrinted = end;
        exitAfterPrinted = -1;
    }
    // A printer reset or universal exit: it ejects a page that holds printed content.
    void PageBreakCandidate(std::int64_t at)
    {
        if (!m_marked) {
            return;
        }
        if (takePageEnds) {
            EndPage(at, false);
        } else if (exitAfterPrinted < 0) {
            exitAfterPrinted = at;
        }
    }
    void EndPage(std::int64_t at, bool formFeed)
    {
        if (ends.size() == ends.capacity()) {
            // Grow by half rather than double: the table is the one thing that grows with the job.
            ends.reserve(ends.size() + ends.size() / 2 + 1024);
        }
        ends.push_back(PageEndCode(at, formFeed));
        m_pageStart = at + (formFeed ? 1 : 0);
        m_pastFirstPageEnd = true;
        m_marked = false;
        lastPrinted = -1;
        exitAfterPrinted = -1;
    }

    std::int64_t m_pageStart = 0;
    std::int64_t m_sequenceStart = 0;
    bool m_marked = false;
    bool m_pastFirstPageEnd = false;
    bool m_hpglDrawing = false;
};

// The page end finder that also tells a follower what it reads.
class PclJob::FollowingFinder : public PageEndFinder {
public:
    explicit FollowingFinder(ScanFollower& follower) : m_follower(follower) {}

    static constexpr bool Reads(unsigned char family, unsigned char group)
    {
        return PageEndFinder::Reads(family, group) || family == '&' || family == '*';
    }
    void FormFeed(std::int64_t at)
    {
        const std::size_t before = ends.size();
        PageEndFinder::FormFeed(at);
        if (ends.size() != before)
            m_follower.PageEnd(at);
    }
    void Escape(std::int64_t at, std::int64_t length, unsigned char c)
    {
        const std::size_t before = ends.size();
        PageEndFinder::Escape(at, length, c);
        if (ends.size() != before)
            m_follower.PageEnd(at);
        if (c == 'E')
            m_follower.Reset();
    }
    void Command(const PclCommand& cmd)
    {
        if (cmd.family == '%') {
            // Of all commands only the universal exit ends a page.
            const std::size_t before = ends.size();
            PageEndFinder::Command(cmd);
            if (ends.size() != before)
                m_follower.PageEnd(cmd.offset);
            return;
        }
        PageEndFinder::Command(cmd);
        if (cmd.family == '&' || cmd.family == '*')
            m_follower.Command(cmd);
    }

private:
    ScanFollower& m_follower;
};

PclJob::PclJob(std::size_t blockSize) : m_blockSize(std::max<std::size_t>(blockSize, 1))
{
    Disconnect();
}

PclJob::~PclJob()
{
    Disconnect();
}

Result<void> PclJob::Connect(const std::string& fileName, ForeignJob foreign)
{
    Disconnect();
    auto source = OpenFileSource(fileName);
    if (!source) {
        Failure failure = source.error();
        failure.err = failure.err != 0 ? failure.err : EIO;
        return failure;
    }
    return Connect(std::move(*source), fileName, foreign);
}

Result<void> PclJob::Connect(const std::string& fileName, ForeignJob foreign,
                             ScanFollower& follower)
{
    m_follower = &follower;
    Result<void> connected = Connect(fileName, foreign);
    m_follower = nullptr;
    return connected;
}

Result<void> PclJob::Connect(std::unique_ptr<ByteSource> source, std::string name,
                              ForeignJob foreign)
{
    Disconnect();
    if (!source || source->Size() < 0) {
        return Failure{FailureKind::SourceUnreadable, EIO, 0, name};
    }
    m_source = std::move(source);
    m_fileName = std::move(name);
    m_fileSize = m_source->Size();
    Result<void> read;
    if (m_fileSize > 0) {
        std::string first;
        read = ReadExactly(*m_source, 0,
                           std::min(m_fileSize, static_cast<std::int64_t>(kLanguageProbeBytes)),
                           first);
        if (read) {
            m_language = DetectJobLanguage(first);
        }
    }
    if (read && m_fileSize > 0 && (m_language.IsPcl5() || foreign == ForeignJob::Scan)) {
        read = ScanPages();
    }
    if (!read) {
        Failure failure = read.error();
        failure.path = m_fileName; // the caller's message names it
        Disconnect();
        return failure;
    }
    return {};
}

void PclJob::Disconnect()
{
    m_firstPageStart = 0;
    m_pageEnd.clear();
    m_pageEnd.shrink_to_fit();
    m_pages = 0;
    m_head.clear();
    m_foot.clear();
    m_source.reset();
    m_fileName.clear();
    m_fileSize = 0;
    m_escapes = 0;
    m_language = JobLanguage{};
    m_duplex = DuplexMode::None;
    m_duplexInPage1 = false;
    m_duplexSwitches = false;
}

template <class Finder>
Result<void> PclJob::WalkFrom(PclTokenizer& tokenizer, Finder& finder,
                               const std::function<bool()>& stop)
{
    std::string block(m_blockSize, '\0');
    while (tokenizer.Position() < m_fileSize) {
        const std::int64_t at = tokenizer.Position();
        const std::int64_t n =
            std::min<std::int64_t>(static_cast<std::int64_t>(block.size()), m_fileSize - at);
        if (auto read = ReadExactly(*m_source, at, n, block); !read) {
            return read;
        }
        tokenizer.Feed(reinterpret_cast<const unsigned char*>(block.data()),
                       static_cast<std::size_t>(n), finder);
        // Data that reaches past the block is passed over unread.
        tokenizer.SkipData(m_fileSize - tokenizer.Position(), finder);
        if (stop && stop()) {
            return {};
        }
    }
    tokenizer.Finish(finder);
    return {};
}

Result<void> PclJob::ScanPages()
{
    m_followedWhole = false;
    if (m_follower != nullptr) {
        FollowingFinder finder(*m_follower);
        return ScanWith(finder);
    }
    PageEndFinder finder;
    return ScanWith(finder);
}

template <class Finder> Result<void> PclJob::ScanWith(Finder& finder)
{
    m_pageEnd.clear();
    m_pages = 0;
    m_escapes = 0;
    bool cancel = false;

    if (m_progress) {
        m_progress(0, m_fileSize, cancel);
    }
    if (cancel) {
        return {};
    }

    // The page count must stay countable; past the limit the rest becomes the tail.
    constexpr std::size_t kMaxPageEnds = std::numeric_limits<std::int32_t>::max() - 2;
    PclTokenizer tokenizer;
    std::size_t reported = 0; // page ends told to the progress handler
    bool stopped = false;
    const auto stop = [&] {
        for (; m_progress && reported < finder.ends.size(); ++reported) {
            const std::int64_t pageStart = reported == 0 ? 0 : NextStart(finder.ends[reported - 1]);
            m_progress(1, pageStart + 1, cancel);
            if (cancel) {
                break;
            }
        }
        stopped = cancel || finder.ends.size() >= kMaxPageEnds;
        return stopped;
    };
    if (auto walked = WalkFrom(tokenizer, finder, stop); !walked) {
        return walked;
    }
    if (stopped) {
        // The pages found so far stay (not the one whose report cancelled); the rest is the tail,
        // read once more without page ends for where its printed content lies (past the page
        // limit; not after a stop).
        finder.ends.resize(
            std::min({finder.ends.size(), kMaxPageEnds, cancel ? reported : finder.ends.size()}));
        const std::int64_t from = finder.ends.empty() ? 0 : NextStart(finder.ends.back());
        if (cancel) {
            // A stop asked for ends the reading at once: the rest counts as one printed page.
            finder.lastPrinted = m_fileSize - 1;
            finder.exitAfterPrinted = -1;
        } else {
            PclTokenizer tailTokenizer(from);
            PageEndFinder tail;
            tail.takePageEnds = false;
            if (auto walked = WalkFrom(tailTokenizer, tail, {}); !walked) {
                return walked;
            }
            finder.lastPrinted = tail.lastPrinted;
            finder.exitAfterPrinted = tail.exitAfterPrinted;
            if (finder.ends.empty()) {
                finder.headReset = tail.headReset;
            }
        }
    } else {
        m_followedWhole = true;
        if (m_progress) {
            m_progress(1, finder.PageStart() + 1, cancel);
        }
    }

    if (auto split = SplitJob(finder); !split) {
        return split;
    }
    if (m_progress) {
        m_progress(2, 0, cancel);
    }
    return {};
}

Result<void> PclJob::SplitJob(PageEndFinder& finder)
{
    // Job head: up to and including the first printer reset before the first page end, else the
    // leading PJL block of page 1 (of the whole job when it has no page end).
    m_pageEnd = std::move(finder.ends);
    const std::int64_t region1 = m_pageEnd.empty() ? m_fileSize : EndOffset(m_pageEnd.front());
    const Result<std::int64_t> head = finder.headReset >= 0
                                          ? Result<std::int64_t>(finder.headReset + 2)
                                          : PjlHeadLength(*m_source, region1);
    if (!head) {
        return head.error();
    }
    const std::int64_t headLen = *head;
    if (auto read = headLen > 0 ? ReadExactly(*m_source, 0, headLen, m_head) : Result<void>();
        !read) {
        return read;
    }

    // Pages: each from where the one before ended to its own end. A page 1 that holds nothing but
    // the head is dropped; its FF stays between the head and page 2.
    m_firstPageStart = headLen;
    if (!m_pageEnd.empty() && m_pageEnd.front() > 0 && region1 == headLen && headLen > 0) {
        m_pageEnd.erase(m_pageEnd.begin());
        m_firstPageStart = headLen + 1;
    }
    const std::int64_t tailStart =
        m_pageEnd.empty() ? m_firstPageStart : NextStart(m_pageEnd.back());

    // The tail: the foot, or one more page (without an FF of its own) and the foot.
    std::int64_t footStart = tailStart;
    if (finder.lastPrinted >= 0) {
        footStart = finder.exitAfterPrinted >= 0 ? finder.exitAfterPrinted : m_fileSize;
        m_pageEnd.push_back(PageEndCode(footStart, false));
    }
    m_pageEnd.shrink_to_fit();
    if (auto read = ReadExactly(*m_source, footStart, m_fileSize - footStart, m_foot); !read) {
        return read;
    }
    m_pages = static_cast<std::int32_t>(m_pageEnd.size());
    m_escapes = finder.escapes;

    // Duplex: the job's own selection, else the PJL settings of the head. Switches in the foot
    // print no page and do not count.
    const DuplexTracker& duplex = finder.duplex;
    if (duplex.Selected()) {
        m_duplex = duplex.Mode();
        m_duplexInPage1 = duplex.SelectOffset() >= headLen;
    } else {
        const PjlBlock pjl = ReadPjlBlock(m_head);
        m_duplex = !pjl.duplexOn   ? DuplexMode::None
                   : pjl.shortEdge ? DuplexMode::ShortEdge
                                   : DuplexMode::LongEdge;
    }
    m_duplexSwitches = duplex.FirstSwitch() >= 0 && duplex.FirstSwitch() < footStart;
    return {};
}

std::int64_t PclJob::Start(std::int32_t pageNumber) const
{
    const auto n = static_cast<std::size_t>(pageNumber) - 1;
    return n == 0 ? m_firstPageStart : NextStart(m_pageEnd[n - 1]);
}

std::int64_t PclJob::Length(std::int32_t pageNumber) const
{
    return EndOffset(m_pageEnd[static_cast<std::size_t>(pageNumber) - 1]) - Start(pageNumber);
}

Result<std::int64_t> PclJob::PageSeek(std::int32_t pageNumber) const
{
    if (!ValidPageNr(pageNumber)) {
        return Failure{FailureKind::PageMissing, 0, pageNumber, m_fileName};
    }
    return Start(pageNumber) + 1;
}

Result<std::int64_t> PclJob::PageSize(std::int32_t pageNumber) const
{
    if (!ValidPageNr(pageNumber)) {
        return Failure{FailureKind::PageMissing, 0, pageNumber, m_fileName};
    }
    return Length(pageNumber);
}

bool PclJob::PageEndsWithFormFeed(std::int32_t pageNumber) const
{
    return ValidPageNr(pageNumber) && m_pageEnd[static_cast<std::size_t>(pageNumber) - 1] > 0;
}

Result<void> PclJob::ReadPage(std::int32_t pageNumber, std::string& out) const
{
    out.clear();
    const auto fail = [pageNumber](int err) {
        return Failure{FailureKind::PageRead, err, pageNumber};
    };
    if (!m_source) {
        return fail(EBADF);
    }
    if (!ValidPageNr(pageNumber)) {
        return fail(EINVAL);
    }
    if (auto read = ReadExactly(*m_source, Start(pageNumber), Length(pageNumber), out); !read) {
        Failure failure = fail(read.error().err);
        failure.offset = read.error().offset;
        return failure;
    }
    return {};
}

bool PclJob::SourceChanged() const
{
    return m_source && m_source->Changed();
}

} // namespace kuvrion
