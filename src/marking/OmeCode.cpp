#include "marking/OmeCode.h"

#include "settings/Settings.h"

#include <algorithm>

namespace kuvrion {

void WritePattern(std::string& code, std::size_t p, std::string_view pattern)
{
    if (p < 1 || p > code.size())
        return;
    const std::size_t n = std::min(pattern.size(), code.size() - (p - 1));
    code.replace(p - 1, n, pattern.substr(0, n));
}

std::string NextSequenceBits(const Settings& s, std::int32_t& nSeqCounter)
{
    // Counts outside 0..30 would shift past the counter's width; settings are bounded to 1..4.
    const std::int32_t n = std::clamp<std::int32_t>(s.seqchk_count, 0, 30);
    std::string bits(static_cast<std::size_t>(n), '0');
    for (std::int32_t k = 0; k < n; ++k) {
        if ((nSeqCounter >> k) & 1)
            bits[static_cast<std::size_t>(n - 1 - k)] = '1';
    }
    nSeqCounter = (nSeqCounter + 1) & ((std::int32_t{1} << n) - 1);
    return bits;
}

std::int32_t CountBars(const Settings& s, std::string_view code)
{
    const std::size_t len =
        std::min(code.size(), static_cast<std::size_t>(std::max<std::int32_t>(s.nCodeLen, 0)));
    std::int32_t bars = 0;
    for (std::size_t i = 0; i < len; ++i) {
        if (code[i] == '1')
            ++bars;
    }
    return bars;
}

std::string ComposeSheetCode(const Settings& s, std::int32_t& nSeqCounter, bool closesEnvelope,
                             std::string_view feedPattern)
{
    std::string code(static_cast<std::size_t>(std::max<std::int32_t>(s.nCodeLen, 0)), '0');
    WritePattern(code, 1, closesEnvelope ? s.envelop_code : s.collect_code);
    // The stop position is reserved but never written.
    std::size_t p = s.use_stop ? 4 : 3;
    if (s.use_supply) {
        if (closesEnvelope)
            WritePattern(code, p, feedPattern);
        p += static_cast<std::size_t>(std::max<std::int32_t>(s.supply_count, 0));
    }
    if (s.use_seqchk) {
        WritePattern(code, p, NextSequenceBits(s, nSeqCounter));
        p += static_cast<std::size_t>(std::max<std::int32_t>(s.seqchk_count, 0));
    }
    std::size_t q = 0;
    if (s.use_parity) {
        q = p;
        p += 1;
    }
    if (s.use_security)
        WritePattern(code, p, "1");
    // Security is set before counting, so parity makes the total of every bar even.
    if (s.use_parity && CountBars(s, code) % 2 != 0)
        WritePattern(code, q, "1");
    return code;
}

} // namespace kuvrion
