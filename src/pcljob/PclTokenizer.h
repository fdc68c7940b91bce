// The one reader of the PCL 5 job language: splits bytes into tokens, as a printer reads them.
//
// Tokens, each covering its bytes, so every byte of a job belongs to exactly one:
// - text: a run of bytes other than ESC and FF in PCL mode (printable text, and the control
//   codes that only move the cursor: CR, LF, BS, HT, SI, SO ...);
// - a form feed (FF) in PCL mode;
// - a two-character escape sequence, ESC and one character outside 33..47;
// - a command of a parameterized sequence: the first is ESC, the family character (33..47), the
//   group character (96..126, where there is one), its value and its letter; each further command
//   of a combined sequence is its value and letter ("ESC*b0m5W" is the commands "ESC*b0m" and
//   "5W");
// - the data of a data-bearing command ("ESC*b5W" and five bytes), skipped by count: data may hold
//   any byte, FF and ESC included; after data of a lower-case command the sequence goes on;
// - HP-GL/2: from ESC %#B until ESC %#A, a printer reset or the universal exit, the bytes belong
//   to HP-GL/2 (FF is no page end there); a label (LB) runs to its terminator (ETX, or the one set
//   by DT), whatever bytes it holds;
// - a universal exit (ESC %-12345X, reported as a command) and the @PJL lines after it;
// - a sequence cut off by the end of the data.
//
// The tokenizer works over blocks fed in order and carries its state from one to the next, so the
// tokens never depend on where the blocks are cut (a token that spans blocks comes in pieces for
// text, data, HP-GL/2 and PJL lines, whole for a command). Runs of text are found 16 bytes at a
// time, and data can be skipped without being read.
#pragma once

#include <algorithm>
#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

// KUVRION_NO_SIMD builds the plain byte loops alone, so tests can check them against the same
// expectations.
#if defined(__SSE2__) && !defined(KUVRION_NO_SIMD)
#define KUVRION_SSE2 1
#include <emmintrin.h>
#endif

namespace kuvrion {

inline constexpr unsigned char kEscByte = 27;
inline constexpr unsigned char kFormFeedByte = 12;

// The value of one field, read as far as it forms a number: an optional sign, digits, an optional
// "." and more digits ("1.5.3" reads 1.5, "+-3" reads 0).
class FieldNumber {
public:
    // The largest byte count a field can give. Far beyond any file, so an absurd count simply
    // reaches past the end of the data, and adding it to a position cannot overflow.
    static constexpr std::int64_t kMaxCount = 1'000'000'000'000'000'000;

    void Clear() { *this = FieldNumber{}; }

    // The value of the field bytes [p, p + n), read as Feed reads them one by one.
    static FieldNumber Read(const unsigned char* p, std::size_t n)
    {
        FieldNumber number;
        if (n > 0 && n < 18) {
            // Plain digits, a raster row's count: no sign, no point.
            std::int64_t whole = 0;
            std::size_t k = 0;
            for (; k < n; ++k) {
                const auto d = static_cast<unsigned>(p[k] - '0');
                if (d >= 10)
                    break;
                whole = whole * 10 + d;
            }
            if (k == n) {
                number.m_state = kWhole;
                number.m_whole = whole;
                return number;
            }
        }
        std::size_t k = 0;
        if (n > 0 && (p[0] == '+' || p[0] == '-')) {
            number.m_signed = true;
            number.m_negative = p[0] == '-';
            number.m_state = kSign;
            k = 1;
        }
        // Plain digits, the common case, without a state per character.
        std::int64_t whole = 0;
        const std::size_t digitsFrom = k;
        for (; k < n && k - digitsFrom < 17; ++k) {
            const auto d = static_cast<unsigned>(p[k] - '0');
            if (d >= 10)
                break;
            whole = whole * 10 + d;
        }
        if (k > digitsFrom) {
            number.m_state = kWhole;
            number.m_whole = whole;
        }
        for (; k < n; ++k)
            number.Feed(p[k]);
        return number;
    }

    void Feed(unsigned char c)
    {
        const auto d = static_cast<unsigned>(c - '0');
        if (d < 10 && m_state == kWhole) {
            m_whole = m_whole < kMaxCount / 10 ? m_whole * 10 + d : kMaxCount;
            return;
        }
        if (d < 10) {
            switch (m_state) {
            case kStart:
            case kSign:
                m_state = kWhole;
                m_whole = d;
                break;
            case kWhole:
                break;
            case kFraction:
                if (m_firstFraction < 0) {
                    m_firstFraction = static_cast<int>(d);
                } else if (d != 0) {
                    m_fractionRest = true;
                }
                if (m_scale > 1e-12) {
                    m_fraction += d * m_scale;
                    m_scale /= 10;
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
                m_signed = true;
            } else {
                m_state = kBroken;
            }
        }
    }

    // The value as a byte count: rounded to nearest with halves to the even number; negative
    // counts are 0, since they would move the read position backwards.
    std::int64_t Count() const
    {
        std::int64_t v = m_whole;
        if (m_firstFraction > 5 ||
            (m_firstFraction == 5 && (m_fractionRest || (m_whole & 1) != 0))) {
            v = std::min(v + 1, kMaxCount);
        }
        return m_negative ? 0 : v;
    }
    // The value as written, sign included.
    double Value() const
    {
        const double v = static_cast<double>(m_whole) + m_fraction;
        return m_negative ? -v : v;
    }
    bool Negative() const { return m_negative; }
    // A sign was written: a relative move for cursor commands.
    bool Signed() const { return m_signed; }

private:
    enum State : unsigned char { kStart, kSign, kWhole, kFraction, kBroken };
    State m_state = kStart;
    bool m_negative = false;
    bool m_signed = false;
    std::int64_t m_whole = 0;
    int m_firstFraction = -1;
    bool m_fractionRest = false;
    double m_fraction = 0;
    double m_scale = 0.1;
};

// The commands followed by their value's count of data bytes: ESC <family> <group> # <letter>,
// the letter in either case. The one list of them.
struct DataCommandName {
    unsigned char family, group, letter;
};
inline constexpr DataCommandName kDataCommands[] = {
    {'*', 'b', 'W'}, // raster row
    {'*', 'b', 'V'}, // raster plane
    {'&', 'p', 'X'}, // transparent print data
    {'(', 's', 'W'}, // character download
    {')', 's', 'W'}, // font header
    {'(', 'f', 'W'}, // symbol set definition
    {'*', 'c', 'W'}, // user-defined pattern
    {'*', 'v', 'W'}, // configure image data
    {'*', 'm', 'W'}, // download dither matrix
    {'*', 'l', 'W'}, // colour lookup table
    {'*', 'i', 'W'}, // viewing illuminant
    {'*', 'o', 'W'}, // driver configuration
    {'*', 'g', 'W'}, // configure raster data
    {'&', 'b', 'W'}, // AppleTalk configuration
    {'&', 'n', 'W'}, // alphanumeric ID
    {'&', 'a', 'W'}, // data the job passes to the printer
};

namespace detail {
// The list as a lookup: per family (33..47) and group (none, 96..126) the data letters, one bit
// each for V, W and X.
struct DataCommandTable {
    unsigned char bits[15][32] = {};
    static constexpr unsigned char Bit(unsigned char upper)
    {
        const auto d = static_cast<unsigned>(upper - 'V');
        return d < 3 ? static_cast<unsigned char>(1u << d) : 0;
    }
    constexpr DataCommandTable()
    {
        for (const DataCommandName& c : kDataCommands)
            bits[c.family - 33][c.group == 0 ? 0 : c.group - 95] |= Bit(c.letter);
    }
};
inline constexpr DataCommandTable kDataCommandTable{};
} // namespace detail

// The data letters of ESC <family> <group> (group 0: none), as DataCommandTable keeps them.
constexpr unsigned char DataLetters(unsigned char family, unsigned char group)
{
    if (family < 33 || family > 47 || (group != 0 && (group < 96 || group > 126)))
        return 0;
    return detail::kDataCommandTable.bits[family - 33][group == 0 ? 0 : group - 95];
}
constexpr bool IsDataLetter(unsigned char dataLetters, unsigned char letter)
{
    const auto d = static_cast<unsigned>((letter & ~0x20) - 'V');
    return d < 3 && (dataLetters >> d & 1) != 0;
}
// True when ESC <family> <group> # <letter> is followed by data.
constexpr bool IsDataCommand(unsigned char family, unsigned char group, unsigned char letter)
{
    return IsDataLetter(DataLetters(family, group), letter);
}

// One command of a parameterized escape sequence.
struct PclCommand {
    std::int64_t offset = 0;  // 0-based position of the token's first byte
    std::int64_t length = 0;  // the token's bytes, its data not included
    unsigned char family = 0; // the character after ESC (33..47)
    unsigned char group = 0;  // the group character (96..126), 0 when the sequence has none
    unsigned char letter = 0; // the parameter or termination character as written; for a
                              // malformed sequence the byte that broke it, 0 when none was taken
    bool first = false;       // the token starts with the ESC
    bool final = false;       // the command ends the sequence
    bool malformed = false;   // the sequence broke off at a character that belongs to no command
    FieldNumber value;        // the value as read, unless its bytes are given instead:
    const unsigned char* valueBytes = nullptr;
    std::size_t valueLength = 0;
    std::int64_t dataCount = 0; // data bytes that follow the command

    // The value as a number with its sign (a signed value is a relative move for cursor
    // commands): plain digits are read directly, anything else as Value() reads it.
    double Number(bool& signedValue) const
    {
        if (valueBytes != nullptr && valueLength > 0 && valueLength < 12) {
            std::size_t k = 0;
            const unsigned char sign = valueBytes[0];
            signedValue = sign == '+' || sign == '-';
            k = signedValue ? 1 : 0;
            std::int64_t whole = 0;
            const std::size_t from = k;
            for (; k < valueLength; ++k) {
                const auto d = static_cast<unsigned>(valueBytes[k] - '0');
                if (d >= 10)
                    break;
                whole = whole * 10 + d;
            }
            if (k == valueLength && k > from)
                return sign == '-' ? -static_cast<double>(whole) : static_cast<double>(whole);
        }
        const FieldNumber v = Value();
        signedValue = v.Signed();
        return v.Value();
    }

    // The command's value: read from its bytes only when asked for.
    FieldNumber Value() const
    {
        return valueBytes == nullptr ? value : FieldNumber::Read(valueBytes, valueLength);
    }

    // The letter in upper case: the command it names.
    unsigned char Command() const
    {
        return letter >= 'a' && letter <= 'z' ? static_cast<unsigned char>(letter - 0x20) : letter;
    }
    bool Is(unsigned char fam, unsigned char grp, unsigned char upper) const
    {
        return family == fam && group == grp && Command() == upper && !malformed;
    }
    bool IsUniversalExit() const
    {
        if (family != '%' || group != 0 || letter != 'X')
            return false;
        const FieldNumber v = Value();
        return v.Negative() && v.Value() == -12345;
    }
};

// What a token sink receives. Derive from it and hide the calls you need; the tokenizer calls them
// statically, so the ones left empty cost nothing. Positions are 0-based offsets in the stream.
struct PclTokenSink {
    // False while the sink has no use for text: the tokenizer may then leave out text runs.
    bool WantsText() const { return true; }
    // The parameterized sequences whose commands the sink reads, by family and group (0: none);
    // a plain sequence of another kind (no data, no change of mode) may come as one
    // SkippedSequence instead of its commands.
    static constexpr bool Reads(unsigned char, unsigned char) { return true; }
    void SkippedSequence(std::int64_t, std::int64_t) {}
    // A run of text (`p` points at its bytes).
    void Text(std::int64_t, const unsigned char*, std::size_t) {}
    void FormFeed(std::int64_t) {}
    // A two-character sequence ESC `c` (2 bytes); `c` is 0 for a lone ESC (1 byte) that an FF
    // or another ESC cut.
    void Escape(std::int64_t, std::int64_t, unsigned char) {}
    void Command(const PclCommand&) {}
    // A piece of the data of `owner`; `p` is null when the piece was skipped unread.
    void Data(std::int64_t, const unsigned char*, std::int64_t, const PclCommand&) {}
    // A piece of HP-GL/2, and the start of each HP-GL/2 instruction (its two letters, upper case).
    void Hpgl(std::int64_t, const unsigned char*, std::size_t) {}
    void HpglInstruction(unsigned char, unsigned char) {}
    // A piece of a @PJL line after a universal exit, its LF included.
    void PjlLine(std::int64_t, const unsigned char*, std::size_t) {}
    // An escape sequence, or the start of a @PJL line, that the end of the data cut off (Finish
    // reports it).
    void Cut(std::int64_t, std::int64_t) {}
};

class PclTokenizer {
public:
    // Starts reading at the 0-based offset `start`, in PCL mode.
    explicit PclTokenizer(std::int64_t start = 0) : m_pos(start) {}

    // Reads the block `bytes` of `n` bytes that follows what was fed before (the first block starts
    // at offset 0, or where Skip left off).
    template <class Sink> void Feed(const unsigned char* bytes, std::size_t n, Sink& sink);
    template <class Sink> void Feed(std::string_view bytes, Sink& sink)
    {
        Feed(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), sink);
    }
    // After the last block: reports a sequence that the end cut off.
    template <class Sink> void Finish(Sink& sink)
    {
        if ((m_state == kEsc || m_state == kFamily || m_state == kField) && m_pos > m_tokenStart) {
            sink.Cut(m_tokenStart, m_pos - m_tokenStart);
            m_state = kText;
        } else if (m_state == kPjlPrefix) {
            // A @PJL word the end cut off: no text, the rest of a PJL line that never came.
            sink.Cut(m_pos - static_cast<std::int64_t>(m_prefixLen),
                     static_cast<std::int64_t>(m_prefixLen));
            m_state = kText;
        }
    }

    // Data bytes still to come for the last command read.
    std::int64_t PendingData() const { return m_state == kData ? m_dataLeft : 0; }
    // Passes over up to `limit` bytes of pending data without reading them; returns how many.
    template <class Sink> std::int64_t SkipData(std::int64_t limit, Sink& sink)
    {
        const std::int64_t n = std::min(PendingData(), limit);
        if (n > 0) {
            sink.Data(m_pos, nullptr, n, m_command);
            m_pos += n;
            m_dataLeft -= n;
            if (m_dataLeft == 0) {
                m_tokenStart = m_pos; // a combined sequence goes on after its data
                AfterData();
            }
        }
        return n;
    }

    // 0-based offset of the next byte to feed.
    std::int64_t Position() const { return m_pos; }

private:
    enum State : unsigned char {
        kText,     // PCL mode, between tokens
        kDisplay,  // display functions: every byte is printed, up to and including ESC Z
        kEsc,      // after an ESC
        kFamily,   // after ESC and a family character
        kField,    // in the fields of a parameterized sequence
        kData,     // in the data of a command
        kPjlStart, // after a universal exit, or after a @PJL line
        kPjlPrefix,
        kPjlLine,
        kHpgl, // HP-GL/2, before an instruction
        kHpglInstruction,
        kHpglParams,
        kHpglLabel,
        kHpglTerminator, // DT: the next byte ends labels
        kHpglEncoded,    // PE: up to ";"
        kHpglComment,    // CO: a quoted string, or up to ";"
        kHpglQuoted,     // the quoted string of CO
        kHpglSymbol,     // SM: one byte
    };

    // Where bytes go after a sequence or its data.
    State ModeState() const { return m_hpgl ? kHpgl : kText; }
    void AfterData()
    {
        m_state = m_command.final ? m_afterSequence : kField;
        m_afterData = true;
    }

    template <class Sink>
    void EndCommand(unsigned char letter, bool final, bool malformed, Sink& sink);

    static const unsigned char* FindEscOrFormFeed(const unsigned char* p, const unsigned char* end);

#ifdef KUVRION_SSE2
    static constexpr std::ptrdiff_t kWindow = 64;
    // What the window needs to know of the two characters after an ESC.
    static constexpr unsigned char kGroupChar = 1;
    static constexpr unsigned char kValueStart = 2;
    static constexpr auto kSecondClass = [] {
        std::array<unsigned char, 256> t{};
        for (int c = 0; c < 256; ++c)
            t[c] = c >= 96 && c <= 126                              ? kGroupChar
                   : (c >= '0' && c <= '9') || c == '+' || c == '-' ? kValueStart
                                                                    : 0;
        return t;
    }();
    static constexpr auto kWindowFamily = [] {
        std::array<bool, 256> t{};
        for (int c = 33; c <= 47; ++c)
            t[c] = c != '%';
        return t;
    }();
    // Reads the text, form feeds and plain commands (no data inside, no mode change) in the
    // kBytes (16 or 64) bytes at `base` (at offset `offset`) with one look at their character
    // classes. Returns where it stopped: base + kBytes when it got through, else an ESC or the
    // end of a command that data follows; `declined` tells that the byte machine must read the
    // sequence there (else a window starting at it will).
    template <std::ptrdiff_t kBytes, class Sink>
    const unsigned char* ReadWindow(const unsigned char* base, std::int64_t offset, Sink& sink,
                                    bool& declined);
    // Where a command the window read lies: in the sequence of `family` and `group` whose ESC is
    // at `i`, from `from` (where its value begins) to its letter at `e`; positions in the window.
    struct WindowSpan {
        const unsigned char* base;
        std::int64_t offset;
        unsigned char family, group;
        int i, valueStart, close;
    };
    [[gnu::always_inline]] static void Describe(PclCommand& cmd, const WindowSpan& w, int from,
                                                int e)
    {
        const bool first = from == w.valueStart;
        const int start = first ? w.i : from;
        cmd.offset = w.offset + start;
        cmd.length = e - start + 1;
        cmd.family = w.family;
        cmd.group = w.group;
        cmd.letter = w.base[e];
        cmd.first = first;
        cmd.final = e == w.close;
        cmd.valueBytes = w.base + from;
        cmd.valueLength = static_cast<std::size_t>(e - from);
    }
    // The window's sequence at `i` whose last command carries data: its commands go to the sink,
    // the last one becomes the owner of the data the byte machine skips next.
    template <class Sink>
    void StartData(const unsigned char* base, std::int64_t offset, int i, int valueStart,
                   std::uint64_t inner, int close, Sink& sink);
#endif

    State m_state = kText;
    State m_afterSequence = kText;
    bool m_hpgl = false;
    std::int64_t m_pos = 0;        // offset of the next byte
    std::int64_t m_tokenStart = 0; // offset where the current command token began
    std::int64_t m_dataLeft = 0;
    unsigned char m_family = 0;
    unsigned char m_group = 0;
    bool m_firstCommand = false;
    PclCommand m_command; // the last command, owner of the data being read
    unsigned char m_prefix[4] = {};
    std::size_t m_prefixLen = 0;
    unsigned char m_instruction = 0; // first letter of an HP-GL/2 instruction
    unsigned char m_labelTerminator = 3;
    bool m_displayEsc = false; // display functions: the last byte was an ESC
    bool m_afterData = false;  // the last token was data
};

inline const unsigned char* PclTokenizer::FindEscOrFormFeed(const unsigned char* p,
                                                            const unsigned char* end)
{
#ifdef KUVRION_SSE2
    const __m128i esc = _mm_set1_epi8(static_cast<char>(kEscByte));
    const __m128i ff = _mm_set1_epi8(static_cast<char>(kFormFeedByte));
    while (end - p >= 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const int mask =
            _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(v, esc), _mm_cmpeq_epi8(v, ff)));
        if (mask != 0)
            return p + std::countr_zero(static_cast<unsigned>(mask));
        p += 16;
    }
#endif
    for (; p < end; ++p) {
        if (*p == kEscByte || *p == kFormFeedByte)
            return p;
    }
    return end;
}

#ifdef KUVRION_SSE2
template <class Sink>
[[gnu::noinline]] void PclTokenizer::StartData(const unsigned char* base, std::int64_t offset,
                                               int i, int valueStart, std::uint64_t inner,
                                               int close, Sink& sink)
{
    const unsigned char family = base[i + 1];
    const unsigned char group = valueStart == i + 3 ? base[i + 2] : 0;
    const WindowSpan span{base, offset, family, group, i, valueStart, close};
    const bool reads = Sink::Reads(family, group);
    if (!reads)
        sink.SkippedSequence(offset + i, close - i + 1);
    int from = valueStart;
    for (std::uint64_t m = inner | std::uint64_t{1} << close; m != 0; m &= m - 1) {
        const int e = std::countr_zero(m);
        PclCommand local;
        PclCommand& cmd = e == close ? m_command : local;
        Describe(cmd, span, from, e);
        cmd.malformed = false;
        cmd.dataCount = 0;
        if (e == close) {
            cmd.value = FieldNumber::Read(cmd.valueBytes, cmd.valueLength);
            cmd.valueBytes = nullptr;
            cmd.dataCount = cmd.value.Count();
        }
        if (reads)
            sink.Command(cmd);
        from = e + 1;
    }
    m_afterSequence = kText;
    m_tokenStart = offset + close + 1;
    m_dataLeft = m_command.dataCount;
    m_state = m_dataLeft > 0 ? kData : kText;
}

template <std::ptrdiff_t kBytes, class Sink>
[[gnu::always_inline]] inline const unsigned char*
PclTokenizer::ReadWindow(const unsigned char* base, std::int64_t offset, Sink& sink, bool& declined)
{
    declined = true;
    __m128i v[4];
    std::uint64_t marks = 0;   // ESC and FF
    std::uint64_t params = 0;  // parameter characters, which continue a combined sequence
    std::uint64_t closing = 0; // neither number nor parameter characters
    const __m128i zero = _mm_setzero_si128();
    const auto inRange = [zero](__m128i x, char lo, char span) {
        const __m128i t = _mm_sub_epi8(x, _mm_set1_epi8(lo));
        return _mm_cmpeq_epi8(_mm_subs_epu8(t, _mm_set1_epi8(span)), zero);
    };
    static_assert(kBytes == 16 || kBytes == 64);
    for (int k = 0; k < kBytes / 16; ++k) {
        v[k] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(base + 16 * k));
        const __m128i mark =
            _mm_or_si128(_mm_cmpeq_epi8(v[k], _mm_set1_epi8(static_cast<char>(kEscByte))),
                         _mm_cmpeq_epi8(v[k], _mm_set1_epi8(static_cast<char>(kFormFeedByte))));
        const __m128i param = inRange(v[k], 96, 30);
        const __m128i field = _mm_or_si128(
            _mm_or_si128(inRange(v[k], '0', 9), param),
            _mm_or_si128(inRange(v[k], '-', 1), _mm_cmpeq_epi8(v[k], _mm_set1_epi8('+'))));
        const int shift = 16 * k;
        marks |= std::uint64_t{static_cast<unsigned>(_mm_movemask_epi8(mark))} << shift;
        params |= std::uint64_t{static_cast<unsigned>(_mm_movemask_epi8(param))} << shift;
        closing |= std::uint64_t{static_cast<unsigned>(_mm_movemask_epi8(field)) ^ 0xFFFFu}
                   << shift;
    }
    int pos = 0; // the next byte not yet given to a token
    while (marks != 0) {
        const int i = std::countr_zero(marks);
        const unsigned char* const hit = base + i;
        if (sink.WantsText() && i > pos)
            sink.Text(offset + pos, base + pos, static_cast<std::size_t>(i - pos));
        pos = i;
        if (*hit == kFormFeedByte) {
            sink.FormFeed(offset + i);
            pos = i + 1;
            marks &= marks - 1;
            continue;
        }
        if (i > kBytes - 4) {
            declined = i == 0;
            return hit; // a window at the ESC sees the sequence whole
        }
        const unsigned char family = hit[1];
        const unsigned char c2 = hit[2];
        // Two-character sequences, and "%" (universal exit, HP-GL/2), change more than a command;
        // the second character must be a group character or begin a value.
        const unsigned char second = kSecondClass[c2];
        if (!kWindowFamily[family] || second == 0)
            return hit;
        const bool grouped = second == kGroupChar;
        const std::uint64_t rest = closing & (~std::uint64_t{0} << (i + 3));
        if (rest == 0) {
            declined = i == 0; // a sequence longer than a window goes to the byte machine
            return hit;
        }
        const int close = std::countr_zero(rest);
        const std::uint64_t between =
            (~std::uint64_t{0} << (i + 3)) & ((std::uint64_t{1} << close) - 1);
        const unsigned char letter = base[close];
        const unsigned char group = grouped ? c2 : 0;
        if (letter < 64 || letter > 94)
            return hit; // malformed
        const int valueStart = i + (grouped ? 3 : 2);
        const unsigned char dataLetters =
            detail::kDataCommandTable.bits[family - 33][grouped ? c2 - 95 : 0];
        // Each parameter character ends one command of a combined sequence.
        const std::uint64_t inner = params & between;
        if (dataLetters != 0) {
            for (std::uint64_t m = inner; m != 0; m &= m - 1) {
                if (IsDataLetter(dataLetters, base[std::countr_zero(m)]))
                    return hit; // data inside the sequence: the byte machine reads it
            }
            if (IsDataLetter(dataLetters, letter)) {
                // A raster row and the like: the byte machine skips its data by count.
                StartData(base, offset, i, valueStart, inner, close, sink);
                declined = false;
                return base + close + 1;
            }
        }
        if (!Sink::Reads(family, group)) {
            sink.SkippedSequence(offset + i, close - i + 1);
        } else {
            // Not the member the byte machine fills: what the sink does not read is never written.
            const WindowSpan span{base, offset, family, group, i, valueStart, close};
            int from = valueStart; // where the next command's value begins
            for (std::uint64_t m = inner | std::uint64_t{1} << close; m != 0; m &= m - 1) {
                const int e = std::countr_zero(m);
                PclCommand cmd;
                Describe(cmd, span, from, e);
                sink.Command(cmd);
                from = e + 1;
            }
        }
        pos = close + 1;
        marks &= ~((std::uint64_t{2} << close) - 1); // close < 64, so the shift is defined
    }
    if (sink.WantsText() && pos < kBytes)
        sink.Text(offset + pos, base + pos, static_cast<std::size_t>(kBytes - pos));
    declined = false;
    return base + kBytes;
}
#endif

template <class Sink>
[[gnu::always_inline]] inline void PclTokenizer::EndCommand(unsigned char letter, bool final,
                                                            bool malformed, Sink& sink)
{
    if (m_pos == m_tokenStart) {
        // An FF or ESC right after a parameter character: the sequence ended with the command
        // before, and no byte is left for one more.
        m_command.value.Clear();
        m_state = m_afterSequence;
        return;
    }
    m_command.offset = m_tokenStart;
    m_command.length = m_pos - m_tokenStart;
    m_command.family = m_family;
    m_command.group = m_group;
    m_command.letter = letter;
    m_command.first = m_firstCommand;
    m_command.final = final;
    m_command.malformed = malformed;
    m_command.valueBytes = nullptr;
    m_command.dataCount =
        !malformed && IsDataCommand(m_family, m_group, letter) ? m_command.value.Count() : 0;
    m_firstCommand = false;
    m_tokenStart = m_pos;
    if (final) {
        if (m_family == '%' && m_group == 0 && !malformed) {
            if (m_command.IsUniversalExit()) {
                m_hpgl = false;
                m_afterSequence = kPjlStart;
            } else if (letter == 'B') {
                m_hpgl = true;
            } else if (letter == 'A') {
                m_hpgl = false;
            }
        }
        if (m_afterSequence != kPjlStart)
            m_afterSequence = ModeState();
    }
    sink.Command(m_command);
    m_state = m_command.dataCount > 0 ? kData : final ? m_afterSequence : kField;
    m_dataLeft = m_command.dataCount;
    m_command.value.Clear(); // the next command's value
}

template <class Sink> void PclTokenizer::Feed(const unsigned char* bytes, std::size_t n, Sink& sink)
{
    const unsigned char* p = bytes;
    const unsigned char* const end = bytes + n;
    const std::int64_t base = m_pos;
    const auto at = [base, bytes](const unsigned char* q) {
        return base + static_cast<std::int64_t>(q - bytes);
    };
    const unsigned char* run = p; // start of the text, HP-GL/2 or PJL run being read
    // The fields of a sequence: digits, signs and points, each closed by a parameter character
    // (96..126, the sequence goes on) or a termination character (64..94). Leaves the state at
    // kField when the block ends inside them.
    const auto readFields = [&] {
        while (p < end) {
            const unsigned char c = *p;
            if ((c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.') {
                m_command.value.Feed(c);
                ++p;
                continue;
            }
            if (c == kFormFeedByte || c == kEscByte) {
                m_pos = at(p);
                EndCommand(0, true, true, sink);
                return;
            }
            ++p;
            m_pos = at(p);
            const bool parameter = c >= 96 && c <= 126;
            const bool termination = c >= 64 && c <= 94;
            EndCommand(c, !parameter, !parameter && !termination, sink);
            if (m_state != kField)
                return;
        }
    };
    while (p < end) {
        switch (m_state) {
        case kText: {
            // Text, and the parameterized sequences between its runs, are read here without
            // leaving the case: the common path through a driver's job.
            while (m_state == kText && p < end) {
#ifdef KUVRION_SSE2
                // Right after data comes mostly the next raster row: a short window reads it.
                if (m_afterData && end - p >= 16) {
                    m_afterData = false;
                    bool declined = false;
                    p = ReadWindow<16>(p, at(p), sink, declined);
                    if (!declined)
                        continue;
                } else if (end - p >= kWindow) {
                    bool declined = false;
                    p = ReadWindow<kWindow>(p, at(p), sink, declined);
                    if (!declined)
                        continue;
                }
#endif
                run = p;
                p = FindEscOrFormFeed(p, end);
                if (p > run)
                    sink.Text(at(run), run, static_cast<std::size_t>(p - run));
                if (p == end)
                    break;
                if (*p == kFormFeedByte) {
                    sink.FormFeed(at(p));
                    ++p;
                    continue;
                }
                m_tokenStart = at(p);
                m_afterSequence = kText;
                ++p;
                m_state = kEsc;
                if (end - p >= 2 && *p >= 33 && *p <= 47) {
                    const unsigned char c2 = p[1];
                    const bool number = (c2 >= '0' && c2 <= '9') || c2 == '+' || c2 == '-';
                    if (number || (c2 >= 96 && c2 <= 126)) {
                        m_family = *p;
                        m_group = number ? 0 : c2;
                        m_firstCommand = true;
                        m_command.value.Clear();
                        if (number)
                            m_command.value.Feed(c2);
                        p += 2;
                        m_state = kField;
                        readFields();
                    }
                }
            }
            break;
        }
        case kEsc: {
            const unsigned char c = *p;
            if (c == kFormFeedByte || c == kEscByte) {
                // A lone ESC: the FF still ends the page, the ESC starts a sequence of its own.
                m_pos = at(p);
                sink.Escape(m_tokenStart, 1, 0);
                m_state = ModeState();
                if (m_state == kText && c == kEscByte) {
                    m_tokenStart = at(p);
                    m_state = kEsc;
                    ++p;
                }
                break;
            }
            ++p;
            if (c >= 33 && c <= 47) {
                m_family = c;
                m_group = 0;
                m_firstCommand = true;
                m_command.value.Clear();
                m_state = kFamily;
            } else {
                if (c == 'E') {
                    m_hpgl = false;
                    m_labelTerminator = 3;
                }
                sink.Escape(m_tokenStart, 2, c);
                m_state = c == 'Y' && !m_hpgl ? kDisplay : ModeState();
            }
            break;
        }
        case kFamily: {
            const unsigned char c = *p;
            if ((c >= '0' && c <= '9') || c == '+' || c == '-') {
                m_command.value.Feed(c);
                ++p;
                m_state = kField;
            } else if (c >= 96 && c <= 126) {
                m_group = c;
                ++p;
                m_state = kField;
            } else if (c == kFormFeedByte || c == kEscByte) {
                m_pos = at(p);
                EndCommand(0, true, true, sink);
            } else {
                ++p;
                m_pos = at(p);
                EndCommand(c, true, true, sink);
            }
            break;
        }
        case kField:
            readFields();
            break;
        case kDisplay: {
            // Display functions print control codes and escapes as they are (an FF is no page
            // end), up to and including the ESC Z that ends them.
            run = p;
            for (; p < end; ++p) {
                if (m_displayEsc && *p == 'Z') {
                    ++p;
                    m_state = kText;
                    m_displayEsc = false;
                    break;
                }
                m_displayEsc = *p == kEscByte;
            }
            sink.Text(at(run), run, static_cast<std::size_t>(p - run));
            break;
        }
        case kData: {
            const std::int64_t piece = std::min<std::int64_t>(m_dataLeft, end - p);
            sink.Data(at(p), p, piece, m_command);
            p += piece;
            m_dataLeft -= piece;
            if (m_dataLeft == 0) {
                m_tokenStart = at(p);
                AfterData();
            }
            break;
        }
        case kPjlStart: {
            const unsigned char c = *p;
            if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
                run = p;
                while (p < end && (*p == ' ' || *p == '\t' || *p == '\r' || *p == '\n'))
                    ++p;
                sink.Text(at(run), run, static_cast<std::size_t>(p - run));
            } else if (c == '@') {
                m_prefix[0] = c;
                m_prefixLen = 1;
                ++p;
                m_state = kPjlPrefix;
            } else {
                m_state = ModeState();
            }
            break;
        }
        case kPjlPrefix: {
            static constexpr std::string_view kWord = "@PJL";
            const unsigned char c = *p;
            if (c == static_cast<unsigned char>(kWord[m_prefixLen])) {
                m_prefix[m_prefixLen++] = c;
                ++p;
                if (m_prefixLen == kWord.size()) {
                    sink.PjlLine(at(p) - 4, m_prefix, 4);
                    m_state = kPjlLine;
                }
            } else {
                // Not a PJL line after all: what was taken is text.
                sink.Text(at(p) - static_cast<std::int64_t>(m_prefixLen), m_prefix, m_prefixLen);
                m_state = ModeState();
            }
            break;
        }
        case kPjlLine: {
            run = p;
            const auto* lf = static_cast<const unsigned char*>(
                std::memchr(p, '\n', static_cast<std::size_t>(end - p)));
            p = lf ? lf + 1 : end;
            sink.PjlLine(at(run), run, static_cast<std::size_t>(p - run));
            if (lf)
                m_state = kPjlStart;
            break;
        }
        default: {
            // HP-GL/2: instructions of two letters and their parameters, up to an ESC.
            run = p;
            while (p < end && m_state >= kHpgl) {
                const unsigned char c = *p;
                const bool letter = (c | 0x20) >= 'a' && (c | 0x20) <= 'z';
                // An ESC ends the HP-GL/2 bytes, but not inside a label or a comment, which take
                // every byte up to their end.
                if (c == kEscByte && m_state != kHpglLabel && m_state != kHpglComment &&
                    m_state != kHpglQuoted) {
                    break;
                }
                ++p;
                switch (m_state) {
                case kHpgl:
                case kHpglParams:
                    if (letter) {
                        m_instruction = c & ~0x20;
                        m_state = kHpglInstruction;
                    } else if (c == ';') {
                        m_state = kHpgl;
                    }
                    break;
                case kHpglInstruction: {
                    if (!letter) {
                        m_state = c == ';' ? kHpgl : kHpglParams;
                        break;
                    }
                    const unsigned char second = c & ~0x20;
                    sink.HpglInstruction(m_instruction, second);
                    const auto is = [this, second](char a, char b) {
                        return m_instruction == a && second == b;
                    };
                    m_state = is('L', 'B')   ? kHpglLabel
                              : is('D', 'T') ? kHpglTerminator
                              : is('P', 'E') ? kHpglEncoded
                              : is('S', 'M') ? kHpglSymbol
                              : is('C', 'O') ? kHpglComment
                                             : kHpglParams;
                    if (is('I', 'N') || is('D', 'F'))
                        m_labelTerminator = 3;
                    break;
                }
                case kHpglLabel:
                    if (c == m_labelTerminator)
                        m_state = kHpglParams;
                    break;
                case kHpglTerminator:
                    // NUL and ENQ cannot end a label; the terminator stays as it was.
                    if (c != 0 && c != 5)
                        m_labelTerminator = c == ';' ? 3 : c;
                    m_state = c == ';' ? kHpgl : kHpglParams;
                    break;
                case kHpglComment:
                    m_state = c == '"' ? kHpglQuoted : c == ';' ? kHpgl : kHpglComment;
                    break;
                case kHpglEncoded:
                    if (c == ';')
                        m_state = kHpgl;
                    break;
                case kHpglQuoted:
                    if (c == '"')
                        m_state = kHpglParams;
                    break;
                case kHpglSymbol:
                    m_state = c == ';' ? kHpgl : kHpglParams;
                    break;
                default:
                    break;
                }
            }
            if (p > run)
                sink.Hpgl(at(run), run, static_cast<std::size_t>(p - run));
            if (p < end && *p == kEscByte && m_state >= kHpgl) {
                m_tokenStart = at(p);
                m_afterSequence = kHpgl;
                m_state = kEsc;
                ++p;
            }
            break;
        }
        }
    }
    m_pos = at(end);
}

// Tokenizes the whole of `bytes` (one page, or a job held in memory) from PCL mode.
template <class Sink> void Tokenize(std::string_view bytes, Sink& sink)
{
    PclTokenizer tokenizer;
    tokenizer.Feed(bytes, sink);
    tokenizer.Finish(sink);
}

} // namespace kuvrion
