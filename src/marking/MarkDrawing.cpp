#include "marking/MarkDrawing.h"

#include "base/ByteText.h"
#include "base/Numbers.h"
#include "marking/CodeRules.h"
#include "settings/Settings.h"

#include <charconv>

namespace kuvrion {

namespace {

void AppendCommand(std::string& out, std::string_view prefix, std::int64_t n, char terminator)
{
    out += escape;
    out += prefix;
    AppendDecimal(out, n);
    out += terminator;
}

} // namespace

void AppendRect(std::string& out, std::int64_t x, std::int64_t y, std::int64_t w, std::int64_t h,
                bool white)
{
    AppendCommand(out, "&a", x, 'H');
    AppendCommand(out, "&a", y, 'V');
    AppendCommand(out, "*c", w, 'H');
    AppendCommand(out, "*c", h, 'V');
    out += escape;
    out += white ? "*c1P" : "*c0P";
}

void DrawOmeCode(std::string& out, const Settings& s, std::string_view code)
{
    const BarStart start = BarStartOf(s);
    if (!start.drawn)
        return;
    const std::int64_t X = RoundToLong(start.x * pclUnitsPerMm);
    std::int64_t Y = RoundToLong(start.y * pclUnitsPerMm);
    const std::int64_t W = RoundToLong(start.length * pclUnitsPerMm);
    const std::int64_t A = RoundToLong(s.omeA * pclUnitsPerMm);
    const std::int64_t D = RoundToLong(s.omeD * pclUnitsPerMm);

    for (const char c : code) {
        if (c == '1')
            AppendRect(out, X, Y, W, D);
        // The step is the sum of the rounded gap and thickness, not recomputed per bar.
        Y += A + D;
    }
}

void WriteOffsetRegistration(std::string& out, float leftMm, float topMm)
{
    AppendCommand(out, "&l", RoundToLong(leftMm * pclUnitsPerMm), 'U');
    AppendCommand(out, "&l", RoundToLong(topMm * pclUnitsPerMm), 'Z');
}

} // namespace kuvrion
