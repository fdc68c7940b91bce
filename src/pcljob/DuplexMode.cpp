#include "pcljob/DuplexMode.h"

namespace kuvrion {

std::string_view DuplexName(DuplexMode mode)
{
    switch (mode) {
    case DuplexMode::LongEdge:
        return "long-edge";
    case DuplexMode::ShortEdge:
        return "short-edge";
    case DuplexMode::None:
        break;
    }
    return "none";
}

std::string_view DuplexSelection(DuplexMode mode)
{
    switch (mode) {
    case DuplexMode::LongEdge:
        return "\x1b&l1S";
    case DuplexMode::ShortEdge:
        return "\x1b&l2S";
    case DuplexMode::None:
        break;
    }
    return "\x1b&l0S";
}

void DuplexTracker::Select(std::int64_t value, std::int64_t offset, bool beforeFirstPageEnd)
{
    if (value < 0 || value > 2)
        return;
    const DuplexMode mode = value == 1   ? DuplexMode::LongEdge
                            : value == 2 ? DuplexMode::ShortEdge
                                         : DuplexMode::None;
    if (!Selected()) {
        if (!beforeFirstPageEnd) {
            Switch(offset);
            return;
        }
        m_mode = mode;
        m_selectOffset = offset;
    } else if (mode != m_mode) {
        Switch(offset);
    }
}

void DuplexTracker::SelectSide(std::int64_t offset)
{
    Switch(offset);
}

void DuplexTracker::Switch(std::int64_t offset)
{
    if (m_firstSwitch < 0)
        m_firstSwitch = offset;
}

} // namespace kuvrion
