#include "app/Helpers.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <filesystem>
#include <limits>
#include <system_error>

namespace kuvrion {

namespace {

bool IsSeparator(char c)
{
#ifdef _WIN32
    return c == '/' || c == '\\';
#else
    return c == '/';
#endif
}

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

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
    const int nDigits = static_cast<int>(digits.size());
    if (exponent < 0) {
        // The caller decides about a "0" in front of the point.
        out += '.';
        out.append(static_cast<std::size_t>(-exponent - 1), '0');
        out += digits;
    } else if (exponent + 1 >= nDigits) {
        out += digits;
        out.append(static_cast<std::size_t>(exponent + 1 - nDigits), '0');
    } else {
        out.append(digits, 0, static_cast<std::size_t>(exponent + 1));
        out += '.';
        out.append(digits, static_cast<std::size_t>(exponent + 1), std::string::npos);
    }
    return out;
}

} // namespace

bool FileExists(std::string_view path)
{
    const auto p = TrimBlanks(path);
    if (p.empty() || p.back() == ':' || IsSeparator(p.back()))
        return false;
    std::error_code ec;
    return std::filesystem::is_regular_file(std::filesystem::path(std::string(p)), ec);
}

bool DirExists(std::string_view path)
{
    const auto p = TrimBlanks(path);
    if (p.empty())
        return false;
    std::error_code ec;
    return std::filesystem::is_directory(std::filesystem::path(std::string(p)), ec);
}

std::string ParentPath(std::string_view path)
{
    if (path.size() < 2)
        return {};
    for (std::size_t i = path.size(); i-- > 0;) {
        if (IsSeparator(path[i]))
            return std::string(path.substr(0, i));
    }
    return {};
}

std::int16_t FilterNumKey(std::int16_t key, bool bAllowMinus)
{
    if ((key >= '0' && key <= '9') || key == 8)
        return key;
    if (key == ',' || key == '.')
        return ',';
    if (key == '-' && bAllowMinus)
        return key;
    return 0;
}

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

std::string DescribeErrno(int err)
{
    switch (err) {
    case 0:
        return "Kein Fehler";
    case ENOSPC:
        return "Kein Speicherplatz mehr auf dem Gerät";
    case EACCES:
        return "Zugriff verweigert";
    case EPERM:
        return "Vorgang nicht erlaubt";
    case EROFS:
        return "Schreibgeschütztes Dateisystem";
    case ENOENT:
        return "Datei oder Ordner nicht gefunden";
    case EIO:
        return "Ein-/Ausgabefehler";
    case EISDIR:
        return "Ist ein Ordner";
    case ENOTDIR:
        return "Ist kein Ordner";
    case EEXIST:
        return "Datei existiert bereits";
    case EDQUOT:
        return "Speicherkontingent überschritten";
    case EFBIG:
        return "Datei zu groß";
    case EBUSY:
        return "Gerät oder Ressource belegt";
    case ETXTBSY:
        return "Datei wird gerade benutzt";
    case EMFILE:
    case ENFILE:
        return "Zu viele offene Dateien";
    case ENAMETOOLONG:
        return "Dateiname zu lang";
    case ELOOP:
        return "Zu viele Ebenen symbolischer Verknüpfungen";
    case ENOMEM:
        return "Nicht genügend Speicher";
    case EINVAL:
        return "Ungültiges Argument";
    case EXDEV:
        return "Verschieben zwischen Dateisystemen nicht möglich";
    case ENODEV:
    case ENXIO:
        return "Gerät nicht vorhanden";
    case EINTR:
        return "Vorgang unterbrochen";
    case EAGAIN:
        return "Ressource vorübergehend nicht verfügbar";
    default:
        return "Systemfehler " + std::to_string(err);
    }
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
