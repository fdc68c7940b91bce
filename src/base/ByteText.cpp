#include "base/ByteText.h"

#include <array>
#include <cstddef>

namespace kuvrion {

namespace {

// Unicode code points of the Windows-1252 bytes 0x80..0x9F. The five bytes without a character
// map to the C1 control of the same value, as the Windows conversion does, so file names holding
// them survive the round trip.
constexpr std::array<char16_t, 32> kHighControls = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

// The Windows-1252 byte of a code point, or -1 when there is none.
int Cp1252Byte(char32_t cp)
{
    if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF))
        return static_cast<int>(cp);
    for (std::size_t i = 0; i < kHighControls.size(); ++i) {
        if (kHighControls[i] == cp)
            return static_cast<int>(0x80 + i);
    }
    return -1;
}

void AppendUtf8(std::string& out, char32_t cp)
{
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

// Decodes one UTF-8 character at `i`, advancing `i`. Malformed input (overlong forms, surrogates,
// truncated sequences, values past U+10FFFF) gives false and skips one byte.
bool DecodeUtf8(std::string_view s, std::size_t& i, char32_t& cp)
{
    const auto b0 = static_cast<unsigned char>(s[i]);
    if (b0 < 0x80) {
        cp = b0;
        ++i;
        return true;
    }
    std::size_t len = 0;
    char32_t min = 0;
    if ((b0 & 0xE0) == 0xC0) {
        len = 2;
        cp = b0 & 0x1F;
        min = 0x80;
    } else if ((b0 & 0xF0) == 0xE0) {
        len = 3;
        cp = b0 & 0x0F;
        min = 0x800;
    } else if ((b0 & 0xF8) == 0xF0) {
        len = 4;
        cp = b0 & 0x07;
        min = 0x10000;
    } else {
        ++i;
        return false;
    }
    if (s.size() - i < len) {
        ++i;
        return false;
    }
    for (std::size_t k = 1; k < len; ++k) {
        const auto b = static_cast<unsigned char>(s[i + k]);
        if ((b & 0xC0) != 0x80) {
            ++i;
            return false;
        }
        cp = (cp << 6) | (b & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
        ++i;
        return false;
    }
    i += len;
    return true;
}

} // namespace

std::string UnquoteMarker(std::string_view s)
{
    if (s.size() >= 2 && s.front() == '^' && s.back() == '^')
        return std::string(s.substr(1, s.size() - 2));
    return std::string(s);
}

std::string QuoteMarker(std::string_view s)
{
    std::string out;
    out.reserve(s.size() + 2);
    out += '^';
    out += s;
    out += '^';
    return out;
}

std::string Cp1252ToUtf8(std::string_view cp1252)
{
    std::string out;
    out.reserve(cp1252.size() + cp1252.size() / 4);
    for (const char c : cp1252) {
        const auto b = static_cast<unsigned char>(c);
        if (b < 0x80)
            out += c;
        else if (b < 0xA0)
            AppendUtf8(out, kHighControls[b - 0x80]);
        else
            AppendUtf8(out, b);
    }
    return out;
}

std::string Utf8ToCp1252(std::string_view utf8)
{
    std::string out;
    out.reserve(utf8.size());
    std::size_t i = 0;
    while (i < utf8.size()) {
        char32_t cp = 0;
        const int b = DecodeUtf8(utf8, i, cp) ? Cp1252Byte(cp) : -1;
        out += b < 0 ? '?' : static_cast<char>(b);
    }
    return out;
}

bool FitsCp1252(std::string_view utf8)
{
    std::size_t i = 0;
    while (i < utf8.size()) {
        char32_t cp = 0;
        if (!DecodeUtf8(utf8, i, cp) || Cp1252Byte(cp) < 0)
            return false;
    }
    return true;
}

std::string_view TrimBlanks(std::string_view s)
{
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
        s.remove_suffix(1);
    return s;
}

} // namespace kuvrion
