// Where the filled rectangles of a PCL 5 job land on the paper. Follows only what moves or turns
// a rectangle on a printer: printer reset, orientation, top margin (and the line spacing it is
// counted in), offset registration, cursor positions in decipoints and PCL units (absolute and
// relative), cursor push/pop, rectangle sizes and solid black fills. The bytes are read with the
// job scanner's tokenizer. Text, fonts, raster data and HP-GL/2 are not followed: a rectangle
// placed after text without a cursor position is taken at the last position set.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>
#include <vector>

namespace kuvrion {

// One solid black (or white) rectangle, in millimetres from the sheet's top-left corner.
struct PlacedRect {
    double xMm = 0, yMm = 0, wMm = 0, hMm = 0;
    bool white = false;           // a white fill, which covers what was printed before
    double topMarginMm = 0;       // the top margin in force when it was filled
    std::int32_t orientation = 0; // 0 portrait, 1 landscape, 2 and 3 reversed
};

// The sequences that move or turn a rectangle: "&" with the groups l, a, u, f and "*" with p, c.
constexpr bool PlacementReads(unsigned char family, unsigned char group)
{
    return (family == '&' && (group == 'l' || group == 'a' || group == 'u' || group == 'f')) ||
           (family == '*' && (group == 'p' || group == 'c'));
}

struct PclCommand;

class PclPlacement {
public:
    // The print area: where the PCL origin lies on the sheet.
    PclPlacement(double pclLeftMm, double pclTopMm);

    // The state after a printer reset.
    void Reset();
    // Follows the commands of `bytes` (a job head or one page); appends the black and white
    // rectangles filled there to `rects`. A new page starts at the cursor's home; everything else
    // carries over from page to page, as on a printer.
    void Follow(std::string_view bytes, std::vector<PlacedRect>& rects);
    void NewPage();
    // A command as the tokenizer reads it; only those that move or turn a rectangle count.
    void Take(const PclCommand& cmd, std::vector<PlacedRect>& rects);
    // One command: ESC <group1> <group2> <value> <param>, the parameter in upper case; `relative`
    // when the value was written with a sign.
    void Apply(char group1, char group2, char param, double value, bool relative,
               std::vector<PlacedRect>& rects);

    std::int32_t Orientation() const { return m_orientation; }
    double TopMarginMm() const;

    static constexpr double kDefaultTopMarginDp = 360.0; // 1/2 inch

private:
    double UnitsToDp(double v) const { return v * m_dpPerUnit; }

    double m_leftMm, m_topMm;
    std::int32_t m_orientation = 0;
    double m_topMarginDp = kDefaultTopMarginDp;
    double m_vmiDp = 120.0; // 6 lines per inch
    double m_leftOffsetDp = 0, m_topOffsetDp = 0;
    double m_dpPerUnit = 720.0 / 300; // decipoints per PCL unit (300 units per inch)
    double m_x = 0, m_y = 0; // cursor, decipoints from the PCL origin and the top margin
    double m_rectW = 0, m_rectH = 0;
    std::array<std::array<double, 2>, 20> m_stack{}; // PCL keeps at most 20 positions
    std::size_t m_depth = 0;
};

} // namespace kuvrion
