#include "addressees/Addressee.h"

#include <cassert>

namespace kuvrion {

Result<void> Addressee::AddPage(std::int32_t pagePos)
{
    // The page count is a 16-bit number in the log and the status display.
    if (m_pages.size() >= static_cast<std::size_t>(kMaxPages))
        return Failure{FailureKind::TooManyPages, 0, pagePos};
    m_pages.push_back(pagePos);
    return {};
}

std::int32_t Addressee::PagePos(std::int32_t pageNumber) const
{
    assert(pageNumber >= 1 && pageNumber <= Pages());
    return m_pages[static_cast<std::size_t>(pageNumber) - 1];
}

} // namespace kuvrion
