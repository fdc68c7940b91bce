// Where the OME code lands on an A4 sheet, in millimetres from the sheet's top left corner, as the
// mark drawing places it: the printable area, every bar position of the current code length (where
// it was asked for and what of it is printed) and the clear zone the reader needs around the code.
// And the check of that geometry against the reading rules inserters commonly have: it warns and
// never refuses, since a machine may well read what the rules advise against.
#pragma once

#include "settings/Settings.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace kuvrion {

struct MmRect {
    float left = 0;
    float top = 0;
    float width = 0;
    float height = 0;
    float Right() const { return left + width; }
    float Bottom() const { return top + height; }
};

struct BarPlace {
    MmRect wanted;                 // where the settings put the bar
    std::optional<MmRect> printed; // what of it the printer prints; nullopt when it is left out
};

inline constexpr float kSheetWidthMm = 210.0f; // A4
inline constexpr float kSheetHeightMm = 297.0f;

struct SheetPlan {
    MmRect printArea;           // the sheet less the printer's margins on both sides
    std::vector<BarPlace> bars; // every position of the code, the topmost first
    MmRect clearZone; // the printed column grown by the zone the proof wants free (kClearZoneMm)
};

SheetPlan PlanSheet(const Settings& s);

enum class RuleWarning : std::uint8_t {
    ThinBar,       // a bar thinner than 0.2 mm
    NarrowPitch,   // bar pitch (A + D) below 2.54 mm
    ShortBar,      // a printed bar shorter than 5 mm
    NearTop,       // the code within 15 mm of the top edge
    NearBottom,    // the code within 30 mm of the bottom edge
    Cut,           // a bar cut by the printable area
    Dropped,       // bars left out because they lie left of the printable area
    Moved,         // the code moved down because it starts above the printable area
    SideClearance, // less than 3 mm between the code and the side edge of the sheet
};

std::vector<RuleWarning> CheckRules(const Settings& s);

// False while both margins of the printable area are 0, as on a fresh installation. A PCL printer
// counts from its logical page (6.01 mm inside an A4 sheet) and from the job's top margin, so the
// bars then stand further right and lower than the sheet plan draws them.
bool PrintAreaEntered(const Settings& s);

} // namespace kuvrion
