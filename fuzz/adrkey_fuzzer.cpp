// Page text, key search and key masking on any page, with the key settings taken from the first
// input bytes: the page text is the page without its escape sequences; the search
// finds the first start marker and the ID where the mode puts it, and counts exactly one fault for
// a page without a valid ID; masking blanks exactly the key's characters in the page and keeps
// every other byte.
#include "FuzzCheck.h"
#include "addressees/AdrKey.h"
#include "pcljob/PclTokenizer.h"
#include "settings/Settings.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <numeric>
#include <string>
#include <string_view>
#include <vector>

using kuvrion::fuzz::Check;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size)
{
    // Input: mode, ID length, start-marker length, end-marker length, the markers, then the page.
    std::string_view in(reinterpret_cast<const char*>(bytes), size);
    const std::size_t begLen = size < 4 ? 0 : bytes[2] % 16;
    const std::size_t endLen = size < 4 ? 0 : bytes[3] % 8;
    if (size < 4 + begLen + endLen) {
        return 0;
    }
    kuvrion::Settings s;
    s.keyMode = bytes[0] & 1;
    s.idLength = bytes[1] % 101; // 0 and 100 lie outside the dialog's range on purpose
    s.keyBegin = std::string(in.substr(4, begLen));
    s.keyEnd = std::string(in.substr(4 + begLen, endLen));
    const std::string page(in.substr(4 + begLen + endLen));

    // Where each character of the page text stands in the page, by its text tokens.
    struct TextPlaces : kuvrion::PclTokenSink {
        std::vector<std::size_t> at;
        std::string text;
        void Text(std::int64_t from, const unsigned char* p, std::size_t n)
        {
            for (std::size_t i = 0; i < n; ++i)
                at.push_back(static_cast<std::size_t>(from) + i);
            text.append(reinterpret_cast<const char*>(p), n);
        }
        void FormFeed(std::int64_t from)
        {
            Text(from, reinterpret_cast<const unsigned char*>("\f"), 1);
        }
    } places;
    kuvrion::Tokenize(page, places);
    const std::vector<std::size_t>& at = places.at;
    const std::string& modelText = places.text;
    const std::string text = kuvrion::GetPageText(page);
    Check(text == modelText, "the page text is the page without its sequences");

    kuvrion::KeyFaultCounts faults{};
    const auto key = kuvrion::FindAdrKey(text, s, &faults);
    const std::int64_t p = key ? key->span.pos : 0;
    const std::int64_t keyLen = key ? key->span.len : -1;
    const std::string id = key ? key->id : "";
    const std::int32_t counted = std::accumulate(faults.begin(), faults.end(), 0);
    const std::string& beg = s.keyBegin;
    std::string expected = page; // the page with the key's characters blanked
    if (!key) {
        Check(beg.empty() || text.find(beg) == std::string::npos, "a present marker is found");
        Check(faults[kuvrion::kKeyNotFound] == 1 && counted == 1, "no marker: one fault");
    } else {
        Check(!beg.empty() && text.find(beg) == static_cast<std::size_t>(p) - 1,
              "the first start marker is found");
        Check(counted == (id.empty() ? 1 : 0), "one fault exactly for a page without a valid ID");
        const std::size_t idStart = static_cast<std::size_t>(p) - 1 + beg.size();
        const std::string end = s.keyMode == 0 ? s.keyEnd : "";
        Check(id.empty() || (text.compare(idStart, id.size() + end.size(), id + end) == 0 &&
                             (s.keyMode == 0 ? (id + end).find(end) == id.size()
                                             : static_cast<std::int64_t>(id.size()) == s.idLength)),
              "the ID follows the start marker and ends at the first end marker or its length");
        Check(keyLen ==
                  static_cast<std::int64_t>(beg.size() + (id.empty() ? 0 : id.size() + end.size())),
              "the key spans start marker, ID and end marker");
        for (std::int64_t t = p - 1; t < p - 1 + keyLen; ++t) {
            expected[at[static_cast<std::size_t>(t)]] = ' ';
        }
    }
    std::string masked = page;
    kuvrion::MaskAdrKey(masked, s);
    Check(masked == expected, "masking blanks exactly the key's characters, and nothing else");
    return 0;
}
