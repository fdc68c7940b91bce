// Shared constants and small helpers used all over the program.
// None of them throws; none of them touches the shared state.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace kuvrion {

inline constexpr char sEscape = '\x1b';   // ESC, code 27
inline constexpr char sFormFeed = '\x0c'; // FF, code 12
// PCL units (1/720 inch) per millimetre, in single precision as the mark positions are computed.
inline constexpr float fPclPerMM = 720.0f / 25.4f;

inline constexpr std::string_view kProductName = "Kuvrion";

// True when `path` (blanks around it ignored) names an existing regular file. The empty path and
// paths ending in ":" or the path separator give false; so does any error while checking.
bool FileExists(std::string_view path);

// True when `path` (blanks around it ignored) names an existing folder; false on any error.
bool DirExists(std::string_view path);

// The part of `path` before its last path separator ("/" on Linux; "/" and "\" on Windows), without
// the separator; the empty text when `path` is shorter than 2 characters or has no separator.
std::string ParentPath(std::string_view path);

// Key filter of the millimetre fields: digits and backspace pass, "." and "," both become ",",
// "-" passes only with `bAllowMinus`; every other key gives 0 (swallowed).
std::int16_t FilterNumKey(std::int16_t key, bool bAllowMinus);

// A millimetre value as stored in the settings: decimal point, at most 7 significant digits, no
// trailing zeros; a leading "." gets a "0" in front ("0.5"), but "-.5" stays as it is.
std::string FormatMM(float value);

// The leading number of `text` after the first "," became "."; blanks skipped, optional sign,
// digits, one decimal point. No number gives 0.
float ValMM(std::string_view text);

// Halves round up for values >= 0; negative values go to the next whole number at or below them.
// Values outside the 32-bit range are clamped to it.
std::int32_t RoundToLong(float value);

std::int32_t Clamp(std::int32_t v, std::int32_t lo, std::int32_t hi);

// `s` without blanks and tabs at both ends.
std::string_view TrimBlanks(std::string_view s);

// Removes one enclosing pair of "^" when `s` has at least 2 characters; otherwise `s` unchanged.
std::string UnquoteMarker(std::string_view s);
// "^" + s + "^": keeps blanks at the ends of a marker through the settings store, which trims
// values.
std::string QuoteMarker(std::string_view s);

// The leading decimal number of a settings value, read like the classic Val(): blanks skipped,
// optional sign, digits, one decimal point; a comma or any other character ends it; none gives 0.
double ValNumber(std::string_view text);
// A whole-number setting: ValNumber rounded to nearest (halves to even), then bounded to lo..hi.
std::int32_t ValWhole(std::string_view text, std::int32_t lo, std::int32_t hi);

// Windows-1252 <-> UTF-8. Settings, log and job texts are Windows-1252 bytes; file names and the
// user interface are UTF-8. Characters that Windows-1252 cannot hold become "?".
std::string Cp1252ToUtf8(std::string_view cp1252);
std::string Utf8ToCp1252(std::string_view utf8);
// True when every character of `utf8` has a Windows-1252 byte (so the conversion is lossless).
bool FitsCp1252(std::string_view utf8);

// A short German description of an errno value ("Kein Speicherplatz mehr auf dem Gerät", ...).
std::string DescribeErrno(int err);

} // namespace kuvrion
