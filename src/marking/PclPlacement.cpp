#include "marking/PclPlacement.h"

#include "pcljob/cPclMod.h"

namespace kuvrion {

namespace {

constexpr double kDpPerMm = 720.0 / 25.4;

bool IsParamChar(unsigned char c)
{
    return c >= 0x40 && c <= 0x5E;
} // terminates
bool IsGroupChar(unsigned char c)
{
    return c >= 0x60 && c <= 0x7E;
} // continues

} // namespace

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
    return m_topMarginDp / kDpPerMm;
}

void PclPlacement::Follow(std::string_view bytes, std::vector<PlacedRect>& rects)
{
    std::int64_t pos = 0, len = 0;
    std::size_t from = 0;
    while (cPclMod::NextEscape(bytes, from, pos, len)) {
        const auto at = static_cast<std::size_t>(pos);
        // A "W" sequence's length covers its data; only its header is read below.
        from = at + static_cast<std::size_t>(len > 0 ? len : 1);
        const std::string_view seq = bytes.substr(at, from - at);
        if (seq.size() < 2)
            continue;
        const auto c1 = static_cast<unsigned char>(seq[1]);
        if (c1 == 'E') {
            Reset();
            continue;
        }
        if (c1 != '&' && c1 != '*')
            continue; // nothing else moves a rectangle
        std::size_t i = 2;
        char group = 0;
        if (i < seq.size() && IsGroupChar(static_cast<unsigned char>(seq[i])))
            group = seq[i++];
        // Value and parameter pairs; a lower-case parameter continues the sequence.
        while (i < seq.size()) {
            bool relative = false, negative = false;
            if (seq[i] == '+' || seq[i] == '-') {
                relative = true;
                negative = seq[i] == '-';
                ++i;
            }
            double value = 0;
            while (i < seq.size() && seq[i] >= '0' && seq[i] <= '9')
                value = value * 10 + (seq[i++] - '0');
            if (i < seq.size() && seq[i] == '.') {
                double scale = 0.1;
                for (++i; i < seq.size() && seq[i] >= '0' && seq[i] <= '9'; ++i, scale /= 10)
                    value += (seq[i] - '0') * scale;
            }
            if (negative)
                value = -value;
            if (i >= seq.size())
                break;
            const auto p = static_cast<unsigned char>(seq[i++]);
            const bool last = IsParamChar(p);
            if (!last && !IsGroupChar(p))
                break;
            Command(static_cast<char>(c1), group, static_cast<char>(last ? p : p - 0x20), value,
                    relative, rects);
            if (last || p == 'w')
                break; // data follows a "w"
        }
    }
}

void PclPlacement::Command(char group1, char group2, char param, double value, bool relative,
                           std::vector<PlacedRect>& rects)
{
    auto move = [relative, value](double& coord, double dp) { coord = relative ? coord + dp : dp; };
    if (group1 == '&' && group2 == 'l') {
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
            m_unitsPerInch = value;
    } else if (group1 == '&' && group2 == 'f' && param == 'S') {
        if (value == 0 && m_depth < m_stack.size()) {
            m_stack[m_depth++] = {m_x, m_y};
        } else if (value == 1 && m_depth > 0) {
            --m_depth;
            m_x = m_stack[m_depth][0];
            m_y = m_stack[m_depth][1];
        }
    } else if (group1 == '*' && group2 == 'p') {
        if (param == 'X')
            move(m_x, UnitsToDp(value));
        else if (param == 'Y')
            move(m_y, UnitsToDp(value));
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
            if (value == 0 && m_rectW > 0 && m_rectH > 0) {
                PlacedRect r;
                r.xMm = m_leftMm + (m_leftOffsetDp + m_x) / kDpPerMm;
                r.yMm = m_topMm + (m_topOffsetDp + m_topMarginDp + m_y) / kDpPerMm;
                r.wMm = m_rectW / kDpPerMm;
                r.hMm = m_rectH / kDpPerMm;
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
