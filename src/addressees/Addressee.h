// One addressee: the address ID read from the page text and the job page numbers assigned to it,
// in the order they were added.
#pragma once

#include "base/Result.h"

#include <cstdint>
#include <string>
#include <vector>

namespace kuvrion {

class Addressee {
public:
    static constexpr std::int32_t kMaxPages = 32767;

    const std::string& PersID() const { return sPersIdent; }
    void PersID(std::string sPersID) { sPersIdent = std::move(sPersID); }
    std::int32_t Pages() const { return static_cast<std::int32_t>(nPagePosTab.size()); }
    // Appends a page number. Fails (TooManyPages, with that page) when the addressee already has
    // 32767 pages.
    Result<void> AddPage(std::int32_t nPagePos);
    // The nPageNr-th page added (1-based); nPageNr must lie in 1..Pages().
    std::int32_t PagePos(std::int32_t nPageNr) const;
    const std::vector<std::int32_t>& PageList() const { return nPagePosTab; }

private:
    std::string sPersIdent;
    std::vector<std::int32_t> nPagePosTab;
};

} // namespace kuvrion
