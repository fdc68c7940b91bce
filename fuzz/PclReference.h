// A deliberately plain model of the job syntax for the fuzz targets: one byte at a time, no
// buffering, no look-up tables. The targets check the scanner and GetEscStats against it, so it
// must stay simple enough to be obviously right, not fast.
//
// Job structure: head, pages, one FF per page end and foot make up the job; see JobModel.
//
// ESC c1: two characters unless c1 is in 33..47. Then c2: a digit or sign starts the first field,
// 96..126 is the group character, anything else ends the sequence. Then digits, signs and points
// collect a field, 96..126 closes it, 64..94 terminates the sequence, anything else ends it as
// malformed (consumed). A "W" terminator is followed by as many data bytes as its field says:
// the field is read as far as it forms a number, ties round to the even number, negative is 0.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kuvrion::fuzz {

constexpr unsigned char kEsc = 27;
constexpr unsigned char kFF = 12;
// Bigger than any input, so an absurd count only has to reach past the end.
constexpr std::int64_t kCountCap = 1'000'000'000'000'000'000;

// The byte count of one field, from its characters.
inline std::int64_t FieldCount(std::string_view f)
{
    std::size_t i = 0;
    bool negative = false;
    if (i < f.size() && (f[i] == '+' || f[i] == '-')) {
        negative = f[i] == '-';
        ++i;
    }
    std::int64_t whole = 0;
    while (i < f.size() && f[i] >= '0' && f[i] <= '9') {
        whole = whole > kCountCap / 10 ? kCountCap : std::min(whole * 10 + (f[i] - '0'), kCountCap);
        ++i;
    }
    std::string fraction;
    if (i < f.size() && f[i] == '.') {
        ++i;
        while (i < f.size() && f[i] >= '0' && f[i] <= '9') {
            fraction += f[i++];
        }
    }
    if (!fraction.empty()) {
        const bool above =
            fraction[0] > '5' ||
            (fraction[0] == '5' && fraction.find_first_not_of('0', 1) != std::string::npos);
        const bool half = fraction[0] == '5' && !above;
        if (above || (half && whole % 2 == 1)) {
            whole = std::min(whole + 1, kCountCap);
        }
    }
    return negative ? 0 : whole;
}

struct RefSequence {
    bool complete = false;  // false: the data ended inside the sequence
    std::size_t end = 0;    // 0-based index after the sequence's own characters (data excluded)
    std::int64_t count = 0; // binary data bytes after a "W" terminator
    unsigned char last = 0; // the character that ended the sequence
    unsigned char c1 = 0;
    unsigned char group = 0; // 0 when the first field follows c1 directly
    // Each field with the parameter or termination character that closed it.
    std::vector<std::pair<unsigned char, std::string>> fields;
};

// Reads the sequence whose ESC stands at `esc`.
inline RefSequence ReadSequence(std::string_view d, std::size_t esc)
{
    RefSequence r;
    std::size_t j = esc + 1;
    auto next = [&](unsigned char& c) {
        if (j >= d.size()) {
            return false;
        }
        c = static_cast<unsigned char>(d[j++]);
        return true;
    };
    auto finish = [&](unsigned char c) {
        r.complete = true;
        r.end = j;
        r.last = c;
        return r;
    };
    const auto numberChar = [](unsigned char c) {
        return (c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.';
    };
    unsigned char c = 0;
    if (!next(c)) {
        return r;
    }
    if (c < 33 || c > 47) {
        return finish(c);
    }
    r.c1 = c;
    if (!next(c)) {
        return r;
    }
    std::string field;
    if ((c >= '0' && c <= '9') || c == '+' || c == '-') {
        field += static_cast<char>(c);
    } else if (c >= 96 && c <= 126) {
        r.group = c;
    } else {
        return finish(c);
    }
    for (;;) {
        if (!next(c)) {
            return r;
        }
        if (numberChar(c)) {
            field += static_cast<char>(c);
        } else if (c >= 96 && c <= 126) {
            r.fields.emplace_back(c, field);
            field.clear();
        } else {
            if (c >= 64 && c <= 94) {
                r.fields.emplace_back(c, field);
            }
            if (c == 'W') {
                r.count = FieldCount(field);
            }
            return finish(c);
        }
    }
}

// The duplex commands in file order: ESC &l#S selects (0 simplex, 1 long edge, 2 short edge,
// other values ignored), ESC &a#G selects a side. The first selection before the first page end
// sets the mode; another value later, a first selection after the first page end and any side
// selection switch it. The earliest switch is kept.
struct RefDuplex {
    int mode = -1; // -1 while nothing is selected
    std::int64_t selectOffset = -1;
    std::int64_t firstSwitch = -1;

    void Switch(std::int64_t offset)
    {
        if (firstSwitch < 0) {
            firstSwitch = offset;
        }
    }
    void Note(const RefSequence& r, std::int64_t offset, bool beforeFirstPageEnd)
    {
        if (r.c1 != '&') {
            return;
        }
        for (const auto& [closing, field] : r.fields) {
            const int command = closing | 0x20;
            if (r.group == 'a' && command == 'g') {
                Switch(offset);
            }
            if (r.group != 'l' || command != 's') {
                continue;
            }
            const std::int64_t v = !field.empty() && field[0] == '-' ? -1 : FieldCount(field);
            if (v < 0 || v > 2) {
                continue;
            }
            if (mode < 0 && beforeFirstPageEnd) {
                mode = static_cast<int>(v);
                selectOffset = offset;
            } else if (mode != v) {
                Switch(offset);
            }
        }
    }
};

struct RefScan {
    std::vector<std::int64_t> pageEnds; // 1-based position just after each page-end FF
    std::int64_t escapes = 0;
    RefDuplex duplex;
};

// Every FF outside binary data ends a page; the data ending inside a sequence, or a "W" count
// reaching past the end, ends the scan.
inline RefScan ScanModel(std::string_view d)
{
    RefScan s;
    std::size_t i = 0;
    while (i < d.size()) {
        const auto c = static_cast<unsigned char>(d[i]);
        if (c == kFF) {
            s.pageEnds.push_back(static_cast<std::int64_t>(i) + 2);
            ++i;
        } else if (c == kEsc) {
            const RefSequence r = ReadSequence(d, i);
            // A command counts once its character is read, also in a sequence cut by the end.
            s.duplex.Note(r, static_cast<std::int64_t>(i), s.pageEnds.empty());
            if (!r.complete) {
                break;
            }
            if (r.last == kFF) {
                s.pageEnds.push_back(static_cast<std::int64_t>(r.end) + 1);
            }
            if (r.count > static_cast<std::int64_t>(d.size() - r.end)) {
                break;
            }
            ++s.escapes;
            i = r.end + static_cast<std::size_t>(r.count);
        } else {
            ++i;
        }
    }
    return s;
}

struct RefJob {
    std::vector<std::int64_t> pageStart; // Pages + 1 entries (empty when there are no pages)
    std::string head;
    std::string foot;
    std::int64_t escapes = 0;
    bool lastPageUnended = false;
    int duplex = 0; // 0 simplex, 1 long edge, 2 short edge
    bool duplexInPage1 = false;
    bool duplexSwitches = false;
    std::int32_t Pages() const
    {
        return pageStart.empty() ? 0 : static_cast<std::int32_t>(pageStart.size() - 1);
    }
};

inline bool PjlBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

inline std::string UpperAscii(std::string_view s)
{
    std::string u(s);
    for (char& c : u) {
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 32);
        }
    }
    return u;
}

// The words of a PJL line after "@PJL", separated by blanks and "=", in upper case.
inline std::vector<std::string> PjlWords(std::string_view line)
{
    std::vector<std::string> words(1);
    for (char c : line) {
        if (PjlBlank(c) || c == '=') {
            if (!words.back().empty()) {
                words.emplace_back();
            }
        } else {
            words.back() += c;
        }
    }
    if (words.back().empty()) {
        words.pop_back();
    }
    for (std::string& w : words) {
        w = UpperAscii(w);
    }
    return words;
}

struct RefPjl {
    std::size_t headLen = 0; // 0: no PJL head
    bool duplexOn = false;
    bool shortEdge = false;
};

// The leading PJL block of `d`: universal exits and, after one, @PJL lines up to their LF, blanks
// between. The head ends after "@PJL ENTER LANGUAGE=PCL" and the CR and LF bytes right after it,
// else after the last complete @PJL line.
inline RefPjl PjlModel(std::string_view d)
{
    const std::string_view uel = "\x1b%-12345X";
    RefPjl p;
    bool afterUel = false;
    std::size_t i = 0;
    for (;;) {
        while (i < d.size() && PjlBlank(d[i])) {
            ++i;
        }
        if (d.substr(i).starts_with(uel)) {
            afterUel = true;
            i += uel.size();
            continue;
        }
        if (!afterUel || !d.substr(i).starts_with("@PJL")) {
            return p;
        }
        const std::size_t lf = d.find('\n', i);
        if (lf == std::string_view::npos) {
            return p;
        }
        const std::vector<std::string> w = PjlWords(d.substr(i + 4, lf - i - 4));
        i = lf + 1;
        p.headLen = i;
        if (w.size() >= 3 && w[0] == "ENTER" && w[1] == "LANGUAGE") {
            if (w[2] == "PCL" || w[2] == "PCL5" || w[2] == "PCL5E" || w[2] == "PCL5C") {
                while (p.headLen < d.size() && (d[p.headLen] == '\r' || d[p.headLen] == '\n')) {
                    ++p.headLen;
                }
            }
            return p;
        }
        if (w.size() >= 3 && w[0] == "SET" && w[1] == "DUPLEX") {
            p.duplexOn = w[2] == "ON";
        }
        if (w.size() >= 3 && w[0] == "SET" && w[1] == "BINDING") {
            p.shortEdge = w[2] == "SHORTEDGE";
        }
    }
}

// How many bytes of the tail `t` form one more page: up to the first printer reset after the last
// byte of page text, to the end without one; 0 when the tail has no page text. Page text: bytes
// outside sequences and W data above blank, except 127 and the @PJL lines after a universal exit.
inline std::size_t TailPageModel(std::string_view t)
{
    std::int64_t lastText = -1;
    std::int64_t reset = -1;
    bool afterUel = false;
    std::size_t i = 0;
    while (i <= t.size()) {
        // One run of bytes up to the next ESC (or the end).
        const std::size_t esc = std::min(t.find(static_cast<char>(kEsc), i), t.size());
        std::string_view run = t.substr(i, esc - i);
        std::size_t skip = 0;
        while (afterUel) {
            while (skip < run.size() && PjlBlank(run[skip])) {
                ++skip;
            }
            if (!run.substr(skip).starts_with("@PJL")) {
                break;
            }
            skip = std::min(run.find('\n', skip), run.size() - 1) + 1;
        }
        for (std::size_t k = skip; k < run.size(); ++k) {
            const auto c = static_cast<unsigned char>(run[k]);
            if (c > ' ' && c != 127) {
                lastText = static_cast<std::int64_t>(i + k);
                reset = -1;
            }
        }
        if (esc == t.size()) {
            break;
        }
        const RefSequence r = ReadSequence(t, esc);
        if (!r.complete) {
            break;
        }
        const std::string_view body = t.substr(esc + 1, r.end - esc - 1);
        if (body == "E" && lastText >= 0 && reset < 0) {
            reset = static_cast<std::int64_t>(esc);
        }
        afterUel = body == "%-12345X";
        if (r.count > static_cast<std::int64_t>(t.size() - r.end)) {
            break;
        }
        i = r.end + static_cast<std::size_t>(r.count);
    }
    if (lastText < 0) {
        return 0;
    }
    return reset >= 0 ? static_cast<std::size_t>(reset) : t.size();
}

// Job head, pages and job foot by the rules. Head: page 1 (the whole job without a page end) up to
// its first ESC E, else its PJL block; a page 1 holding nothing else is dropped. Tail: the bytes
// after the last page end (after the head without one): one more page when it holds page text,
// and the foot.
inline RefJob JobModel(std::string_view d)
{
    RefJob j;
    const RefScan s = ScanModel(d);
    j.escapes = s.escapes;
    const std::size_t size1 =
        s.pageEnds.empty() ? d.size() : static_cast<std::size_t>(s.pageEnds[0] - 2);
    const std::size_t at = d.substr(0, size1).find("\x1b"
                                                   "E");
    const std::size_t headLen =
        at != std::string_view::npos ? at + 2 : PjlModel(d.substr(0, size1)).headLen;
    j.head = std::string(d.substr(0, headLen));

    std::vector<std::int64_t> starts{static_cast<std::int64_t>(headLen) + 1};
    starts.insert(starts.end(), s.pageEnds.begin(), s.pageEnds.end());
    if (starts.size() > 1 && headLen > 0 && headLen == size1) {
        starts.erase(starts.begin()); // page 1 held only the head
    }
    const auto tail = static_cast<std::size_t>(starts.back() - 1);
    const std::size_t tailPage = TailPageModel(d.substr(tail));
    j.foot = std::string(d.substr(tail + tailPage));
    if (tailPage > 0) {
        starts.push_back(static_cast<std::int64_t>(tail + tailPage) + 2);
        j.lastPageUnended = true;
    }
    if (starts.size() > 1) {
        j.pageStart = starts;
    }

    if (s.duplex.mode >= 0) {
        j.duplex = s.duplex.mode;
        j.duplexInPage1 = s.duplex.selectOffset >= static_cast<std::int64_t>(headLen);
    } else {
        const RefPjl pjl = PjlModel(j.head);
        j.duplex = pjl.duplexOn ? (pjl.shortEdge ? 2 : 1) : 0;
    }
    j.duplexSwitches = s.duplex.firstSwitch >= 0 &&
                       s.duplex.firstSwitch < static_cast<std::int64_t>(d.size() - j.foot.size());
    return j;
}

struct RefEscList {
    std::vector<std::int64_t> pos;
    std::vector<std::int64_t> len;
};

// The escape sequences of a text, 1-based, "W" data included in the length.
inline RefEscList EscModel(std::string_view t)
{
    RefEscList l;
    std::size_t s = 0;
    while (s < t.size()) {
        const std::size_t p = t.find(static_cast<char>(kEsc), s);
        if (p == std::string_view::npos) {
            break;
        }
        const RefSequence r = ReadSequence(t, p);
        l.pos.push_back(static_cast<std::int64_t>(p) + 1);
        if (!r.complete) {
            l.len.push_back(static_cast<std::int64_t>(t.size() - p));
            break;
        }
        const std::int64_t len = static_cast<std::int64_t>(r.end - p) + r.count;
        l.len.push_back(len);
        if (len >= static_cast<std::int64_t>(t.size() - p)) {
            break;
        }
        s = p + static_cast<std::size_t>(len);
    }
    return l;
}

} // namespace kuvrion::fuzz
