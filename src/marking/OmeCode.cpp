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

std::string NextSequenceBits(const Settings& s, std::int32_t& seqCounter)
{
    // Counts outside 0..30 would shift past the counter's width; settings are bounded to 1..4.
    const std::int32_t n = std::clamp<std::int32_t>(s.seqchkCount, 0, 30);
    std::string bits(static_cast<std::size_t>(n), '0');
    for (std::int32_t k = 0; k < n; ++k) {
        if ((seqCounter >> k) & 1)
            bits[static_cast<std::size_t>(n - 1 - k)] = '1';
    }
    seqCounter = (seqCounter + 1) & ((std::int32_t{1} << n) - 1);
    return bits;
}

std::int32_t CountBars(const Settings& s, std::string_view code)
{
    const std::size_t len =
        std::min(code.size(), static_cast<std::size_t>(std::max<std::int32_t>(s.codeLength, 0)));
    std::int32_t bars = 0;
    for (std::size_t i = 0; i < len; ++i) {
        if (code[i] == '1')
            ++bars;
    }
    return bars;
}

std::string ComposeSheetCode(const Settings& s, std::int32_t& seqCounter, bool closesEnvelope,
                             std::string_view feedPattern)
{
    std::string code(static_cast<std::size_t>(std::max<std::int32_t>(s.codeLength, 0)), '0');
    std::size_t parity = 0;
    for (const BarRun& run : BarColumn(s)) {
        if (run.count == 0)
            continue;
        const auto at = static_cast<std::size_t>(run.first);
        switch (run.block) {
        case BarBlock::Base:
            WritePattern(code, at, closesEnvelope ? s.envelopCode : s.collectCode);
            break;
        case BarBlock::Stop: // reserved, never written
            break;
        case BarBlock::Supply:
            if (closesEnvelope)
                WritePattern(code, at, feedPattern.substr(0, static_cast<std::size_t>(run.count)));
            break;
        case BarBlock::SeqChk:
            WritePattern(code, at, NextSequenceBits(s, seqCounter));
            break;
        case BarBlock::Parity:
            parity = at;
            break;
        case BarBlock::Security:
            WritePattern(code, at, "1");
            break;
        }
    }
    // Security is set before counting, so parity makes the total of every bar even.
    if (parity != 0 && CountBars(s, code) % 2 != 0)
        WritePattern(code, parity, "1");
    return code;
}

} // namespace kuvrion
