#include "addressees/AdrKey.h"

#include "pcljob/PageText.h"
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

std::string_view GetPageText(std::string_view page, PageScratch& scratch)
{
    // The room only grows: filling it anew for every page would cost as much as reading it.
    if (scratch.text.size() < page.size() + kPageTextSlack)
        scratch.text.resize(page.size() + kPageTextSlack);
    return {scratch.text.data(), WritePageText(page, scratch.text.data())};
}

std::string GetPageText(std::string_view page)
{
    std::string text;
    AppendPageText(page, text);
    return text;
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
    if (span.pos > 0)
        BlankPageText(page, span.pos - 1, span.len);
}

} // namespace kuvrion
