#include "marking/SheetPlan.h"

#include "marking/CodeRules.h"
#include "marking/Verify.h"

#include <algorithm>
#include <cmath>

namespace kuvrion {

namespace {

constexpr float kThinnestBarMm = 0.2f;
constexpr float kSmallestPitchMm = 2.54f;
constexpr float kShortestBarMm = 5.0f;
constexpr float kTopFreeMm = 15.0f;
constexpr float kBottomFreeMm = 30.0f;
constexpr float kSideClearanceMm = 3.0f;

// The part of `r` inside `area`; nullopt when nothing is left.
std::optional<MmRect> Inside(const MmRect& r, const MmRect& area)
{
    const float left = std::max(r.left, area.left);
    const float top = std::max(r.top, area.top);
    const float right = std::min(r.Right(), area.Right());
    const float bottom = std::min(r.Bottom(), area.Bottom());
    if (right <= left || bottom <= top)
        return std::nullopt;
    return MmRect{left, top, right - left, bottom - top};
}

// Equal within what single precision leaves of a sum of millimetre values.
bool Near(float a, float b)
{
    return std::abs(a - b) < 0.01f;
}

bool SameRect(const MmRect& a, const MmRect& b)
{
    return Near(a.left, b.left) && Near(a.top, b.top) && Near(a.width, b.width) &&
           Near(a.height, b.height);
}

} // namespace

SheetPlan PlanSheet(const Settings& s)
{
    SheetPlan plan;
    plan.printArea = {s.pclLeftMm, s.pclTopMm, kSheetWidthMm - 2 * s.pclLeftMm,
                      kSheetHeightMm - 2 * s.pclTopMm};
    Settings column = s;
    const std::int32_t positions = ComputeCodeLength(column);

    // As the drawing does it: positions count from the PCL origin, which the offsets move; a bar
    // that starts left of it is cut there (and left out when too little remains), a code that
    // starts above it moves down to it.
    const float originX = s.pclLeftMm + s.omeLeftMm;
    const float originY = s.pclTopMm + s.omeTopMm;
    const BarStart start = BarStartOf(s);
    const float x = start.x;
    const float y = start.y;
    const float length = start.length;
    const bool dropped = !start.drawn;
    const float pitch = s.omeA + s.omeD;
    for (std::int32_t i = 0; i < positions; ++i) {
        BarPlace bar;
        bar.wanted = {s.omeX, s.omeY + static_cast<float>(i) * pitch, s.omeB, s.omeD};
        if (!dropped) {
            const MmRect drawn{originX + x, originY + y + static_cast<float>(i) * pitch, length,
                               s.omeD};
            bar.printed = Inside(drawn, plan.printArea);
        }
        plan.bars.push_back(bar);
    }

    const MmRect& first = plan.bars.front().printed.value_or(plan.bars.front().wanted);
    const MmRect& last = plan.bars.back().printed.value_or(plan.bars.back().wanted);
    // The zone the check of a marked job wants free of other marks.
    const auto zone = static_cast<float>(kClearZoneMm);
    plan.clearZone = {first.left - zone, first.top - zone,
                      std::max(first.width, last.width) + 2 * zone,
                      last.Bottom() - first.top + 2 * zone};
    return plan;
}

bool PrintAreaEntered(const Settings& s)
{
    return s.pclLeftMm != 0 || s.pclTopMm != 0;
}

std::vector<RuleWarning> CheckRules(const Settings& s)
{
    const SheetPlan plan = PlanSheet(s);
    std::vector<RuleWarning> warnings;
    const auto warn = [&warnings](RuleWarning w) {
        if (std::find(warnings.begin(), warnings.end(), w) == warnings.end())
            warnings.push_back(w);
    };
    if (s.omeD < kThinnestBarMm)
        warn(RuleWarning::ThinBar);
    if (s.omeA + s.omeD < kSmallestPitchMm)
        warn(RuleWarning::NarrowPitch);
    for (const BarPlace& bar : plan.bars) {
        if (!bar.printed) {
            warn(RuleWarning::Dropped);
            continue;
        }
        const MmRect& p = *bar.printed;
        if (p.width < kShortestBarMm)
            warn(RuleWarning::ShortBar);
        if (p.top < kTopFreeMm)
            warn(RuleWarning::NearTop);
        if (p.Bottom() > kSheetHeightMm - kBottomFreeMm)
            warn(RuleWarning::NearBottom);
        if (!Near(p.width, bar.wanted.width) || !Near(p.height, bar.wanted.height))
            warn(RuleWarning::Cut);
        else if (!SameRect(p, bar.wanted))
            warn(RuleWarning::Moved);
        if (p.left < kSideClearanceMm || p.Right() > kSheetWidthMm - kSideClearanceMm)
            warn(RuleWarning::SideClearance);
    }
    return warnings;
}

} // namespace kuvrion
