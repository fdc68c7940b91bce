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

    const std::string& Id() const { return m_id; }
    void Id(std::string id) { m_id = std::move(id); }
    std::int32_t Pages() const { return static_cast<std::int32_t>(m_pages.size()); }
    // Appends a page number. Fails (TooManyPages, with that page) when the addressee already has
    // 32767 pages.
    Result<void> AddPage(std::int32_t pagePos);
    // The pageNumber-th page added (1-based); pageNumber must lie in 1..Pages().
    std::int32_t PagePos(std::int32_t pageNumber) const;
    const std::vector<std::int32_t>& PageList() const { return m_pages; }

private:
    std::string m_id;
    std::vector<std::int32_t> m_pages;
};

} // namespace kuvrion
