#include "addressees/Addressee.h"

#include <cassert>

namespace kuvrion {

Result<void> Addressee::AddPage(std::int32_t nPagePos)
{
    // The page count is a 16-bit number in the log and the status display.
    if (nPagePosTab.size() >= static_cast<std::size_t>(kMaxPages))
        return Failure{FailureKind::TooManyPages, 0, nPagePos};
    nPagePosTab.push_back(nPagePos);
    return {};
}

std::int32_t Addressee::PagePos(std::int32_t nPageNr) const
{
    assert(nPageNr >= 1 && nPageNr <= Pages());
    return nPagePosTab[static_cast<std::size_t>(nPageNr) - 1];
}

} // namespace kuvrion
