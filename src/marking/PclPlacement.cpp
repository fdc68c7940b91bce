#include "marking/PclPlacement.h"

#include "base/Numbers.h"

#include <algorithm>
#include <cstring>

namespace kuvrion {

namespace {

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
    return m_topMarginDp / kDecipointsPerMm;
}

void PclPlacement::Follow(std::string_view bytes, std::vector<PlacedRect>& rects)
{
    // One walk over the bytes: find each ESC, read its value and parameter pairs in place. Binary
    // data follows a "W" (or a continuing "w") and is skipped by its count, as the scanner does.
    const char* const end = bytes.data() + bytes.size();
    const char* q = bytes.data();
    while (q < end) {
        const auto* esc =
            static_cast<const char*>(std::memchr(q, 0x1b, static_cast<std::size_t>(end - q)));
        if (esc == nullptr || end - esc < 2)
            return;
        q = esc + 1;
        const auto c1 = static_cast<unsigned char>(*q++);
        if (c1 == 'E') {
            Reset();
            continue;
        }
        if (c1 < 0x21 || c1 > 0x2F)
            continue; // a two-character sequence
        char group = 0;
        if (q < end && IsGroupChar(static_cast<unsigned char>(*q)))
            group = *q++;
        const bool follow = c1 == '&' || c1 == '*'; // nothing else moves a rectangle
        while (q < end) {
            bool relative = false, negative = false;
            if (*q == '+' || *q == '-') {
                relative = true;
                negative = *q == '-';
                ++q;
            }
            double value = 0;
            std::int64_t whole = 0;
            while (q < end && *q >= '0' && *q <= '9') {
                whole = whole < (std::int64_t{1} << 40) ? whole * 10 + (*q - '0') : whole;
                ++q;
            }
            value = static_cast<double>(whole);
            if (q < end && *q == '.') {
                double scale = 0.1;
                for (++q; q < end && *q >= '0' && *q <= '9'; ++q, scale /= 10)
                    value += (*q - '0') * scale;
            }
            if (negative)
                value = -value;
            if (q >= end)
                return;
            const auto p = static_cast<unsigned char>(*q++);
            const bool last = IsParamChar(p);
            if (!last && !IsGroupChar(p))
                break;
            if (p == 'W' || p == 'w') {
                // Data of `whole` bytes; a continuing "w" is followed by more pairs after it.
                const auto left = static_cast<std::int64_t>(end - q);
                q += negative ? 0 : std::min(whole, left);
                if (last)
                    break;
                continue;
            }
            if (follow)
                Command(static_cast<char>(c1), group, static_cast<char>(last ? p : p - 0x20), value,
                        relative, rects);
            if (last)
                break;
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
