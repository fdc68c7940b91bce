// Numbers as the settings store and the PCL output read and write them. None of them throws and
// none depends on the locale.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace kuvrion {

// PCL units (1/720 inch) per millimetre, in single precision as the mark positions are computed.
inline constexpr float pclUnitsPerMm = 720.0f / 25.4f;
// The same in double precision, for turning the positions of a written job back into millimetres.
inline constexpr double kDecipointsPerMm = 720.0 / 25.4;

// A whole number in decimal, as PCL, the settings file and the log write it: no "+", no leading
// zeros, whatever the locale.
void AppendDecimal(std::string& out, std::int64_t n);
std::string Decimal(std::int64_t n);

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

// The leading decimal number of a settings value: blanks skipped, optional sign, digits, one
// decimal point; a comma or any other character ends it; none gives 0.
double ValNumber(std::string_view text);
// A whole-number setting: ValNumber rounded to nearest (halves to even), then bounded to lo..hi.
std::int32_t ValWhole(std::string_view text, std::int32_t lo, std::int32_t hi);

} // namespace kuvrion
