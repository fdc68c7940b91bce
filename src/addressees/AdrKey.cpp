#include "addressees/AdrKey.h"

#include "pcljob/cPclMod.h"
#include "settings/Settings.h"

#include <algorithm>
#include <vector>

namespace kuvrion {

namespace {

void Count(ImpErrCounters* nImpErr, AdrKeyFault fault)
{
    if (nImpErr)
        ++(*nImpErr)[static_cast<std::size_t>(fault)];
}

} // namespace

const std::string& GetPageText(std::string_view page, PageScratch& scratch)
{
    scratch.text.clear();
    cPclMod::AppendWithoutEscapes(page, scratch.text);
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
    KeySpan span;
    std::string id;
    span.pos = FindAdrKey(GetPageText(page, scratch), s, span.len, id, nullptr);
    MaskKeySpan(page, span);
}

void MaskKeySpan(std::string& page, KeySpan span)
{
    const std::int64_t p = span.pos;
    std::int64_t r = span.len;
    if (p <= 0)
        return;

    const auto size = static_cast<std::int64_t>(page.size());
    // Blanks `n` bytes from 1-based `x`, never past the end of the page.
    auto blank = [&](std::int64_t x, std::int64_t n) {
        const std::int64_t from = std::clamp<std::int64_t>(x - 1, 0, size);
        const std::int64_t to = std::clamp<std::int64_t>(x - 1 + n, from, size);
        std::fill(page.begin() + from, page.begin() + to, ' ');
    };

    // x starts as a text position and becomes a raw position as the escapes before it are passed.
    // Only the escapes up to the end of the key are walked.
    std::int64_t x = p;
    std::int64_t pos0 = 0;
    std::int64_t len = 0;
    std::size_t from = 0;
    while (r > 0 && cPclMod::NextEscape(page, from, pos0, len)) {
        const std::int64_t pos = pos0 + 1;
        if (pos > x) {
            const std::int64_t m = std::min(pos - x, r);
            blank(x, m);
            r -= m;
            x = pos + len;
        } else {
            x += len;
        }
        // A W count may reach past the end of the page: then no escape follows.
        if (len >= size - pos0)
            break;
        from = static_cast<std::size_t>(pos0 + len);
    }
    if (r > 0)
        blank(x, r);
}

} // namespace kuvrion
