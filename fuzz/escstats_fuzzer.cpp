// GetEscStats over any text: in order, each sequence starts at an ESC, none overlaps the next, no
// ESC lies outside them, only the last may reach the end of the text (a cut sequence, or "W" data
// past it); the page text is every byte outside them. Without an ESC the arrays stay as they were.
#include "FuzzCheck.h"
#include "pcljob/cPclMod.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

using kuvrion::fuzz::Check;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(bytes), size);
    std::vector<std::int64_t> pos{-7};
    std::vector<std::int64_t> len{-8, -9};
    std::int32_t count = -1;
    kuvrion::cPclMod::GetEscStats(text, pos, len, count);
    if (text.find('\x1b') == std::string_view::npos) {
        Check(count == 0 && pos == std::vector<std::int64_t>{-7} &&
                  len == std::vector<std::int64_t>{-8, -9},
              "no ESC: no sequence, and the arrays as they were");
        return 0;
    }
    Check(count >= 1 && pos.size() == static_cast<std::size_t>(count) && len.size() == pos.size(),
          "one position and one length per sequence");
    const auto n = static_cast<std::int64_t>(size);
    std::string outside;
    std::int64_t at = 0; // 0-based, after the sequence before
    for (std::size_t k = 0; k < pos.size(); ++k) {
        const std::int64_t p = pos[k] - 1;
        Check(p >= at && p < n && text[static_cast<std::size_t>(p)] == '\x1b',
              "each sequence starts at an ESC after the one before");
        outside.append(text.substr(static_cast<std::size_t>(at), static_cast<std::size_t>(p - at)));
        Check(len[k] >= 2 || p + len[k] == n,
              "a sequence has two characters unless cut by the end");
        Check(k + 1 == pos.size() || p + len[k] < n, "only the last sequence reaches the end");
        at = std::min(p + len[k], n);
    }
    outside.append(text.substr(static_cast<std::size_t>(at)));
    Check(outside.find('\x1b') == std::string::npos, "every ESC starts a sequence or lies in one");
    std::string pageText;
    kuvrion::cPclMod::AppendWithoutEscapes(text, pageText);
    Check(pageText == outside, "the page text is every byte outside the sequences");
    return 0;
}
