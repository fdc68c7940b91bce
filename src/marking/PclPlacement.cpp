#include "marking/PclPlacement.h"

#include "base/Numbers.h"
#include "pcljob/PclTokenizer.h"

#include <algorithm>
#include <cstring>

namespace kuvrion {

PclPlacement::PclPlacement(double pclLeftMm, double pclTopMm)
    : m_leftMm(pclLeftMm), m_topMm(pclTopMm)
{
}

void PclPlacement::Reset()
{
    const double left = m_leftMm, top = m_topMm;
    *this = PclPlacement(left, top);
}

void PclPlacement::NewPage()
{
    m_x = 0;
    m_y = 0;
}

double PclPlacement::TopMarginMm() const
{
    return m_topMarginDp / kDecipointsPerMm;
}

namespace {

// Hands the commands of `bytes` that can move or turn a rectangle to the placement.
class PlacementReader : public PclTokenSink {
public:
    PlacementReader(PclPlacement& placement, std::vector<PlacedRect>& rects)
        : m_placement(placement), m_rects(rects)
    {
    }
    // No text moves a rectangle here, and only these groups do.
    bool WantsText() const { return false; }
    static constexpr bool Reads(unsigned char family, unsigned char group)
    {
        return PlacementReads(family, group);
    }
    void Escape(std::int64_t, std::int64_t, unsigned char c)
    {
        if (c == 'E')
            m_placement.Reset();
    }
    void Command(const PclCommand& cmd) { m_placement.Take(cmd, m_rects); }

private:
    PclPlacement& m_placement;
    std::vector<PlacedRect>& m_rects;
};

} // namespace

void PclPlacement::Take(const PclCommand& cmd, std::vector<PlacedRect>& rects)
{
    if (cmd.malformed || cmd.dataCount > 0 || !PlacementReads(cmd.family, cmd.group))
        return;
    bool relative = false;
    const double value = cmd.Number(relative);
    Apply(static_cast<char>(cmd.family), static_cast<char>(cmd.group),
          static_cast<char>(cmd.Command()), value, relative, rects);
}

void PclPlacement::Follow(std::string_view bytes, std::vector<PlacedRect>& rects)
{
    // The page is read as the scanner reads the job: data of any data-bearing command is skipped
    // by count, HP-GL/2 and PJL lines are passed over.
    PlacementReader reader(*this, rects);
    Tokenize(bytes, reader);
}

void PclPlacement::Apply(char group1, char group2, char param, double value, bool relative,
                         std::vector<PlacedRect>& rects)
{
    auto move = [relative, value](double& coord, double dp) { coord = relative ? coord + dp : dp; };
    if (group1 == '*' && group2 == 'p') { // the most frequent: a cursor move after text
        if (param == 'X')
            move(m_x, UnitsToDp(value));
        else if (param == 'Y')
            move(m_y, UnitsToDp(value));
    } else if (group1 == '&' && group2 == 'l') {
        switch (param) {
        case 'O':
            m_orientation = static_cast<std::int32_t>(value);
            m_topMarginDp = kDefaultTopMarginDp; // an orientation brings the margins back
            break;
        case 'E':
            m_topMarginDp = value * m_vmiDp;
            break;
        case 'C':
            m_vmiDp = value * 15.0; // 1/48 inch
            break;
        case 'D':
            if (value > 0)
                m_vmiDp = 720.0 / value;
            break;
        case 'U':
            m_leftOffsetDp = value;
            break;
        case 'Z':
            m_topOffsetDp = value;
            break;
        default:
            break;
        }
    } else if (group1 == '&' && group2 == 'a') {
        if (param == 'H')
            move(m_x, value);
        else if (param == 'V')
            move(m_y, value);
    } else if (group1 == '&' && group2 == 'u' && param == 'D') {
        if (value > 0)
            m_dpPerUnit = 720.0 / value;
    } else if (group1 == '&' && group2 == 'f' && param == 'S') {
        if (value == 0 && m_depth < m_stack.size()) {
            m_stack[m_depth++] = {m_x, m_y};
        } else if (value == 1 && m_depth > 0) {
            --m_depth;
            m_x = m_stack[m_depth][0];
            m_y = m_stack[m_depth][1];
        }
    } else if (group1 == '*' && group2 == 'c') {
        switch (param) {
        case 'A':
            m_rectW = UnitsToDp(value);
            break;
        case 'B':
            m_rectH = UnitsToDp(value);
            break;
        case 'H':
            m_rectW = value;
            break;
        case 'V':
            m_rectH = value;
            break;
        case 'P':
            if ((value == 0 || value == 1) && m_rectW > 0 && m_rectH > 0) {
                PlacedRect r;
                r.white = value == 1;
                r.xMm = m_leftMm + (m_leftOffsetDp + m_x) / kDecipointsPerMm;
                r.yMm = m_topMm + (m_topOffsetDp + m_topMarginDp + m_y) / kDecipointsPerMm;
                r.wMm = m_rectW / kDecipointsPerMm;
                r.hMm = m_rectH / kDecipointsPerMm;
                r.topMarginMm = TopMarginMm();
                r.orientation = m_orientation;
                rects.push_back(r);
            }
            break;
        default:
            break;
        }
    }
}

} // namespace kuvrion
