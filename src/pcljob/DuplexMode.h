// Printing on one or both sides: the mode a job selects, and the commands that select it, followed
// in file order while the job is scanned.
#pragma once

#include <cstdint>
#include <string_view>

namespace kuvrion {

enum class DuplexMode { None, LongEdge, ShortEdge };

// "none", "long-edge", "short-edge".
std::string_view DuplexName(DuplexMode mode);
// The PCL command that selects the mode: ESC &l0S, ESC &l1S, ESC &l2S.
std::string_view DuplexSelection(DuplexMode mode);

// The job's mode is set by the first ESC &l#S before the first page end (# = 0 simplex, 1 long
// edge, 2 short edge; other values are ignored, as printers ignore them). Repeating the same
// selection changes nothing. Another selection later, a first selection after the first page end,
// or any side selection (ESC &a#G) switches the mode inside the job; the earliest such command is
// kept, so that switches in a part of the job that is never printed can be told apart.
class DuplexTracker {
public:
    // ESC &l#S at the 0-based file offset of its ESC.
    void Select(std::int64_t value, std::int64_t offset, bool beforeFirstPageEnd);
    // ESC &a#G at the 0-based file offset of its ESC.
    void SelectSide(std::int64_t offset);

    bool Selected() const { return m_selectOffset >= 0; }
    DuplexMode Mode() const { return m_mode; }
    std::int64_t SelectOffset() const { return m_selectOffset; } // -1 without a selection
    std::int64_t FirstSwitch() const { return m_firstSwitch; }   // -1 without a switch

private:
    void Switch(std::int64_t offset);

    DuplexMode m_mode = DuplexMode::None;
    std::int64_t m_selectOffset = -1;
    std::int64_t m_firstSwitch = -1;
};

} // namespace kuvrion
