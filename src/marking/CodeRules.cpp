#include "marking/CodeRules.h"

#include <algorithm>
#include <array>
#include <string_view>

namespace kuvrion {

namespace {

// The two bars of the base command as the reader sees them: a position the pattern does not
// reach stays blank, and only "1" prints.
std::array<bool, 2> BaseBars(std::string_view pattern)
{
    return {!pattern.empty() && pattern[0] == '1', pattern.size() > 1 && pattern[1] == '1'};
}

bool AnyBar(const std::array<bool, 2>& bars)
{
    return bars[0] || bars[1];
}

} // namespace

bool SomeSheetCollects(const Settings& s)
{
    return !(s.limitEnvelopes && s.envelopeLimit <= 1);
}

std::optional<CodeFault> PatternFault(const Settings& s)
{
    const bool collects = SomeSheetCollects(s);
    if (collects && s.collectCode.empty())
        return CodeFault::CollectEmpty;
    if (s.envelopCode.empty())
        return CodeFault::EnvelopEmpty;
    const auto collect = BaseBars(s.collectCode);
    const auto envelop = BaseBars(s.envelopCode);
    if (collects && !AnyBar(collect))
        return CodeFault::CollectNoBar;
    if (!AnyBar(envelop))
        return CodeFault::EnvelopNoBar;
    if (collects && collect == envelop)
        return CodeFault::SamePattern;
    return std::nullopt;
}

BarStart BarStartOf(const Settings& s)
{
    BarStart b;
    float x = s.omeX - s.pclLeftMm - s.omeLeftMm; // from the PCL origin
    b.length = s.omeB;
    if (x < 0.0f) {
        // The part left of the PCL origin cannot be printed; a stub under 1 mm would not be read.
        b.length = x + s.omeB; // the part right of the origin
        b.drawn = !(b.length < kShortestPrintedBarMm);
        x = 0.0f;
    }
    b.x = x;
    b.y = std::max(s.omeY - s.pclTopMm - s.omeTopMm, 0.0f);
    return b;
}

std::optional<CodeFault> LayoutFault(const Settings& s)
{
    if (!(s.omeB > 0.0f))
        return CodeFault::NoLength;
    if (!(s.omeD > 0.0f))
        return CodeFault::NoThickness;
    if (!BarStartOf(s).drawn)
        return CodeFault::LeftOfPrintArea;
    return std::nullopt;
}

std::optional<CodeFault> CodeFaultOf(const Settings& s)
{
    if (auto fault = PatternFault(s))
        return fault;
    return LayoutFault(s);
}

} // namespace kuvrion
