// The page text: one page of the imported job as the key search sees it, with what the import
// made of the page (the page-text window, `kuvrion-cli text`).
#pragma once

#include "app/Session.h"

#include <cstdint>
#include <optional>
#include <string>

namespace kuvrion {

struct PageView {
    std::string text; // the page text, Windows-1252, escape sequences removed
    struct Marker {
        std::int64_t pos = 0; // 1-based position of the start marker in `text`
        std::int64_t len = 0; // its length
    };
    std::optional<Marker> marker;          // nullopt when it is absent
    std::string id;                        // the ID found after it, empty when none
    std::optional<std::int32_t> fault;     // the search's fault (AdrKeyFault); nullopt: found
    std::optional<std::int32_t> addressee; // 0-based addressee the page was assigned to
};

// Page `page` (1-based) of the imported job; nullopt when there is no such page or it cannot be
// read.
std::optional<PageView> ReadPageText(const Session& session, std::int32_t page);

} // namespace kuvrion
