// A reader that follows a job's commands while the scanner reads it, so that it need not read the
// pages again: it learns every printer reset, every command of "&" and "*" sequences, and every
// page end the scan takes, in file order. The scan's final page table (a dropped page 1, a last
// page without an end of its own) is the scanner's; a follower compares with it afterwards.
#pragma once

#include "pcljob/PclTokenizer.h"

#include <cstdint>

namespace kuvrion {

class ScanFollower {
public:
    virtual ~ScanFollower() = default;
    // A printer reset (ESC E).
    virtual void Reset() = 0;
    // A command of an "&" or "*" sequence; data-bearing commands too (their data is skipped).
    virtual void Command(const PclCommand& command) = 0;
    // A page's bytes end at the 0-based offset `at` (its FF, reset or universal exit follows).
    virtual void PageEnd(std::int64_t at) = 0;
};

} // namespace kuvrion
