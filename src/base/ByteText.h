// Byte text: job data, markers, settings values and log lines hold one character per byte. These
// helpers convert it from and to the UTF-8 of file names and the user interface, and handle the
// markers of the addressee key. None of them throws.
#pragma once

#include <string>
#include <string_view>

namespace kuvrion {

inline constexpr char escape = '\x1b';   // ESC, code 27
inline constexpr char formFeed = '\x0c'; // FF, code 12

// `s` without blanks and tabs at both ends.
std::string_view TrimBlanks(std::string_view s);

// Removes one enclosing pair of "^" when `s` has at least 2 characters; otherwise `s` unchanged.
std::string UnquoteMarker(std::string_view s);
// "^" + s + "^": keeps blanks at the ends of a marker through the settings store, which trims
// values.
std::string QuoteMarker(std::string_view s);

// Windows-1252 <-> UTF-8. Settings, log and job texts are Windows-1252 bytes; file names and the
// user interface are UTF-8. Characters that Windows-1252 cannot hold become "?".
std::string Cp1252ToUtf8(std::string_view cp1252);
std::string Utf8ToCp1252(std::string_view utf8);
// True when every character of `utf8` has a Windows-1252 byte (so the conversion is lossless).
bool FitsCp1252(std::string_view utf8);

} // namespace kuvrion
