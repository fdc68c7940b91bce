// The 2D code as modules: encoding content into the smallest square ECC 200 symbol, placing and
// drawing it in PCL beside the bars, and decoding a symbol from a rasterised sheet area.
#pragma once

#include "base/Result.h"
#include "marking/DmxContent.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kuvrion {

struct Settings;

// A square symbol, modules row by row from the top-left; true is dark.
struct DmxMatrix {
    std::int32_t size = 0;
    std::vector<bool> dark;
    bool Dark(std::int32_t row, std::int32_t col) const
    {
        return dark[static_cast<std::size_t>(row * size + col)];
    }
};

// False when the program was built without the symbol library: nothing can be encoded or decoded.
bool DmxAvailable();

// The smallest square ECC 200 symbol holding `content` (bytes as they are, ISO 8859-1 for a
// reader); nullopt when it does not fit the largest one.
std::optional<DmxMatrix> EncodeDmx(std::string_view content);

// The content of the first symbol found in a grey image (row by row from the top-left, 0 black,
// 255 white); nullopt when none is read.
std::optional<std::string> DecodeDmx(const std::vector<std::uint8_t>& pixels, std::int32_t width,
                                     std::int32_t height);

// Where the symbol goes, in decipoints from the PCL origin after the OME offset registration.
// Module edges are counted from one origin, so neighbouring modules neither gap nor overlap.
struct DmxPlace {
    bool inside = true; // false: the symbol's top-left module lies left of or above the origin
    std::int64_t x = 0, y = 0;
    float module = 0;
    std::int64_t EdgeX(std::int32_t k) const;
    std::int64_t EdgeY(std::int32_t k) const;
};
DmxPlace PlaceDmx(const Settings& s);

// Appends the symbol as filled rectangles: the symbol and its quiet zone white first when
// dmx_clear is on, then the dark modules of each row, neighbours merged into one rectangle.
void DrawDmxSymbol(std::string& out, const Settings& s, const DmxMatrix& symbol);

// The content of one sheet, encoded and appended to `out`. Fails with DmxTooWide or DmxTooLong as
// DmxContent does, or with DmxTooLong when no square symbol holds the content.
Result<void> DrawDmxForSheet(std::string& out, const Settings& s, const DmxTemplate& tmpl,
                             const DmxSheet& sheet);

// The reference page's sample: the example sheet's symbol (see DmxExample) with a thin line just
// outside its quiet zone. Nothing when the example cannot be written or lies outside.
void DrawDmxSample(std::string& out, const Settings& s);

// The content of the example sheet the settings dialog shows: envelope 1, sheet 1 of 2, the first
// sheet of the job, ID "4711". Refused as the export would refuse it: DmxTemplate, DmxTooWide
// (the job number) or DmxTooLong (checked with the encoding where the program has it).
Result<std::string> DmxExample(const Settings& s);

// The rule check of the symbol's place, for the example sheet's symbol and its quiet zone:
// DmxNearBars when it reaches into the clear zone around the bar column, DmxNearEdge when the
// symbol lies within 5 mm of an edge of an A4 sheet; nullopt when neither (or when the code is off
// or its size cannot be known).
std::optional<FailureKind> DmxLayoutCheck(const Settings& s);

} // namespace kuvrion
