// A deliberately plain model of the job syntax for the fuzz targets: one byte at a time, no
// buffering, no look-up tables. The targets check the scanner and GetEscStats against it, so it
// must stay simple enough to be obviously right, not fast.
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
    if (!next(c)) {
        return r;
    }
    std::string field;
    if ((c >= '0' && c <= '9') || c == '+' || c == '-') {
        field += static_cast<char>(c);
    } else if (!(c >= 96 && c <= 126)) {
        return finish(c);
    }
    for (;;) {
        if (!next(c)) {
            return r;
        }
        if (numberChar(c)) {
            field += static_cast<char>(c);
        } else if (c >= 96 && c <= 126) {
            field.clear();
        } else {
            if (c == 'W') {
                r.count = FieldCount(field);
            }
            return finish(c);
        }
    }
}

struct RefScan {
    std::vector<std::int64_t> pageEnds; // 1-based position just after each page-end FF
    std::int64_t escapes = 0;
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
    std::int32_t Pages() const
    {
        return pageStart.empty() ? 0 : static_cast<std::int32_t>(pageStart.size() - 1);
    }
};

// Job head, pages and job foot by the rules: the head is page 1 up to its first ESC E (a page 1
// holding nothing else is dropped); the foot is the tail after the last page end when it begins
// with ESC E.
inline RefJob JobModel(std::string_view d)
{
    RefJob j;
    const RefScan s = ScanModel(d);
    j.escapes = s.escapes;
    if (s.pageEnds.empty()) {
        return j;
    }
    const auto size1 = static_cast<std::size_t>(s.pageEnds[0] - 2);
    std::int64_t start0 = 1;
    const std::size_t at = d.substr(0, size1).find("\x1b"
                                                   "E");
    if (at != std::string_view::npos) {
        j.head = std::string(d.substr(0, at + 2));
        // A reset closing page 1 leaves nothing of it: page 1 is then dropped.
        start0 = at + 2 == size1 ? s.pageEnds[0] : static_cast<std::int64_t>(at) + 3;
    }
    const auto tail = static_cast<std::size_t>(s.pageEnds.back() - 1);
    if (d.size() >= tail + 2 && d.substr(tail, 2) == "\x1b"
                                                     "E") {
        j.foot = std::string(d.substr(tail));
    }
    if (start0 != s.pageEnds[0]) {
        j.pageStart.push_back(start0);
    }
    j.pageStart.insert(j.pageStart.end(), s.pageEnds.begin(), s.pageEnds.end());
    if (j.pageStart.size() == 1) {
        j.pageStart.clear(); // only the head-only page 1 was there
    }
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
