// The envelopes of an export, in job order: which addressee, which source pages, how many sheets;
// and the choice of envelopes for a reprint ("3,5-7").
#pragma once

#include "base/Result.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kuvrion {

class AddresseeList;
struct Settings;

struct Envelope {
    std::int32_t number = 0;         // 1-based, over the whole export
    std::string id;                  // the addressee's ID (Windows-1252 bytes)
    std::vector<std::int32_t> pages; // source page numbers, in print order
    std::int32_t sheets = 0;
    std::optional<std::uint32_t> seqFirst; // sequence value of its first sheet, where known
    std::string feed;                      // feed pattern of its closing sheet ("1" per feeder)
};

// Numbers the sheets of `envelopes` one after the other from `start` on, modulo 2^bits.
void NumberSequence(std::vector<Envelope>& envelopes, std::uint32_t start, std::int32_t bits);

// The envelopes the export of the first `count` addressees fills (limit and duplex as it applies
// them).
std::vector<Envelope> ListEnvelopes(const AddresseeList& persons, std::int32_t count,
                                    const Settings& s, bool duplex);

// Parses "3,5-7" (blanks allowed around numbers) for an export of `total` envelopes: which are
// chosen, by envelope number - 1 (`total` entries). Refused with the list as the detail:
// EnvelopeList for an empty list, an empty item, not a number or a range running backwards;
// EnvelopeOutOfRange (count: `total`) for a number below 1 or above `total`.
Result<std::vector<bool>> ParseEnvelopeList(std::string_view text, std::int32_t total);

} // namespace kuvrion
