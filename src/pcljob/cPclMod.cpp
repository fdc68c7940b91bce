#include "pcljob/cPclMod.h"

#include "pcljob/DuplexMode.h"
#include "pcljob/JobLanguage.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cerrno>
#include <cstring>
#include <limits>

// KUVRION_NO_SIMD builds the plain byte loops alone, so tests can check them against the same
// expectations.
#if defined(__SSE2__) && !defined(KUVRION_NO_SIMD)
#define KUVRION_SSE2 1
#include <emmintrin.h>
#endif

namespace kuvrion {

namespace {

constexpr unsigned char kEsc = 27;
constexpr unsigned char kFF = 12;
constexpr unsigned char kReset = 'E';

// The largest byte count a field can give. Far beyond any file, so an absurd count simply reaches
// past the end of the data, and adding it to a position cannot overflow.
constexpr std::int64_t kMaxCount = 1'000'000'000'000'000'000;

// Reads after a page end are done in pieces of this size when the job head is searched.
constexpr std::int64_t kSearchBlock = 64 * 1024;

enum CharClass : unsigned char { kOtherChar, kNumberChar, kParamChar, kTermChar };

constexpr std::array<unsigned char, 256> MakeClassTable()
{
    std::array<unsigned char, 256> t{};
    for (int c = 0; c < 256; ++c) {
        unsigned char k = kOtherChar;
        if ((c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.') {
            k = kNumberChar;
        } else if (c >= 96 && c <= 126) {
            k = kParamChar;
        } else if (c >= 64 && c <= 94) {
            k = kTermChar;
        }
        t[static_cast<std::size_t>(c)] = k;
    }
    return t;
}

constexpr std::array<unsigned char, 256> kCharClass = MakeClassTable();

// The value of one field, read as far as it forms a number: an optional sign, digits, an optional
// "." and more digits ("1.5.3" reads 1.5, "+-3" reads 0). Only the byte count of a "W" field is
// ever used, so the value is kept as a saturated whole part plus what rounding needs.
class FieldNumber {
public:
    void Clear()
    {
        m_state = kStart;
        m_negative = false;
        m_whole = 0;
        m_firstFraction = -1;
        m_fractionRest = false;
    }

    void Feed(unsigned char c)
    {
        if (c >= '0' && c <= '9') {
            const int d = c - '0';
            switch (m_state) {
            case kStart:
            case kSign:
                m_state = kWhole;
                m_whole = d;
                break;
            case kWhole:
                m_whole =
                    m_whole > kMaxCount / 10 ? kMaxCount : std::min(m_whole * 10 + d, kMaxCount);
                break;
            case kFraction:
                if (m_firstFraction < 0) {
                    m_firstFraction = d;
                } else if (d != 0) {
                    m_fractionRest = true;
                }
                break;
            case kBroken:
                break;
            }
        } else if (c == '.') {
            m_state = m_state == kFraction || m_state == kBroken ? kBroken : kFraction;
        } else { // sign
            if (m_state == kStart) {
                m_state = kSign;
                m_negative = c == '-';
            } else {
                m_state = kBroken;
            }
        }
    }

    // The byte count: rounded to nearest with halves to the even number; negative counts are 0,
    // since they would move the read position backwards.
    std::int64_t Count() const
    {
        std::int64_t v = m_whole;
        if (m_firstFraction > 5 ||
            (m_firstFraction == 5 && (m_fractionRest || (m_whole & 1) != 0))) {
            v = std::min(v + 1, kMaxCount);
        }
        return m_negative ? 0 : v;
    }
    bool Negative() const { return m_negative; }

private:
    enum State : unsigned char { kStart, kSign, kWhole, kFraction, kBroken };
    State m_state = kStart;
    bool m_negative = false;
    std::int64_t m_whole = 0;
    int m_firstFraction = -1;
    bool m_fractionRest = false;
};

// Reads one escape sequence, the ESC already passed. Resumable: Feed may be called with one piece
// of the bytes after another, so a sequence may span read blocks. (Sequences that lie within one
// block take the faster ReadInBlock below; both follow the same rules.)
//
// ESC c1: a two-character sequence unless c1 is in 33..47. Then c2: a digit or sign starts the
// first field, 96..126 is the group character, anything else ends the sequence. Then fields of
// digits, signs and points, each closed by a parameter character (96..126) or the termination
// character (64..94); any other character ends the sequence as malformed and is consumed with it.
//
// With a tracker given, the duplex commands of the sequence (ESC &l#S, ESC &a#G, also inside a
// combined sequence as "s" and "g") are handed to it.
class EscReader {
public:
    struct Watch {
        DuplexTracker* tracker = nullptr;
        std::int64_t offset = 0; // 0-based file offset of the ESC
        bool beforeFirstPageEnd = false;
    };

    void Begin() { Begin(Watch{}); }
    void Begin(Watch watch)
    {
        m_step = kC1;
        m_dataCount = 0;
        m_last = 0;
        m_c1 = 0;
        m_group = 0;
        m_watch = watch;
        m_field.Clear();
    }

    bool Done() const { return m_step == kDone; }
    // Bytes of binary data that follow a sequence ended by "W".
    std::int64_t DataCount() const { return m_dataCount; }
    // An FF that closed the sequence (as c1, c2 or offending character) still ends the page.
    bool EndedByFF() const { return m_step == kDone && m_last == kFF; }

    // Consumes bytes of [p, end) until the sequence is complete; returns the first byte not used.
    const unsigned char* Feed(const unsigned char* p, const unsigned char* end)
    {
        while (p < end && m_step != kDone) {
            unsigned char c = *p++;
            switch (m_step) {
            case kC1:
                if (c < 33 || c > 47) {
                    Finish(c);
                } else {
                    m_c1 = c;
                    m_step = kC2;
                }
                break;
            case kC2:
                if ((c >= '0' && c <= '9') || c == '+' || c == '-') {
                    m_field.Feed(c);
                    m_step = kFields;
                } else if (c >= 96 && c <= 126) {
                    m_group = c;
                    m_step = kFields;
                } else {
                    Finish(c);
                }
                break;
            case kFields:
                // Stays here while the bytes last.
                for (;;) {
                    const unsigned char k = kCharClass[c];
                    if (k == kNumberChar) {
                        m_field.Feed(c);
                    } else if (k == kParamChar) {
                        NoteCommand(c);
                        m_field.Clear();
                    } else {
                        NoteCommand(c);
                        if (c == 'W') {
                            m_dataCount = m_field.Count();
                        }
                        Finish(c);
                        break;
                    }
                    if (p == end) {
                        break;
                    }
                    c = *p++;
                }
                break;
            case kDone:
                break;
            }
        }
        return p;
    }

private:
    enum Step : unsigned char { kC1, kC2, kFields, kDone };

    void Finish(unsigned char c)
    {
        m_step = kDone;
        m_last = c;
    }

    // `c` closes the current field; parameter and termination characters differ by case only.
    void NoteCommand(unsigned char c)
    {
        if (m_watch.tracker == nullptr || m_c1 != '&') {
            return;
        }
        const auto command = static_cast<unsigned char>(c | 0x20);
        if (m_group == 'l' && command == 's') {
            m_watch.tracker->Select(m_field.Negative() ? -1 : m_field.Count(), m_watch.offset,
                                    m_watch.beforeFirstPageEnd);
        } else if (m_group == 'a' && command == 'g') {
            m_watch.tracker->SelectSide(m_watch.offset);
        }
    }

    Step m_step = kDone;
    std::int64_t m_dataCount = 0;
    unsigned char m_last = 0;
    unsigned char m_c1 = 0;
    unsigned char m_group = 0;
    Watch m_watch;
    FieldNumber m_field;
};

// True when the sequence [esc, end) may carry a duplex command: ESC &l with an "S" or ESC &a with
// a "G" among its characters (then EscReader with a tracker reads it). Cheap enough to ask of
// every sequence the fast paths pass.
inline bool MayCarryDuplexCommand(const unsigned char* esc, const unsigned char* end)
{
    if (end - esc < 4 || esc[1] != '&') {
        return false;
    }
    const unsigned char command = esc[2] == 'l' ? 's' : esc[2] == 'a' ? 'g' : 0;
    if (command == 0) {
        return false;
    }
    for (const unsigned char* q = esc + 3; q < end; ++q) {
        if ((*q | 0x20) == command) {
            return true;
        }
    }
    return false;
}

// First ESC (and with kWithFF also FF) in [p, end), or null.
template <bool kWithFF>
const unsigned char* FindMark(const unsigned char* p, const unsigned char* end)
{
#ifdef KUVRION_SSE2
    const __m128i esc = _mm_set1_epi8(static_cast<char>(kEsc));
    const __m128i ff = _mm_set1_epi8(static_cast<char>(kWithFF ? kFF : kEsc));
    while (end - p >= 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const int mask =
            _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(v, esc), _mm_cmpeq_epi8(v, ff)));
        if (mask != 0) {
            return p + std::countr_zero(static_cast<unsigned>(mask));
        }
        p += 16;
    }
#endif
    for (; p < end; ++p) {
        if (*p == kEsc || (kWithFF && *p == kFF)) {
            return p;
        }
    }
    return nullptr;
}

inline const unsigned char* FindEscOrFF(const unsigned char* p, const unsigned char* end)
{
    return FindMark<true>(p, end);
}

// The byte count of a "W" field.
std::int64_t CountOf(const unsigned char* field, const unsigned char* fieldEnd)
{
    FieldNumber number;
    number.Clear();
    for (; field < fieldEnd; ++field) {
        number.Feed(*field);
    }
    return number.Count();
}

// The first character in [q, end) that is neither part of a number nor a parameter character,
// i.e. the one that closes a parameterized sequence; `end` when there is none.
inline const unsigned char* FindClosing(const unsigned char* q, const unsigned char* end)
{
    for (; q < end; ++q) {
        const unsigned char k = kCharClass[*q];
        if (k != kNumberChar && k != kParamChar) {
            return q;
        }
    }
    return end;
}

// Reads a sequence that lies wholly in [p, end), p just after its ESC: the fast path for the
// common case, with no state kept between characters and a field looked at only when it ends in
// "W". False when the sequence runs past `end`; `p` is then unchanged and the resumable reader
// takes over. `last` is the character that closed the sequence.
inline bool ReadInBlock(const unsigned char*& p, const unsigned char* end, std::int64_t& dataCount,
                        unsigned char& last)
{
    const unsigned char* q = p;
    if (q == end) {
        return false;
    }
    unsigned char c = *q++;
    if (c >= 33 && c <= 47) {
        if (q == end) {
            return false;
        }
        c = *q++;
        const bool number = (c >= '0' && c <= '9') || c == '+' || c == '-';
        if (number || (c >= 96 && c <= 126)) {
            const unsigned char* const fields = number ? q - 1 : q;
            const unsigned char* close = FindClosing(q, end);
            if (close == end) {
                return false;
            }
            q = close + 1;
            c = *close;
            if (c == 'W') {
                // The count is the W field's own value: the field begins after the last
                // parameter character.
                const unsigned char* field = close;
                while (field > fields && kCharClass[field[-1]] != kParamChar) {
                    --field;
                }
                dataCount = CountOf(field, close);
            }
        }
    }
    last = c;
    p = q;
    return true;
}

// Walks the job block by block and reports page ends; counts the escape sequences on the way.
// Binary data of "W" sequences may hold FF and ESC bytes, so it is skipped by count and never
// searched.
class JobWalker {
public:
    JobWalker(ByteSource& source, std::int64_t fileSize, std::size_t blockSize)
        : m_source(source), m_fileSize(fileSize), m_buf(std::max<std::size_t>(blockSize, 1))
    {
    }

    // Goes on to the next page end: true with `pageEnd` = the 1-based position just after the FF.
    // False at the end of the data (also when a sequence or its binary data is cut off by it) or
    // on a read error (Failed). Accepted sequences are added to `escapes` either way.
    bool Next(std::int64_t& pageEnd, std::int64_t& escapes)
    {
        for (;;) {
            if (m_pos >= m_len && !Fill(m_bufStart + m_len)) {
                return false;
            }
            const After after = WalkBlock(escapes);
            if (after == kEnd) {
                return false;
            }
            if (after == kPageEnd) {
                pageEnd = m_bufStart + static_cast<std::int64_t>(m_pos) + 1;
                m_pastFirstPageEnd = true;
                return true;
            }
        }
    }

    bool Failed() const { return m_error != 0; }
    int Error() const { return m_error; }
    const DuplexTracker& Duplex() const { return m_duplex; }

private:
    enum After { kGoOn, kPageEnd, kEnd };

    // Walks the block from m_pos. kGoOn when the block is used up or left behind by a skip over W
    // data; kPageEnd with m_pos just after the FF.
    After WalkBlock(std::int64_t& escapes)
    {
        const unsigned char* const b = m_buf.data();
        const unsigned char* const end = b + m_len;
        const unsigned char* p = b + m_pos;
        // Right after W data comes mostly the next W sequence (raster rows): no window then.
        bool windows = true;
        for (;;) {
            // Plain sequences go by 64 bytes at a time; whatever needs more care (a page end, W
            // data, a sequence reaching past the window) comes back here one by one.
            while (windows && end - p >= kWindow) {
                const unsigned char* const stop = WalkWindow(p, escapes);
                if (stop == p + kWindow) {
                    p = stop;
                    continue;
                }
                p = stop;
                break;
            }
            const unsigned char* hit = FindEscOrFF(p, end);
            if (hit == nullptr) {
                m_pos = m_len;
                return kGoOn;
            }
            p = hit + 1;
            if (*hit == kFF) {
                m_pos = static_cast<std::size_t>(p - b);
                return kPageEnd;
            }
            std::int64_t count = 0;
            unsigned char last = 0;
            if (!ReadInBlock(p, end, count, last)) {
                m_pos = static_cast<std::size_t>(p - b);
                return ReadAcrossBlocks(escapes);
            }
            if (MayCarryDuplexCommand(hit, p)) {
                EscReader reader;
                reader.Begin(WatchAt(m_bufStart + (hit - b)));
                reader.Feed(hit + 1, p);
            }
            windows = count == 0;
            if (count == 0 && last != kFF) {
                ++escapes;
                continue;
            }
            m_pos = static_cast<std::size_t>(p - b);
            const After after = Finish(count, last == kFF, escapes);
            if (after != kGoOn || m_len == 0) {
                return after;
            }
            p = b + m_pos;
        }
    }

    static constexpr std::ptrdiff_t kWindow = 64;

    // Walks the 64 bytes at `base`, counting the sequences that lie wholly inside, carry no data
    // and are not closed by an FF. Returns base + 64 when it got through, else the ESC or FF that
    // the caller has to handle itself.
    static const unsigned char* WalkWindow(const unsigned char* base, std::int64_t& escapes)
    {
#ifdef KUVRION_SSE2
        __m128i v[4];
        std::uint64_t marks = 0; // ESC and FF bytes
        for (int k = 0; k < 4; ++k) {
            v[k] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(base + 16 * k));
            const __m128i mark = _mm_or_si128(_mm_cmpeq_epi8(v[k], _mm_set1_epi8(kEsc)),
                                              _mm_cmpeq_epi8(v[k], _mm_set1_epi8(kFF)));
            marks |= static_cast<std::uint64_t>(static_cast<unsigned>(_mm_movemask_epi8(mark)))
                     << (16 * k);
        }
        if (marks == 0) {
            return base + kWindow; // plain text (or a hole of zeros)
        }
        std::uint64_t closing = 0; // bytes that are neither number nor parameter characters
        const __m128i zero = _mm_setzero_si128();
        const auto inRange = [zero](__m128i x, char lo, char span) {
            const __m128i t = _mm_sub_epi8(x, _mm_set1_epi8(lo));
            return _mm_cmpeq_epi8(_mm_subs_epu8(t, _mm_set1_epi8(span)), zero);
        };
        for (int k = 0; k < 4; ++k) {
            const __m128i field = _mm_or_si128(
                _mm_or_si128(inRange(v[k], '0', 9), inRange(v[k], 96, 30)),
                _mm_or_si128(inRange(v[k], '-', 1), _mm_cmpeq_epi8(v[k], _mm_set1_epi8('+'))));
            closing |= static_cast<std::uint64_t>(static_cast<unsigned>(_mm_movemask_epi8(field)) ^
                                                  0xFFFFu)
                       << (16 * k);
        }
        std::int64_t found = 0;
        while (marks != 0) {
            const int i = std::countr_zero(marks);
            const unsigned char* const hit = base + i;
            if (*hit == kFF || i > kWindow - 4) {
                escapes += found;
                return hit;
            }
            int next = i + 2; // index after the sequence
            unsigned char last = hit[1];
            if (last >= 33 && last <= 47) {
                last = hit[2];
                next = i + 3;
                if (kCharClass[last] == kParamChar ||
                    (kCharClass[last] == kNumberChar && last != '.')) {
                    const std::uint64_t rest = closing & (~std::uint64_t{0} << (i + 3));
                    if (rest == 0) {
                        escapes += found;
                        return hit; // closes past the window
                    }
                    next = std::countr_zero(rest) + 1;
                    last = base[next - 1];
                }
            }
            if (last == 'W' || last == kFF || MayCarryDuplexCommand(hit, base + next)) {
                escapes += found;
                return hit;
            }
            ++found;
            marks &= next < kWindow ? ~std::uint64_t{0} << next : 0;
        }
        escapes += found;
#else
        (void)escapes;
        if (FindEscOrFF(base, base + kWindow) != nullptr) {
            return FindEscOrFF(base, base + kWindow);
        }
#endif
        return base + kWindow;
    }

    // A sequence whose ESC lies just before m_pos and which goes on past the block.
    After ReadAcrossBlocks(std::int64_t& escapes)
    {
        m_reader.Begin(WatchAt(m_bufStart + static_cast<std::int64_t>(m_pos) - 1));
        for (;;) {
            const unsigned char* b = m_buf.data();
            const unsigned char* q = m_reader.Feed(b + m_pos, b + m_len);
            m_pos = static_cast<std::size_t>(q - b);
            if (m_reader.Done()) {
                break;
            }
            if (!Fill(m_bufStart + m_len)) {
                return kEnd; // the data ends inside the sequence
            }
        }
        return Finish(m_reader.DataCount(), m_reader.EndedByFF(), escapes);
    }

    // The sequence ended just before m_pos: skips its W data and counts it.
    After Finish(std::int64_t count, bool endedByFF, std::int64_t& escapes)
    {
        if (count > 0) {
            const auto rest = static_cast<std::int64_t>(m_len - m_pos);
            if (count <= rest) {
                m_pos += static_cast<std::size_t>(count);
            } else {
                const std::int64_t next = m_bufStart + static_cast<std::int64_t>(m_pos) + count;
                if (next > m_fileSize) {
                    return kEnd; // the data reaches past the end of the file
                }
                // Continue behind the data; the next round reads from there.
                m_bufStart = next;
                m_len = 0;
                m_pos = 0;
            }
        }
        ++escapes;
        return endedByFF ? kPageEnd : kGoOn;
    }

    EscReader::Watch WatchAt(std::int64_t escOffset)
    {
        return {&m_duplex, escOffset, !m_pastFirstPageEnd};
    }

    bool Fill(std::int64_t offset)
    {
        if (offset >= m_fileSize) {
            return false;
        }
        const std::int64_t n =
            std::min(static_cast<std::int64_t>(m_buf.size()), m_fileSize - offset);
        const std::int64_t got = m_source.Read(offset, reinterpret_cast<char*>(m_buf.data()), n);
        if (got != n) {
            // A short read means the file shrank under us: as much a read error as a failed read.
            const int err = got < 0 ? m_source.LastError() : 0;
            m_error = err != 0 ? err : EIO;
            return false;
        }
        m_bufStart = offset;
        m_len = static_cast<std::size_t>(n);
        m_pos = 0;
        return true;
    }

    ByteSource& m_source;
    std::int64_t m_fileSize;
    std::vector<unsigned char> m_buf;
    std::int64_t m_bufStart = 0; // 0-based file offset of m_buf[0]
    std::size_t m_len = 0;       // bytes in m_buf
    std::size_t m_pos = 0;       // read position in m_buf
    EscReader m_reader;
    int m_error = 0;
    DuplexTracker m_duplex;
    bool m_pastFirstPageEnd = false;
};

// Reads exactly `n` bytes at the 0-based `offset`; false with `err` set otherwise.
bool ReadExactly(ByteSource& source, std::int64_t offset, std::int64_t n, std::string& out,
                 int& err)
{
    out.resize(static_cast<std::size_t>(n));
    const std::int64_t got = n > 0 ? source.Read(offset, out.data(), n) : 0;
    if (got != n) {
        const int e = got < 0 ? source.LastError() : 0;
        err = e != 0 ? e : EIO;
        out.clear();
        return false;
    }
    return true;
}

// 0-based offset of the first printer reset (ESC E) in the `n` bytes at `offset`, or -1. Searched
// piece by piece so that a long first page is never held whole.
std::int64_t FindReset(ByteSource& source, std::int64_t offset, std::int64_t n, int& err)
{
    std::string piece;
    bool escBefore = false; // the previous piece ended with ESC
    for (std::int64_t done = 0; done < n;) {
        const std::int64_t len = std::min(kSearchBlock, n - done);
        if (!ReadExactly(source, offset + done, len, piece, err)) {
            return -1;
        }
        if (escBefore && piece[0] == static_cast<char>(kReset)) {
            return offset + done - 1;
        }
        const std::string_view view(piece);
        const std::size_t at = view.find("\033E");
        if (at != std::string_view::npos) {
            return offset + done + static_cast<std::int64_t>(at);
        }
        escBefore = piece.back() == static_cast<char>(kEsc);
        done += len;
    }
    return -1;
}

// The job head in the first `region` bytes: up to and including the first printer reset; without
// one, the leading PJL block (up to "@PJL ENTER LANGUAGE=PCL" and the line ends after it, else up
// to its last @PJL line). Its length, 0 without a head.
std::int64_t FindHead(ByteSource& source, std::int64_t region, int& err)
{
    const std::int64_t at = FindReset(source, 0, region, err);
    if (err != 0) {
        return 0;
    }
    if (at >= 0) {
        return at + 2;
    }
    // The block is read in growing pieces until it ends: its length never depends on a read size.
    std::string bytes;
    for (std::int64_t len = std::min(region, kSearchBlock);; len = std::min(region, len * 2)) {
        if (!ReadExactly(source, 0, len, bytes, err)) {
            return 0;
        }
        const PjlBlock block = ReadPjlBlock(bytes);
        if (block.complete || len == region) {
            if (!block.present) {
                return 0;
            }
            const bool enterPcl =
                !block.enterLanguage.empty() && LanguageFromPjlName(block.enterLanguage).IsPcl5();
            return static_cast<std::int64_t>(enterPcl ? block.enterEnd : block.end);
        }
    }
}

// Finds in the tail of a job where its page text ends. Page text: the bytes outside escape
// sequences (and W data) that print something, i.e. other than blanks and control bytes, and other
// than the @PJL command lines that follow a universal exit. Fed piece by piece in file order.
class TailReader {
public:
    // Feeds the bytes at the 0-based file offset `at`, which must be NextOffset().
    void Feed(std::string_view piece, std::int64_t at)
    {
        const auto* const bytes = reinterpret_cast<const unsigned char*>(piece.data());
        const auto size = static_cast<std::int64_t>(piece.size());
        for (std::int64_t k = std::max<std::int64_t>(m_resumeAt - at, 0); k < size;
             k = m_resumeAt - at) {
            const unsigned char c = bytes[k];
            const std::int64_t offset = at + k;
            m_resumeAt = offset + 1;
            if (m_inSequence) {
                if (m_seqLen < m_seqHead.size()) {
                    m_seqHead[m_seqLen] = c;
                }
                ++m_seqLen;
                m_reader.Feed(&c, &c + 1);
                if (m_reader.Done()) {
                    m_inSequence = false;
                    EndSequence();
                    m_resumeAt += m_reader.DataCount(); // W data is never text
                }
            } else if (c == kEsc) {
                if (m_pjl == kPjlPrefix) {
                    Text(offset - 1); // a cut "@PJ" is text
                }
                m_inSequence = true;
                m_seqStart = offset;
                m_seqLen = 0;
                m_reader.Begin();
            } else {
                Byte(c, offset);
            }
        }
    }

    // Where the next piece has to start (past W data that reaches beyond the piece).
    std::int64_t NextOffset() const { return m_resumeAt; }

    // After the last piece, which ended at the 0-based offset `end`.
    void Finish(std::int64_t end)
    {
        if (!m_inSequence && m_pjl == kPjlPrefix) {
            Text(end - 1);
        }
    }

    // 0-based offset of the last byte of page text, -1 when there is none.
    std::int64_t LastText() const { return m_lastText; }
    // 0-based offset of the first printer reset after that byte, -1 when there is none.
    std::int64_t ResetAfterText() const { return m_resetAfterText; }

private:
    enum Pjl { kPjlOff, kPjlLineStart, kPjlPrefix, kPjlLine };

    void Text(std::int64_t offset)
    {
        m_lastText = offset;
        m_resetAfterText = -1;
        m_pjl = kPjlOff;
    }

    void Byte(unsigned char c, std::int64_t offset)
    {
        switch (m_pjl) {
        case kPjlLineStart:
            if (IsPjlBlank(static_cast<char>(c))) {
                return;
            }
            if (c == '@') {
                m_pjl = kPjlPrefix;
                m_prefixLen = 1;
                return;
            }
            m_pjl = kPjlOff;
            break;
        case kPjlPrefix:
            if (c == static_cast<unsigned char>(kPjl[m_prefixLen])) {
                if (++m_prefixLen == kPjl.size()) {
                    m_pjl = kPjlLine;
                }
                return;
            }
            Text(offset - 1);
            break;
        case kPjlLine:
            if (c == '\n') {
                m_pjl = kPjlLineStart;
            }
            return;
        case kPjlOff:
            break;
        }
        if (c > ' ' && c != 127) {
            Text(offset);
        }
    }

    void EndSequence()
    {
        constexpr std::string_view kUelBody = kUel.substr(1); // after its ESC
        const std::string_view head(reinterpret_cast<const char*>(m_seqHead.data()),
                                    std::min<std::size_t>(m_seqLen, m_seqHead.size()));
        if (m_seqLen == 1 && head[0] == kReset && m_lastText >= 0 && m_resetAfterText < 0) {
            m_resetAfterText = m_seqStart;
        }
        // @PJL lines count as PJL only right after a universal exit.
        m_pjl = m_seqLen == kUelBody.size() && head == kUelBody ? kPjlLineStart : kPjlOff;
    }

    EscReader m_reader;
    bool m_inSequence = false;
    std::int64_t m_seqStart = 0;
    std::size_t m_seqLen = 0;                 // bytes of the sequence after its ESC
    std::array<unsigned char, 8> m_seqHead{}; // the first of them
    std::int64_t m_resumeAt = 0;
    Pjl m_pjl = kPjlOff;
    std::size_t m_prefixLen = 0;
    std::int64_t m_lastText = -1;
    std::int64_t m_resetAfterText = -1;
};

// Splits the tail [from, fileSize) into one more page and the foot: the page runs up to the first
// printer reset after its last byte of page text (to the end without one); a tail without page
// text is all foot. `pageLen` is 0 then.
bool SplitTail(ByteSource& source, std::int64_t from, std::int64_t fileSize, std::int64_t& pageLen,
               int& err)
{
    TailReader reader;
    std::string piece;
    for (std::int64_t at = from; at < fileSize; at = reader.NextOffset()) {
        const std::int64_t len = std::min(kSearchBlock, fileSize - at);
        if (!ReadExactly(source, at, len, piece, err)) {
            return false;
        }
        reader.Feed(piece, at);
    }
    reader.Finish(fileSize);
    pageLen = 0;
    if (reader.LastText() >= 0) {
        pageLen = (reader.ResetAfterText() >= 0 ? reader.ResetAfterText() : fileSize) - from;
    }
    return true;
}

} // namespace

cPclMod::cPclMod(std::size_t blockSize) : m_blockSize(std::max<std::size_t>(blockSize, 1))
{
    Disconnect();
}

cPclMod::~cPclMod()
{
    Disconnect();
}

bool cPclMod::Connect(const std::string& sFile, ForeignJob foreign)
{
    Disconnect();
    int err = 0;
    auto source = OpenFileSource(sFile, err);
    if (!source) {
        m_readErrno = err != 0 ? err : EIO;
        return false;
    }
    return Connect(std::move(source), sFile, foreign);
}

bool cPclMod::Connect(std::unique_ptr<ByteSource> source, std::string name, ForeignJob foreign)
{
    Disconnect();
    if (!source || source->Size() < 0) {
        m_readErrno = EIO;
        return false;
    }
    m_source = std::move(source);
    m_fileName = std::move(name);
    m_fileSize = m_source->Size();
    if (m_fileSize > 0) {
        std::string first;
        int err = 0;
        if (!ReadExactly(*m_source, 0,
                         std::min(m_fileSize, static_cast<std::int64_t>(kLanguageProbeBytes)),
                         first, err)) {
            Disconnect();
            m_readErrno = err != 0 ? err : EIO; // the caller's message names it
            return false;
        }
        m_language = DetectJobLanguage(first);
    }
    if (m_fileSize > 0 && (m_language.IsPcl5() || foreign == ForeignJob::Scan)) {
        ScanPages();
        if (const int err = m_readErrno; err != 0) {
            Disconnect();
            m_readErrno = err;
            return false;
        }
    }
    return true;
}

void cPclMod::Disconnect()
{
    m_pageStart.clear();
    m_pageStart.shrink_to_fit();
    m_pages = 0;
    m_head.clear();
    m_foot.clear();
    m_source.reset();
    m_fileName.clear();
    m_fileSize = 0;
    m_escapes = 0;
    m_readErrno = 0;
    m_lastPageUnended = false;
    m_language = JobLanguage{};
    m_duplex = DuplexMode::None;
    m_duplexInPage1 = false;
    m_duplexSwitches = false;
}

void cPclMod::ScanPages()
{
    m_pageStart.assign(1, 1);
    m_pages = 1;
    m_escapes = 0;
    m_readErrno = 0;
    bool bCancel = false;

    if (m_progress) {
        m_progress(0, m_fileSize, bCancel);
    }
    if (bCancel) {
        m_pages = 0;
        return;
    }

    JobWalker walker(*m_source, m_fileSize, m_blockSize);
    for (;;) {
        std::int64_t pageEnd = 0;
        const bool more = walker.Next(pageEnd, m_escapes);
        if (walker.Failed()) {
            m_readErrno = walker.Error();
            return;
        }
        if (m_progress) {
            m_progress(1, m_pageStart[static_cast<std::size_t>(m_pages) - 1], bCancel);
        }
        if (bCancel || !more) {
            break;
        }
        if (m_pages == std::numeric_limits<std::int32_t>::max() - 1) {
            break; // the page count must stay countable; the rest becomes the tail
        }
        if (m_pageStart.size() == m_pageStart.capacity()) {
            // Grow by half rather than double: the table is the one thing that grows with the job.
            m_pageStart.reserve(m_pageStart.size() + m_pageStart.size() / 2 + 1024);
        }
        m_pageStart.push_back(pageEnd);
        ++m_pages;
    }

    if (!SplitJob(walker.Duplex())) {
        return;
    }
    if (m_progress) {
        m_progress(2, 0, bCancel);
    }
}

bool cPclMod::SplitJob(const DuplexTracker& duplex)
{
    // m_pageStart holds 1 and the position after every page end found.
    const std::size_t pageEnds = m_pageStart.size() - 1;
    int err = 0;
    const auto fail = [this, &err] {
        m_readErrno = err != 0 ? err : EIO;
        return false;
    };

    // Job head: found in page 1, or in the whole job when it has no page end.
    const std::int64_t region1 = pageEnds > 0 ? m_pageStart[1] - 2 : m_fileSize;
    const std::int64_t headLen = FindHead(*m_source, region1, err);
    if (err != 0 || (headLen > 0 && !ReadExactly(*m_source, 0, headLen, m_head, err))) {
        return fail();
    }
    // A head that fills page 1 leaves it empty; it is then dropped.
    m_pageStart[0] =
        pageEnds > 0 && headLen > 0 && headLen == region1 ? m_pageStart[1] : headLen + 1;

    // The tail: the foot, or one more page (without an FF of its own) and the foot.
    const std::int64_t tailStart = m_pageStart.back(); // 1-based
    std::int64_t tailPage = 0;
    if (!SplitTail(*m_source, tailStart - 1, m_fileSize, tailPage, err)) {
        return fail();
    }
    const std::int64_t footStart = tailStart - 1 + tailPage; // 0-based
    if (!ReadExactly(*m_source, footStart, m_fileSize - footStart, m_foot, err)) {
        return fail();
    }

    if (pageEnds > 0 && m_pageStart[0] == m_pageStart[1]) {
        m_pageStart.erase(m_pageStart.begin());
    }
    if (tailPage > 0) {
        m_pageStart.push_back(tailStart + tailPage + 1); // as if an FF followed the page
        m_lastPageUnended = true;
    } else if (pageEnds == 0) {
        m_pageStart.clear();
    }
    m_pages = m_pageStart.empty() ? 0 : static_cast<std::int32_t>(m_pageStart.size() - 1);

    // Duplex: the job's own selection, else the PJL settings of the head. Switches in the foot
    // print no page and do not count.
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
    return true;
}

std::int64_t cPclMod::PageSeek(std::int32_t nPageNr) const
{
    if (!ValidPageNr(nPageNr) || static_cast<std::size_t>(nPageNr) >= m_pageStart.size()) {
        return 0;
    }
    return m_pageStart[static_cast<std::size_t>(nPageNr) - 1];
}

std::int64_t cPclMod::PageSize(std::int32_t nPageNr) const
{
    if (!ValidPageNr(nPageNr) || static_cast<std::size_t>(nPageNr) >= m_pageStart.size()) {
        return 0;
    }
    const auto n = static_cast<std::size_t>(nPageNr);
    return m_pageStart[n] - m_pageStart[n - 1] - 1;
}

std::string cPclMod::Page(std::int32_t nPageNr) const
{
    std::string out;
    ReadPage(nPageNr, out);
    return out;
}

bool cPclMod::ReadPage(std::int32_t nPageNr, std::string& out) const
{
    out.clear();
    m_readErrno = 0;
    if (!m_source) {
        m_readErrno = EBADF;
        return false;
    }
    if (PageSeek(nPageNr) == 0) {
        m_readErrno = EINVAL;
        return false;
    }
    int err = 0;
    if (!ReadExactly(*m_source, PageSeek(nPageNr) - 1, PageSize(nPageNr), out, err)) {
        m_readErrno = err;
        return false;
    }
    return true;
}

bool cPclMod::SourceChanged() const
{
    return m_source && m_source->Changed();
}

void cPclMod::GetEscStats(std::string_view sPg, std::vector<std::int64_t>& nEscPos,
                          std::vector<std::int64_t>& nEscLen, std::int32_t& nCount)
{
    nCount = 0;
    const auto* const text = reinterpret_cast<const unsigned char*>(sPg.data());
    const auto size = static_cast<std::int64_t>(sPg.size());
    const unsigned char* const end = text + size;
    const unsigned char* at = text; // search position
    for (;;) {
        const unsigned char* const esc = FindMark<false>(at, end);
        if (esc == nullptr) {
            return;
        }
        // The lists are only touched once a sequence is found; then they hold exactly nCount.
        if (nCount == 0) {
            nEscPos.clear();
            nEscLen.clear();
        }
        const auto n = static_cast<std::size_t>(nCount);
        nEscPos.push_back(esc - text + 1);
        nEscLen.push_back(0);
        ++nCount;

        const unsigned char* q = esc + 1;
        std::int64_t count = 0;
        unsigned char last = 0;
        if (!ReadInBlock(q, end, count, last)) {
            nEscLen[n] = end - esc; // the text ends inside the sequence
            return;
        }
        nEscLen[n] = (q - esc) + count;
        if (count > end - q) {
            return; // the W data reaches past the end of the text
        }
        at = q + count;
    }
}

void cPclMod::AppendWithoutEscapes(std::string_view sPg, std::string& out)
{
    const auto* const text = reinterpret_cast<const unsigned char*>(sPg.data());
    const unsigned char* const end = text + sPg.size();
    const std::size_t start = out.size();
    out.resize(start + sPg.size());
    char* w = out.data() + start;
    const unsigned char* at = text;
    for (;;) {
        const unsigned char* const esc = FindMark<false>(at, end);
        const unsigned char* const stop = esc ? esc : end;
        // Drivers put a sequence every few bytes, so most runs of text are short: copy those as
        // one 16-byte block (the output has room, since it never outgrows the input).
        const auto n = static_cast<std::size_t>(stop - at);
        if (n <= 16 && end - at >= 16) {
            std::memcpy(w, at, 16); // one unaligned 16-byte move
        } else {
            std::memcpy(w, at, n);
        }
        w += n;
        if (esc == nullptr) {
            break;
        }
        const unsigned char* q = esc + 1;
        std::int64_t count = 0;
        unsigned char last = 0;
        // A text that ends inside a sequence or its W data has nothing left to take.
        if (!ReadInBlock(q, end, count, last) || count > end - q) {
            break;
        }
        at = q + count;
    }
    out.resize(static_cast<std::size_t>(w - out.data()));
}

bool cPclMod::NextEscape(std::string_view sPg, std::size_t from, std::int64_t& pos,
                         std::int64_t& len)
{
    if (from >= sPg.size()) {
        return false;
    }
    const auto* const text = reinterpret_cast<const unsigned char*>(sPg.data());
    const unsigned char* const end = text + sPg.size();
    const unsigned char* const esc = FindMark<false>(text + from, end);
    if (esc == nullptr) {
        return false;
    }
    pos = esc - text;
    const unsigned char* q = esc + 1;
    std::int64_t count = 0;
    unsigned char last = 0;
    len = ReadInBlock(q, end, count, last) ? (q - esc) + count : end - esc;
    return true;
}

} // namespace kuvrion
