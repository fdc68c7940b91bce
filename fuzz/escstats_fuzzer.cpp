// GetEscStats over any text: the sequences come in order, do not overlap, start at an ESC, lie
// inside the text except for the byte count of a last "W" sequence, leave no ESC between them,
// and match the plain model of the syntax.
#include "FuzzCheck.h"
#include "PclReference.h"
#include "pcljob/cPclMod.h"

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

using kuvrion::fuzz::Check;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(bytes), size);
    const auto length = static_cast<std::int64_t>(size);

    // Entries from an earlier call must survive a text without ESC.
    std::vector<std::int64_t> pos{-7, -8};
    std::vector<std::int64_t> len{-9};
    std::int32_t count = -1;
    kuvrion::cPclMod::GetEscStats(text, pos, len, count);

    if (text.find('\x1b') == std::string_view::npos) {
        Check(count == 0, "no ESC, no sequence");
        Check(pos == std::vector<std::int64_t>{-7, -8} && len == std::vector<std::int64_t>{-9},
              "no ESC leaves the arrays as they were");
        return 0;
    }
    Check(count >= 1, "an ESC starts a sequence");
    Check(pos.size() == static_cast<std::size_t>(count) && len.size() == pos.size(),
          "the arrays hold count entries");

    std::int64_t after = 1; // 1-based position after the previous sequence
    for (std::int32_t i = 0; i < count; ++i) {
        const std::int64_t p = pos[static_cast<std::size_t>(i)];
        const std::int64_t l = len[static_cast<std::size_t>(i)];
        Check(p >= after, "in order and not overlapping");
        Check(p <= length && text[static_cast<std::size_t>(p) - 1] == '\x1b',
              "a sequence starts at an ESC");
        Check(text.substr(static_cast<std::size_t>(after) - 1, static_cast<std::size_t>(p - after))
                      .find('\x1b') == std::string_view::npos,
              "no ESC is left out between sequences");
        Check(l >= 1, "a sequence has a length");
        if (p + l - 1 > length) {
            // Only a "W" byte count may do that, and the listing ends with it.
            Check(i == count - 1, "only the last sequence reaches past the text");
            Check(text.substr(static_cast<std::size_t>(p)).find('W') != std::string_view::npos,
                  "a sequence reaching past the text ends in W");
        }
        after = p + l;
    }
    if (after <= length) {
        Check(text.substr(static_cast<std::size_t>(after) - 1).find('\x1b') ==
                  std::string_view::npos,
              "no ESC after the last sequence");
    }

    const kuvrion::fuzz::RefEscList model = kuvrion::fuzz::EscModel(text);
    Check(model.pos == pos && model.len == len, "sequences as the syntax gives them");
    return 0;
}
