// PCL 5 output of the marks: each bar of a code string as a solid black rectangle, and the offset
// registration written around every exported page. Both append to `out`; nothing else is sent
// (no cursor push/pop, no reset).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace kuvrion {

struct Settings;

// Appends one group ESC&a<X>H ESC&a<Y>V ESC*c<W>H ESC*c<D>V ESC*c0P per "1" in `code`. Writes
// nothing when less than 1 mm of the bar lies right of the PCL origin.
void DrawOmeCode(std::string& out, const Settings& s, std::string_view code);

// Appends ESC&l<left>U ESC&l<top>Z, millimetres converted to decipoints.
void WriteOffsetRegistration(std::string& out, float leftMm, float topMm);

// Appends ESC&a<x>H ESC&a<y>V ESC*c<w>H ESC*c<h>V and the fill: ESC*c0P black, ESC*c1P white.
// Positions and sizes in decipoints.
void AppendRect(std::string& out, std::int64_t x, std::int64_t y, std::int64_t w, std::int64_t h,
                bool white = false);

} // namespace kuvrion
