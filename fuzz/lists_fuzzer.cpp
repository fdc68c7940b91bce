// List texts: a list of numbers, and a list of texts that hold no delimiter and do not begin or
// end with a blank or control character, come back element for element through Array2String and
// String2Array, with "," and "^" and with a separator taken from the input. String2Array on any
// text gives trimmed elements (blanks inside a delimiter pair stay), no more than the separators
// allow.
#include "FuzzCheck.h"
#include "settings/IniAccess.h"

#include <charconv>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

using kuvrion::IniAccess;
using kuvrion::fuzz::Check;

namespace {

constexpr std::int16_t kLim = '^';

bool NumberChar(char c)
{
    return (c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.' || c == 'e' || c == 'E';
}

// Numbers from 4-byte groups, written as the program writes them (classic locale), some with a
// decimal part.
std::vector<std::string> Numbers(std::string_view in)
{
    std::vector<std::string> out;
    for (std::size_t i = 0; i + 4 <= in.size() && out.size() < 64; i += 4) {
        std::uint32_t u = 0;
        for (std::size_t k = 0; k < 4; ++k) {
            u = (u << 8) | static_cast<unsigned char>(in[i + k]);
        }
        char buf[48];
        std::to_chars_result r{};
        if (u % 3 == 0) {
            r = std::to_chars(buf, buf + sizeof buf,
                              static_cast<double>(static_cast<std::int32_t>(u)) / 64.0);
        } else {
            r = std::to_chars(buf, buf + sizeof buf, static_cast<std::int32_t>(u));
        }
        out.emplace_back(buf, r.ptr);
    }
    return out;
}

// Texts split at byte 0 of the input; delimiters dropped, blanks and control characters removed
// from both ends (an element may still be empty).
std::vector<std::string> Texts(std::string_view in)
{
    std::vector<std::string> out(1);
    for (const char c : in) {
        if (c == '\0') {
            out.emplace_back();
        } else if (c != '^') {
            out.back() += c;
        }
    }
    for (auto& e : out) {
        e = IniAccess::TrimCtrlChars(e);
    }
    return out;
}

void RoundTrip(const std::vector<std::string>& list, std::string_view sep, std::int16_t lim)
{
    const std::string joined = IniAccess::Array2String(list, sep, lim);
    std::vector<std::string> back{"stale"};
    IniAccess::String2Array(back, sep, joined, lim, false);
    Check(back == list, "a list comes back element for element");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size)
{
    if (size < 2) {
        return 0;
    }
    const std::string_view all(reinterpret_cast<const char*>(bytes), size);

    // Any text splits into trimmed elements, at most one more than it has separators.
    std::vector<std::string> parts;
    IniAccess::String2Array(parts, ",", all, kLim, false);
    Check(!parts.empty(), "at least one element");
    std::size_t seps = 0;
    for (const char c : all) {
        seps += c == ',' ? 1 : 0;
    }
    Check(parts.size() <= seps + 1, "no more elements than separators allow");
    // Elements are trimmed first and then lose one enclosing pair of delimiters, so the text
    // inside a pair keeps its blanks.
    std::vector<std::string> quoted;
    IniAccess::String2Array(quoted, ",", all, kLim, true);
    Check(quoted.size() == parts.size(), "keeping the delimiters splits alike");
    for (std::size_t i = 0; i < parts.size(); ++i) {
        const std::string& q = quoted[i];
        Check(IniAccess::TrimCtrlChars(q) == q, "elements come back trimmed");
        const bool enclosed = q.size() >= 2 && q.front() == '^' && q.back() == '^';
        Check(parts[i] == (enclosed ? q.substr(1, q.size() - 2) : q),
              "one enclosing pair of delimiters is removed");
    }
    std::vector<std::string> one;
    IniAccess::String2Array(one, "", all, kLim, false);
    Check(one.size() == 1 && one[0] == all, "without a separator the text is the one element");

    // The separator: the first byte's low bits give its length, the next bytes its characters.
    // It must not hold the delimiter or a character numbers are made of.
    const std::size_t sepLen = 1 + (static_cast<unsigned char>(all[0]) & 1);
    std::string_view rest = all.substr(1);
    std::string sep(rest.substr(0, sepLen));
    rest.remove_prefix(std::min(sepLen, rest.size()));
    bool sepUsable = !sep.empty();
    for (const char c : sep) {
        sepUsable = sepUsable && c != '^' && !NumberChar(c);
    }

    const auto numbers = Numbers(rest);
    if (!numbers.empty()) {
        RoundTrip(numbers, ",", kLim);
        RoundTrip(numbers, ",", -1);
        if (sepUsable) {
            RoundTrip(numbers, sep, kLim);
        }
        // A list of numbers is just the numbers with a comma between each two.
        std::string plain;
        for (std::size_t i = 0; i < numbers.size(); ++i) {
            plain += (i > 0 ? "," : "") + numbers[i];
        }
        Check(IniAccess::Array2String(numbers, ",", kLim) == plain, "numbers are not enclosed");
    }

    const auto texts = Texts(rest);
    RoundTrip(texts, ",", kLim);
    if (sepUsable) {
        RoundTrip(texts, sep, kLim);
    }
    return 0;
}
