#include "base/Numbers.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <limits>
#include <system_error>

namespace kuvrion {

namespace {

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

// Digits of a finite float in its shortest round-trip form, with at most 7 significant digits,
// written out without an exponent.
std::string PlainDecimal(float value)
{
    std::array<char, 64> buf{};
    auto res =
        std::to_chars(buf.data(), buf.data() + buf.size(), value, std::chars_format::scientific);
    std::string_view sci(buf.data(), static_cast<std::size_t>(res.ptr - buf.data()));
    auto mantissaDigits = [](std::string_view t) {
        const auto e = t.find('e');
        std::size_t n = 0;
        for (std::size_t i = 0; i < e; ++i)
            n += IsDigit(t[i]) ? 1 : 0;
        return n;
    };
    if (mantissaDigits(sci) > 7) {
        res = std::to_chars(buf.data(), buf.data() + buf.size(), value,
                            std::chars_format::scientific, 6);
        sci = std::string_view(buf.data(), static_cast<std::size_t>(res.ptr - buf.data()));
    }
    const bool negative = !sci.empty() && sci.front() == '-';
    const auto ePos = sci.find('e');
    std::string digits;
    for (std::size_t i = 0; i < ePos; ++i) {
        if (IsDigit(sci[i]))
            digits += sci[i];
    }
    while (digits.size() > 1 && digits.back() == '0')
        digits.pop_back();
    int exponent = 0;
    const auto expText = sci.substr(ePos + 1);
    const char* first = expText.data();
    if (!expText.empty() && expText.front() == '+')
        ++first;
    std::from_chars(first, expText.data() + expText.size(), exponent);

    std::string out;
    if (negative)
        out += '-';
    const int digitCount = static_cast<int>(digits.size());
    if (exponent < 0) {
        // The caller decides about a "0" in front of the point.
        out += '.';
        out.append(static_cast<std::size_t>(-exponent - 1), '0');
        out += digits;
    } else if (exponent + 1 >= digitCount) {
        out += digits;
        out.append(static_cast<std::size_t>(exponent + 1 - digitCount), '0');
    } else {
        out.append(digits, 0, static_cast<std::size_t>(exponent + 1));
        out += '.';
        out.append(digits, static_cast<std::size_t>(exponent + 1), std::string::npos);
    }
    return out;
}

} // namespace

std::string FormatMM(float value)
{
    if (!std::isfinite(value) || value == 0.0f)
        return "0";
    std::string text = PlainDecimal(value);
    if (!text.empty() && text.front() == '.')
        text.insert(text.begin(), '0');
    return text;
}

float ValMM(std::string_view text)
{
    std::string copy(text);
    const auto comma = copy.find(',');
    if (comma != std::string::npos)
        copy[comma] = '.';
    const double v = ValNumber(copy);
    constexpr double kMax = std::numeric_limits<float>::max();
    return static_cast<float>(std::clamp(v, -kMax, kMax));
}

std::int32_t RoundToLong(float value)
{
    if (std::isnan(value))
        return 0;
    // In double, value + 0.5 is exact for every float, so halves go up and nothing else moves.
    const double v = value >= 0.0f ? std::floor(static_cast<double>(value) + 0.5)
                                   : std::floor(static_cast<double>(value));
    constexpr double kLo = std::numeric_limits<std::int32_t>::min();
    constexpr double kHi = std::numeric_limits<std::int32_t>::max();
    return static_cast<std::int32_t>(std::clamp(v, kLo, kHi));
}

std::int32_t Clamp(std::int32_t v, std::int32_t lo, std::int32_t hi)
{
    if (v < lo)
        return lo;
    if (v > hi)
        return hi;
    return v;
}

double ValNumber(std::string_view text)
{
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t'))
        ++i;
    std::string number;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        if (text[i] == '-')
            number += '-';
        ++i;
    }
    bool anyDigit = false;
    bool point = false;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (IsDigit(c)) {
            anyDigit = true;
            number += c;
        } else if (c == '.' && !point) {
            point = true;
            number += c;
        } else {
            break;
        }
    }
    if (!anyDigit)
        return 0.0;
    double v = 0.0;
    const auto res =
        std::from_chars(number.data(), number.data() + number.size(), v, std::chars_format::fixed);
    if (res.ec == std::errc::result_out_of_range) {
        // Too many digits for a double, or a tiny fraction: saturate or give 0.
        const auto firstNonZero = number.find_first_of("123456789");
        const auto pointPos = number.find('.');
        const bool large = firstNonZero != std::string::npos &&
                           (pointPos == std::string::npos || firstNonZero < pointPos);
        const double mag = large ? std::numeric_limits<double>::max() : 0.0;
        return number.front() == '-' ? -mag : mag;
    }
    if (res.ec != std::errc())
        return 0.0;
    return v;
}

std::int32_t ValWhole(std::string_view text, std::int32_t lo, std::int32_t hi)
{
    const double v = ValNumber(text);
    double r = std::round(v); // halves away from zero ...
    if (std::fabs(v - std::trunc(v)) == 0.5 && std::fmod(r, 2.0) != 0.0)
        r -= std::copysign(1.0, v); // ... but to the even neighbour
    r = std::clamp(r, static_cast<double>(lo), static_cast<double>(hi));
    return static_cast<std::int32_t>(r);
}

void AppendDecimal(std::string& out, std::int64_t n)
{
    char buf[24];
    const auto res = std::to_chars(buf, buf + sizeof buf, n);
    out.append(buf, res.ptr);
}

std::string Decimal(std::int64_t n)
{
    std::string s;
    AppendDecimal(s, n);
    return s;
}

} // namespace kuvrion
