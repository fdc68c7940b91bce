// GetEscStats over any text lists exactly the sequences the plain model of the escape syntax gives
// (in order, each from its ESC, a last "W" sequence with its whole byte count); without an ESC it
// leaves the arrays as they were.
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
    const kuvrion::fuzz::RefEscList model = kuvrion::fuzz::EscModel(text);
    Check(count == static_cast<std::int32_t>(model.pos.size()) && pos == model.pos &&
              len == model.len,
          "the sequences as the escape syntax gives them");
    return 0;
}
