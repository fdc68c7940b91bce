// The code string of one sheet: one character per bar position of the column (BarColumn), position
// 1 the topmost; "1" is a printed bar.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace kuvrion {

struct Settings;

// The code of one sheet, s.codeLength characters. Advances seqCounter when use_seqchk is on.
// `feedPattern` goes on the selective-feed bars of a closing sheet (at most supply_count of its
// characters); collecting sheets keep them blank.
std::string ComposeSheetCode(const Settings& s, std::int32_t& seqCounter, bool closesEnvelope,
                             std::string_view feedPattern = {});

// seqchk_count characters: seqCounter in base 2, most significant bit first; advances the
// counter modulo 2^seqchk_count.
std::string NextSequenceBits(const Settings& s, std::int32_t& seqCounter);

// Number of "1" among the first codeLength characters of `code`.
std::int32_t CountBars(const Settings& s, std::string_view code);

// Writes `pattern` over `code` from 1-based position p, never extending `code`.
void WritePattern(std::string& code, std::size_t p, std::string_view pattern);

} // namespace kuvrion
