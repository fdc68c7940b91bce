#include "addressees/AdrKey.h"

#include "pcljob/cPclMod.h"
#include "settings/Settings.h"

#include <algorithm>
#include <vector>

namespace kuvrion {

namespace {

// The escape sequences of one page, as the scanner delimits them (1-based positions).
struct EscList {
    std::vector<std::int64_t> pos;
    std::vector<std::int64_t> len;
    std::int32_t count = 0;
};

EscList ListEscapes(std::string_view page)
{
    EscList e;
    cPclMod::GetEscStats(page, e.pos, e.len, e.count);
    // The arrays may keep stale entries when there is no ESC; trust only `count`, and never more
    // entries than both arrays hold.
    const auto held = static_cast<std::int64_t>(std::min(e.pos.size(), e.len.size()));
    e.count = static_cast<std::int32_t>(std::clamp<std::int64_t>(e.count, 0, held));
    return e;
}

std::string TextWithoutEscapes(std::string_view page, const EscList& e)
{
    if (e.count == 0)
        return std::string(page);
    const auto size = static_cast<std::int64_t>(page.size());
    std::string text;
    text.reserve(page.size());
    std::int64_t q = 0; // 0-based: the first byte not yet taken or skipped
    for (std::int32_t k = 0; k < e.count; ++k) {
        const std::int64_t start = std::clamp<std::int64_t>(e.pos[k] - 1, 0, size);
        if (start > q)
            text.append(
                page.substr(static_cast<std::size_t>(q), static_cast<std::size_t>(start - q)));
        // A "W" count may reach past the end of the page.
        q = std::clamp<std::int64_t>(start + std::max<std::int64_t>(e.len[k], 0), q, size);
    }
    if (q < size)
        text.append(page.substr(static_cast<std::size_t>(q)));
    return text;
}

void Count(ImpErrCounters* nImpErr, AdrKeyFault fault)
{
    if (nImpErr)
        ++(*nImpErr)[static_cast<std::size_t>(fault)];
}

} // namespace

std::string GetPageText(std::string_view page)
{
    return TextWithoutEscapes(page, ListEscapes(page));
}

std::int64_t FindAdrKey(std::string_view text, const Settings& s, std::int64_t& keyLen,
                        std::string& id, ImpErrCounters* nImpErr)
{
    id.clear();
    const std::string_view beg = s.sAdrKeyBeg;
    // An empty start marker is no key setting at all (the import is not offered with it), so it
    // is never found rather than found everywhere.
    const std::size_t found = beg.empty() ? std::string_view::npos : text.find(beg);
    if (found == std::string_view::npos) {
        Count(nImpErr, kKeyNotFound);
        return 0;
    }
    const auto p = static_cast<std::int64_t>(found) + 1;
    keyLen = static_cast<std::int64_t>(beg.size());
    const std::size_t s0 = found + beg.size(); // 0-based first character after the start marker

    if (s.nAdrKeyMode != 0) {
        const auto idLen = static_cast<std::size_t>(std::max<std::int32_t>(s.nAdrIdLen, 0));
        if (s.nAdrIdLen >= 1 && text.size() - s0 >= idLen) {
            id.assign(text.substr(s0, idLen));
            keyLen += static_cast<std::int64_t>(idLen);
        } else {
            Count(nImpErr, kIdTooShort);
        }
        return p;
    }

    const std::string_view end = s.sAdrKeyEnd;
    const std::size_t e = text.find(end, s0);
    if (e == std::string_view::npos) {
        Count(nImpErr, kEndMarkerMissing);
    } else if (e == s0) {
        Count(nImpErr, kIdMissing);
    } else {
        id.assign(text.substr(s0, e - s0));
        keyLen += static_cast<std::int64_t>(e - s0 + end.size());
    }
    return p;
}

void MaskAdrKey(std::string& page, const Settings& s)
{
    const EscList e = ListEscapes(page);
    std::int64_t r = 0;
    std::string id;
    const std::int64_t p = FindAdrKey(TextWithoutEscapes(page, e), s, r, id, nullptr);
    if (p == 0)
        return;

    const auto size = static_cast<std::int64_t>(page.size());
    // Blanks `n` bytes from 1-based `x`, never past the end of the page.
    auto blank = [&](std::int64_t x, std::int64_t n) {
        const std::int64_t from = std::clamp<std::int64_t>(x - 1, 0, size);
        const std::int64_t to = std::clamp<std::int64_t>(x - 1 + n, from, size);
        std::fill(page.begin() + from, page.begin() + to, ' ');
    };

    // x starts as a text position and becomes a raw position as the escapes before it are passed.
    std::int64_t x = p;
    for (std::int32_t k = 0; k < e.count && r > 0; ++k) {
        if (e.pos[k] > x) {
            const std::int64_t m = std::min(e.pos[k] - x, r);
            blank(x, m);
            r -= m;
            x = e.pos[k] + e.len[k];
        } else {
            x += e.len[k];
        }
    }
    if (r > 0)
        blank(x, r);
}

} // namespace kuvrion
