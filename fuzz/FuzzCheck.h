// How a fuzz target reports a broken invariant: a message naming it, then abort(), which both
// libFuzzer and the standalone runner record as a finding.
#pragma once

#include <cstdio>
#include <cstdlib>

namespace kuvrion::fuzz {

inline void Check(bool ok, const char* what)
{
    if (!ok) {
        std::fprintf(stderr, "broken invariant: %s\n", what);
        std::abort();
    }
}

} // namespace kuvrion::fuzz
