#include "addressees/AdrKey.h"

#include "pcljob/cPclMod.h"
#include "settings/Settings.h"

#include <algorithm>
#include <vector>

namespace kuvrion {

namespace {

// Lists the escape sequences of one page into the scratch lists (1-based positions) and returns
// how many there are.
std::int32_t ListEscapes(std::string_view page, PageScratch& scratch)
{
    std::int32_t count = 0;
    cPclMod::GetEscStats(page, scratch.escPos, scratch.escLen, count);
    // Without an ESC the lists keep old entries; trust only `count`, and never more entries than
    // both lists hold.
    const auto held =
        static_cast<std::int64_t>(std::min(scratch.escPos.size(), scratch.escLen.size()));
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(count, 0, held));
}

void TextWithoutEscapes(std::string_view page, const PageScratch& e, std::int32_t count,
                        std::string& text)
{
    text.clear();
    if (count == 0) {
        text.assign(page);
        return;
    }
    const auto size = static_cast<std::int64_t>(page.size());
    text.reserve(page.size());
    std::int64_t q = 0; // 0-based: the first byte not yet taken or skipped
    for (std::int32_t k = 0; k < count; ++k) {
        const std::int64_t start = std::clamp<std::int64_t>(e.escPos[k] - 1, 0, size);
        if (start > q)
            text.append(
                page.substr(static_cast<std::size_t>(q), static_cast<std::size_t>(start - q)));
        // A "W" count may reach past the end of the page.
        q = std::clamp<std::int64_t>(start + std::max<std::int64_t>(e.escLen[k], 0), q, size);
    }
    if (q < size)
        text.append(page.substr(static_cast<std::size_t>(q)));
}

void Count(ImpErrCounters* nImpErr, AdrKeyFault fault)
{
    if (nImpErr)
        ++(*nImpErr)[static_cast<std::size_t>(fault)];
}

} // namespace

const std::string& GetPageText(std::string_view page, PageScratch& scratch)
{
    TextWithoutEscapes(page, scratch, ListEscapes(page, scratch), scratch.text);
    return scratch.text;
}

std::string GetPageText(std::string_view page)
{
    PageScratch scratch;
    GetPageText(page, scratch);
    return std::move(scratch.text);
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
    PageScratch scratch;
    MaskAdrKey(page, s, scratch);
}

void MaskAdrKey(std::string& page, const Settings& s, PageScratch& scratch)
{
    // One listing of the escapes serves both the text and the mapping back to raw positions.
    const std::int32_t count = ListEscapes(page, scratch);
    TextWithoutEscapes(page, scratch, count, scratch.text);
    std::int64_t r = 0;
    std::string id;
    const std::int64_t p = FindAdrKey(scratch.text, s, r, id, nullptr);
    if (p == 0)
        return;
    const std::vector<std::int64_t>& pos = scratch.escPos;
    const std::vector<std::int64_t>& len = scratch.escLen;

    const auto size = static_cast<std::int64_t>(page.size());
    // Blanks `n` bytes from 1-based `x`, never past the end of the page.
    auto blank = [&](std::int64_t x, std::int64_t n) {
        const std::int64_t from = std::clamp<std::int64_t>(x - 1, 0, size);
        const std::int64_t to = std::clamp<std::int64_t>(x - 1 + n, from, size);
        std::fill(page.begin() + from, page.begin() + to, ' ');
    };

    // x starts as a text position and becomes a raw position as the escapes before it are passed.
    std::int64_t x = p;
    for (std::int32_t k = 0; k < count && r > 0; ++k) {
        if (pos[k] > x) {
            const std::int64_t m = std::min(pos[k] - x, r);
            blank(x, m);
            r -= m;
            x = pos[k] + len[k];
        } else {
            x += len[k];
        }
    }
    if (r > 0)
        blank(x, r);
}

} // namespace kuvrion
