#include "marking/MarkDrawing.h"

#include "base/ByteText.h"
#include "base/Numbers.h"
#include "settings/Settings.h"

#include <charconv>

namespace kuvrion {

namespace {

void AppendCommand(std::string& out, std::string_view prefix, std::int64_t n, char terminator)
{
    out += sEscape;
    out += prefix;
    AppendNumber(out, n);
    out += terminator;
}

} // namespace

void AppendNumber(std::string& out, std::int64_t n)
{
    char buf[24];
    const auto res = std::to_chars(buf, buf + sizeof buf, n);
    out.append(buf, res.ptr);
}

void DrawOmeCode(std::string& out, const Settings& s, std::string_view code)
{
    // Single precision throughout, as the positions have always been computed.
    float x = s.ome_x - s.pclleftmm - s.omeleftmm; // from the PCL origin
    float length = s.ome_b;
    if (x < 0.0f) {
        // The part left of the PCL origin cannot be printed; a stub under 1 mm would not be read.
        length = x + s.ome_b; // the part right of the origin
        if (length < 1.0f)
            return;
        x = 0.0f;
    }
    float y = s.ome_y - s.pcltopmm - s.ometopmm;
    if (y < 0.0f)
        y = 0.0f;

    const std::int64_t X = RoundToLong(x * fPclPerMM);
    std::int64_t Y = RoundToLong(y * fPclPerMM);
    const std::int64_t W = RoundToLong(length * fPclPerMM);
    const std::int64_t A = RoundToLong(s.ome_a * fPclPerMM);
    const std::int64_t D = RoundToLong(s.ome_d * fPclPerMM);

    for (const char c : code) {
        if (c == '1') {
            AppendCommand(out, "&a", X, 'H');
            AppendCommand(out, "&a", Y, 'V');
            AppendCommand(out, "*c", W, 'H');
            AppendCommand(out, "*c", D, 'V');
            out += sEscape;
            out += "*c0P";
        }
        // The step is the sum of the rounded gap and thickness, not recomputed per bar.
        Y += A + D;
    }
}

void WriteOffsetRegistration(std::string& out, float leftMm, float topMm)
{
    AppendCommand(out, "&l", RoundToLong(leftMm * fPclPerMM), 'U');
    AppendCommand(out, "&l", RoundToLong(topMm * fPclPerMM), 'Z');
}

} // namespace kuvrion
