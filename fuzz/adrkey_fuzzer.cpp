// Page text, key search and key masking on any page with key settings taken from the first input
// bytes. The page text holds no ESC and is its own page text; the search finds the first start
// marker and counts exactly one fault for a page without a valid ID; the masked page keeps its
// length and every escape sequence byte for byte, and its text is the old text with the key
// blanked.
#include "FuzzCheck.h"
#include "addressees/AdrKey.h"
#include "pcljob/cPclMod.h"
#include "settings/Settings.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <numeric>
#include <string>
#include <string_view>
#include <vector>

using kuvrion::fuzz::Check;

namespace {

// Input: mode, ID length, start-marker length, end-marker length, the markers, then the page.
bool TakeSettings(std::string_view& in, kuvrion::Settings& s)
{
    if (in.size() < 4) {
        return false;
    }
    const auto b = [&](std::size_t i) { return static_cast<unsigned char>(in[i]); };
    s.nAdrKeyMode = b(0) & 1;
    s.nAdrIdLen = b(1) % 101; // 0 and 100 lie outside the dialog's range on purpose
    const std::size_t begLen = b(2) % 16;
    const std::size_t endLen = b(3) % 8;
    in.remove_prefix(4);
    if (in.size() < begLen + endLen) {
        return false;
    }
    s.sAdrKeyBeg = std::string(in.substr(0, begLen));
    s.sAdrKeyEnd = std::string(in.substr(begLen, endLen));
    in.remove_prefix(begLen + endLen);
    return true;
}

struct Escapes {
    std::vector<std::int64_t> pos;
    std::vector<std::int64_t> len;
    std::int32_t count = 0;
};

Escapes List(std::string_view page)
{
    Escapes e;
    kuvrion::cPclMod::GetEscStats(page, e.pos, e.len, e.count);
    e.pos.resize(static_cast<std::size_t>(e.count));
    e.len.resize(static_cast<std::size_t>(e.count));
    return e;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size)
{
    std::string_view in(reinterpret_cast<const char*>(bytes), size);
    kuvrion::Settings s;
    if (!TakeSettings(in, s)) {
        return 0;
    }
    const std::string page(in);
    const Escapes esc = List(page);

    const std::string text = kuvrion::GetPageText(page);
    Check(text.find('\x1b') == std::string::npos, "the page text holds no ESC");
    Check(kuvrion::GetPageText(text) == text, "a page text is its own page text");
    std::int64_t escBytes = 0;
    for (std::int32_t k = 0; k < esc.count; ++k) {
        const auto i = static_cast<std::size_t>(k);
        escBytes += std::min<std::int64_t>(esc.len[i],
                                           static_cast<std::int64_t>(page.size()) - esc.pos[i] + 1);
    }
    Check(static_cast<std::int64_t>(text.size()) ==
              static_cast<std::int64_t>(page.size()) - escBytes,
          "the page text is the page without its sequences");

    kuvrion::ImpErrCounters faults{};
    std::int64_t keyLen = -1;
    std::string id = "stale";
    const std::int64_t p = kuvrion::FindAdrKey(text, s, keyLen, id, &faults);
    const std::int32_t counted = std::accumulate(faults.begin(), faults.end(), 0);
    const std::string& beg = s.sAdrKeyBeg;
    if (p == 0) {
        Check(beg.empty() || text.find(beg) == std::string::npos, "a present marker is found");
        Check(keyLen == -1 && id.empty(), "no marker: key length unchanged, no ID");
        Check(faults[kuvrion::kKeyNotFound] == 1 && counted == 1, "no marker counts one fault");
        std::string masked = page;
        kuvrion::MaskAdrKey(masked, s);
        Check(masked == page, "a page without marker stays unchanged");
        return 0;
    }
    Check(!beg.empty() && text.find(beg) == static_cast<std::size_t>(p) - 1,
          "the first start marker is found");
    Check(keyLen >= static_cast<std::int64_t>(beg.size()) &&
              p - 1 + keyLen <= static_cast<std::int64_t>(text.size()),
          "the key lies inside the page text");
    Check(counted == (id.empty() ? 1 : 0), "one fault exactly for a page without a valid ID");
    const std::size_t idStart = static_cast<std::size_t>(p) - 1 + beg.size();
    if (!id.empty()) {
        Check(text.compare(idStart, id.size(), id) == 0, "the ID follows the start marker");
        if (s.nAdrKeyMode != 0) {
            Check(static_cast<std::int64_t>(id.size()) == s.nAdrIdLen &&
                      keyLen == static_cast<std::int64_t>(beg.size() + id.size()),
                  "a fixed-length ID has its length");
        } else {
            const std::string& end = s.sAdrKeyEnd;
            Check((id + end).find(end) == id.size() &&
                      text.compare(idStart + id.size(), end.size(), end) == 0,
                  "the ID ends at the first end marker");
            Check(keyLen == static_cast<std::int64_t>(beg.size() + id.size() + end.size()),
                  "the key spans start marker, ID and end marker");
        }
    } else {
        Check(keyLen == static_cast<std::int64_t>(beg.size()), "an invalid ID leaves the marker");
    }

    std::string masked = page;
    kuvrion::MaskAdrKey(masked, s);
    Check(masked.size() == page.size(), "masking keeps the page's length");
    const Escapes after = List(masked);
    Check(after.pos == esc.pos && after.len == esc.len, "masking keeps every sequence in place");
    for (std::int32_t k = 0; k < esc.count; ++k) {
        const auto i = static_cast<std::size_t>(k);
        const auto from = static_cast<std::size_t>(esc.pos[i]) - 1;
        const auto n = static_cast<std::size_t>(esc.len[i]);
        Check(masked.compare(from, n, page, from, n) == 0, "every sequence stays byte for byte");
    }
    std::string expected = text;
    std::fill_n(expected.begin() + (p - 1), keyLen, ' ');
    Check(kuvrion::GetPageText(masked) == expected, "exactly the key's characters become blanks");
    return 0;
}
