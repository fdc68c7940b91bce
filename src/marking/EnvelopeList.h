// The envelopes of an export, in job order: which addressee, which source pages, how many sheets;
// and the choice of envelopes for a reprint ("3,5-7").
#pragma once

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

enum class EnvelopeListError { None, Malformed, OutOfRange };

struct EnvelopeChoice {
    EnvelopeListError error = EnvelopeListError::None;
    std::vector<bool> keep; // index = envelope number - 1; `total` entries when no error
};

// Parses "3,5-7" (blanks allowed around numbers) for an export of `total` envelopes. Malformed:
// empty list, empty item, not a number, a range running backwards. OutOfRange: a number below 1
// or above `total`.
EnvelopeChoice ParseEnvelopeList(std::string_view text, std::int32_t total);

} // namespace kuvrion
