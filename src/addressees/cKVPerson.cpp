#include "addressees/cKVPerson.h"

#include <stdexcept>

namespace kuvrion {

void cKVPerson::AddPage(std::int32_t nPagePos)
{
    // The page count is a 16-bit number in the log and the status display.
    if (nPagePosTab.size() >= static_cast<std::size_t>(kMaxPages))
        throw std::overflow_error("cKVPerson::AddPage: more than 32767 pages");
    nPagePosTab.push_back(nPagePos);
}

std::int32_t cKVPerson::PagePos(std::int32_t nPageNr) const
{
    if (nPageNr < 1 || static_cast<std::size_t>(nPageNr) > nPagePosTab.size())
        throw std::out_of_range("cKVPerson::PagePos: page number out of range");
    return nPagePosTab[static_cast<std::size_t>(nPageNr) - 1];
}

} // namespace kuvrion
