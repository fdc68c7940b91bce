#include "addressees/AdrKey.h"

#include "pcljob/PageText.h"
#include "settings/Settings.h"

#include <algorithm>
#include <vector>

namespace kuvrion {

namespace {

void Count(KeyFaultCounts* keyFaultCounts, AdrKeyFault fault)
{
    if (keyFaultCounts)
        ++(*keyFaultCounts)[static_cast<std::size_t>(fault)];
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

namespace {

// A letter or digit of Windows-1252 in lower case; 0 for every other byte.
char Folded(char c)
{
    const auto u = static_cast<unsigned char>(c);
    if ((u >= '0' && u <= '9') || (u >= 'a' && u <= 'z') || u >= 0xDF)
        return u == 0xF7 ? '\0' : c; // not the division sign
    if (u >= 'A' && u <= 'Z')
        return static_cast<char>(u + 32);
    if (u >= 0xC0 && u <= 0xDE && u != 0xD7) // the upper-case letters with accents and umlauts
        return static_cast<char>(u + 32);
    return '\0';
}

} // namespace

std::string NearestMarkerText(std::string_view text, std::string_view marker)
{
    std::string want;
    for (const char c : marker) {
        if (const char f = Folded(c))
            want += f;
    }
    if (want.empty())
        return {};
    // The letters and digits of the text, with where each stands.
    std::string folded;
    std::vector<std::size_t> at;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (const char f = Folded(text[i])) {
            folded += f;
            at.push_back(i);
        }
    }
    const std::size_t found = folded.find(want);
    if (found == std::string::npos)
        return {};
    const std::size_t first = at[found];
    std::size_t end = at[found + want.size() - 1] + 1;
    // With the punctuation that closes it ("Kd-Nr:"), up to a blank or the next letter or digit.
    while (end < text.size() && static_cast<unsigned char>(text[end]) > ' ' && !Folded(text[end]))
        ++end;
    return std::string(text.substr(first, end - first));
}

std::optional<FoundKey> FindAdrKey(std::string_view text, const Settings& s,
                                   KeyFaultCounts* keyFaultCounts)
{
    const std::string_view beg = s.keyBegin;
    // An empty start marker is no key setting at all (the import is not offered with it), so it
    // is never found rather than found everywhere.
    const std::size_t found = beg.empty() ? std::string_view::npos : text.find(beg);
    if (found == std::string_view::npos) {
        Count(keyFaultCounts, kKeyNotFound);
        return std::nullopt;
    }
    FoundKey key{{static_cast<std::int64_t>(found) + 1, static_cast<std::int64_t>(beg.size())}, {}};
    std::string& id = key.id;
    std::int64_t& keyLen = key.span.len;
    const std::size_t s0 = found + beg.size(); // 0-based first character after the start marker

    if (s.keyMode != 0) {
        const auto idLen = static_cast<std::size_t>(std::max<std::int32_t>(s.idLength, 0));
        if (s.idLength >= 1 && text.size() - s0 >= idLen) {
            id.assign(text.substr(s0, idLen));
            keyLen += static_cast<std::int64_t>(idLen);
        } else {
            Count(keyFaultCounts, kIdTooShort);
        }
        return key;
    }

    const std::string_view end = s.keyEnd;
    const std::size_t e = text.find(end, s0);
    if (e == std::string_view::npos) {
        Count(keyFaultCounts, kEndMarkerMissing);
    } else if (e == s0) {
        Count(keyFaultCounts, kIdMissing);
    } else {
        id.assign(text.substr(s0, e - s0));
        keyLen += static_cast<std::int64_t>(e - s0 + end.size());
    }
    return key;
}

void MaskAdrKey(std::string& page, const Settings& s)
{
    PageScratch scratch;
    MaskAdrKey(page, s, scratch);
}

void MaskAdrKey(std::string& page, const Settings& s, PageScratch& scratch)
{
    if (const auto key = FindAdrKey(GetPageText(page, scratch), s, nullptr))
        MaskKeySpan(page, key->span);
}

void MaskKeySpan(std::string& page, KeySpan span)
{
    if (span.pos > 0)
        BlankPageText(page, span.pos - 1, span.len);
}

} // namespace kuvrion
