// Byte text and numbers: Windows-1252, the key markers, millimetre and whole-number settings, the
// rounding of PCL positions, and the German description of a system error.
#include "base/ByteText.h"
#include "base/Numbers.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <limits>

namespace kuvrion {
namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

TEST(ByteText, Windows1252RoundTripAndAnchors)
{
    std::string all;
    for (int i = 1; i < 256; ++i)
        all += static_cast<char>(i);
    EXPECT_EQ(Utf8ToCp1252(Cp1252ToUtf8(all)), all);
    EXPECT_TRUE(FitsCp1252(Cp1252ToUtf8(all)));
    // The euro sign, a letter of the upper half, and the last byte of the 0x80..0x9F block.
    EXPECT_EQ(Cp1252ToUtf8("\x80\xC4\x9F"), "\xE2\x82\xAC\xC3\x84\xC5\xB8");
    // Characters without a byte and malformed UTF-8 (truncated, overlong, a surrogate) become "?".
    EXPECT_EQ(Utf8ToCp1252("a\xE4\xB8\xAD"
                           "b\xC3"
                           "c\xC0\x80\xED\xA0\x80"),
              "a?b?c?????");
    EXPECT_FALSE(FitsCp1252("\xE4\xB8\xAD"));
    EXPECT_FALSE(FitsCp1252("\xFF"));
}

TEST(ByteText, MarkersKeepTheirBlanks)
{
    for (const char* marker : {" Nr. ", "^X^", "", "^"})
        EXPECT_EQ(UnquoteMarker(QuoteMarker(marker)), marker);
    EXPECT_EQ(UnquoteMarker("Nr."), "Nr.");
}

TEST(Numbers, MillimetreText)
{
    // At most 7 significant digits, no exponent, no trailing zeros, "0" before a leading point
    // except after a minus sign.
    // clang-format off
    const std::pair<float, const char*> formats[] = {
        {0.5f, "0.5"}, {12.0f, "12"}, {2.25f, "2.25"}, {-0.5f, "-.5"}, {0.1f, "0.1"}, {-0.0f, "0"},
        {1234567.8f, "1234568"}, {1.0f / 3.0f, "0.3333333"}, {0.00001f, "0.00001"},
        {25000000.0f, "25000000"}, {1.0000001f, "1"}, {kNaN, "0"}};
    // clang-format on
    for (const auto& [value, text] : formats)
        EXPECT_EQ(FormatMM(value), text);
    for (const float v : {0.1f, 2.54f, -13.37f, 297.0f, 0.05f, 1e-3f}) {
        EXPECT_EQ(ValMM(FormatMM(v)), v) << v;
    }
    // A decimal comma, units after the number, nothing to read, out of float range.
    const std::pair<std::string, float> reads[] = {
        {"2,5", 2.5f}, {"0,25", 0.25f}, {"  -1.5mm", -1.5f},
        {"abc", 0.0f}, {"1e40", 1.0f},  {std::string(60, '9'), std::numeric_limits<float>::max()}};
    for (const auto& [text, value] : reads)
        EXPECT_EQ(ValMM(text), value) << text;
}

TEST(Numbers, RoundingOfPositionsAndWholeNumbers)
{
    // Positions: halves up, negative values down to the next whole number, clamped to 32 bits.
    constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
    constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();
    // clang-format off
    const std::pair<float, std::int32_t> positions[] = {
        {0.5f, 1}, {2.5f, 3}, {1.49f, 1}, {0.49999997f, 0}, {8388609.0f, 8388609}, {-0.5f, -1},
        {-0.2f, -1}, {-2.0f, -2}, {1e20f, kMax}, {-1e20f, kMin}, {kNaN, 0},
        {10.0f * pclUnitsPerMm, 283}};
    // clang-format on
    for (const auto& [value, rounded] : positions)
        EXPECT_EQ(RoundToLong(value), rounded) << value;

    // Settings values: the leading number, a comma ends it; whole numbers round halves to even.
    // clang-format off
    const std::pair<std::string, double> numbers[] = {
        {"  -12.5abc", -12.5}, {"1,5", 1.0}, {"+.5", 0.5}, {"1.2.3", 1.2}, {".", 0.0}, {"-", 0.0},
        {"1e3", 1.0}, {"-" + std::string(400, '9'), -std::numeric_limits<double>::max()}};
    const std::pair<const char*, std::int32_t> wholes[] = {
        {"2.5", 2}, {"3.5", 4}, {"-2.5", -2}, {"2.51", 3}, {"abc", 0}, {"-500", -100},
        {"99999999999", 100}};
    // clang-format on
    for (const auto& [text, value] : numbers)
        EXPECT_EQ(ValNumber(text), value) << text;
    for (const auto& [text, value] : wholes)
        EXPECT_EQ(ValWhole(text, -100, 100), value) << text;
}

} // namespace
} // namespace kuvrion
