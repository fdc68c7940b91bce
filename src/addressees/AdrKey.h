// The addressee key on one page: the page text (page bytes without escape sequences), the search
// for start marker and ID, and the masking of the key in the raw page bytes.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kuvrion {

struct Settings;

// Fault kinds of the key search, the index into the fault counters.
enum AdrKeyFault : std::int32_t {
    kIdTooShort = 0,       // fixed length: fewer than idLength characters after the start marker
    kIdMissing = 1,        // end marker mode: end marker right after the start marker
    kEndMarkerMissing = 2, // end marker mode: no end marker after the start marker
    kKeyNotFound = 3,      // the start marker is not in the page text
};
using KeyFaultCounts = std::array<std::int32_t, 4>;

// The page without its escape sequences (a "W" sequence with its binary data).
std::string GetPageText(std::string_view page);

// The text of a page that reads as `marker` when case, blanks and punctuation are ignored
// ("Kd-Nr:" for the marker "Kd.-Nr.:"), from its first letter or digit to its last with the
// punctuation right after it; empty when there is none, or when the marker has no letter or
// digit. Both are Windows-1252 byte text.
std::string NearestMarkerText(std::string_view text, std::string_view marker);

// Overwrites the key's characters in the raw page with blanks, leaving every escape sequence and
// the page's length unchanged. Counts no faults.
void MaskAdrKey(std::string& page, const Settings& s);

// Where the key of a page lies in its page text: the 1-based position of its start marker and the
// number of characters that belong to it. The empty span (pos 0, len 0) stands for a page without
// a start marker, where nothing is masked.
struct KeySpan {
    std::int64_t pos = 0;
    std::int64_t len = 0;
};

// The key found in a page text: where it lies, and the ID (empty when no valid ID follows the
// start marker).
struct FoundKey {
    KeySpan span;
    std::string id;
};

// Searches the key in a page text; nullopt when the start marker is absent. Adds 1 to the fault's
// counter in `keyFaultCounts` when not null.
std::optional<FoundKey> FindAdrKey(std::string_view text, const Settings& s,
                                   KeyFaultCounts* keyFaultCounts);
// Blanks the key described by `span` in the raw page (the second half of MaskAdrKey), so an export
// can reuse the spans its import found instead of searching every page again.
void MaskKeySpan(std::string& page, KeySpan span);

// Working storage that a pass over many pages hands to the overloads below, so the page text is
// not allocated anew for every page. Holds nothing between calls.
// Room for the page text, kept from page to page so it is made once.
struct PageScratch {
    std::string text;
};
// As above, written into `scratch` (valid until the next use of `scratch`).
std::string_view GetPageText(std::string_view page, PageScratch& scratch);
void MaskAdrKey(std::string& page, const Settings& s, PageScratch& scratch);

} // namespace kuvrion
