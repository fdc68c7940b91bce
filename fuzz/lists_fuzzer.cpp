// List texts: any text splits into trimmed elements, no more than its separators allow, and an
// element loses one enclosing pair of delimiters (blanks inside it stay). Lists of numbers (written
// without delimiters), and of trimmed texts without the delimiter, come back element for element
// through Array2String and String2Array.
#include "FuzzCheck.h"
#include "settings/IniAccess.h"

#include <algorithm>
#include <charconv>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

using kuvrion::IniAccess;
using kuvrion::fuzz::Check;

namespace {

constexpr std::int16_t kLim = '^';

void RoundTrip(const std::vector<std::string>& list)
{
    std::vector<std::string> back{"stale"};
    IniAccess::String2Array(back, ",", IniAccess::Array2String(list, ",", kLim), kLim, false);
    Check(back == list, "a list comes back element for element");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size)
{
    if (size < 2) {
        return 0;
    }
    const std::string_view all(reinterpret_cast<const char*>(bytes), size);
    std::vector<std::string> parts;
    std::vector<std::string> quoted;
    IniAccess::String2Array(parts, ",", all, kLim, false);
    IniAccess::String2Array(quoted, ",", all, kLim, true);
    Check(!parts.empty() && quoted.size() == parts.size() &&
              parts.size() <= static_cast<std::size_t>(std::count(all.begin(), all.end(), ',')) + 1,
          "at least one element, no more than the separators allow, alike with delimiters kept");
    for (std::size_t i = 0; i < parts.size(); ++i) {
        // Trimmed first, then one enclosing pair of delimiters removed.
        const std::string& q = quoted[i];
        const bool enclosed = q.size() >= 2 && q.front() == '^' && q.back() == '^';
        Check(IniAccess::TrimCtrlChars(q) == q &&
                  parts[i] == (enclosed ? q.substr(1, q.size() - 2) : q),
              "trimmed elements, one enclosing pair of delimiters removed");
    }

    // The lists from the input after its first bytes (which once chose a separator).
    const std::string_view rest = all.substr(std::min<std::size_t>(all.size(), 2 + (bytes[0] & 1)));
    // Numbers from 4-byte groups, written as the program writes them (classic locale), a third of
    // them with a decimal part; texts split at byte 0, delimiters dropped, trimmed.
    std::vector<std::string> numbers;
    std::string plain;
    for (std::size_t i = 0; i + 4 <= rest.size() && numbers.size() < 64; i += 4) {
        std::int32_t v = 0;
        std::memcpy(&v, rest.data() + i, 4);
        char buf[48];
        const auto r = v % 3 == 0 ? std::to_chars(buf, buf + sizeof buf, v / 64.0)
                                  : std::to_chars(buf, buf + sizeof buf, v);
        numbers.emplace_back(buf, r.ptr);
        plain += (plain.empty() ? "" : ",") + numbers.back();
    }
    std::vector<std::string> texts(1);
    for (const char c : rest) {
        if (c == '\0') {
            texts.emplace_back();
        } else if (c != '^') {
            texts.back() += c;
        }
    }
    for (auto& t : texts) {
        t = IniAccess::TrimCtrlChars(t);
    }
    Check(IniAccess::Array2String(numbers, ",", kLim) == plain, "numbers are not enclosed");
    for (const auto& list : {numbers, texts}) {
        if (!list.empty()) {
            RoundTrip(list);
        }
    }
    return 0;
}
