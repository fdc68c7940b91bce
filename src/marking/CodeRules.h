// Settings with which the export would write sheets that carry no readable OME code. The dialogs
// refuse them (their "&Ok" stays disabled and the reason stands beside the field) and the export
// refuses to run with them, so a hand-edited settings file cannot slip them through either.
#pragma once

#include "settings/Settings.h"

#include <cstdint>
#include <optional>

namespace kuvrion {

enum class CodeFault : std::uint8_t {
    CollectEmpty,    // no base pattern for a collecting sheet
    EnvelopEmpty,    // no base pattern for a closing sheet
    CollectNoBar,    // the collecting pattern sets no bar
    EnvelopNoBar,    // the closing pattern sets no bar
    SamePattern,     // collecting and closing sheets carry the same base command
    NoLength,        // bar length B is not above 0
    NoThickness,     // bar thickness D is not above 0
    LeftOfPrintArea, // less than the shortest readable bar lies right of the printable area
};

// The shortest part of a bar, in mm, that is still printed when the bar starts left of the
// printable area; the rest is dropped.
inline constexpr float kShortestPrintedBarMm = 1.0f;

// Where the bar column starts, in mm from the PCL origin (the printable area moved by the OME
// offsets), in single precision as the drawing computes it: a bar that starts left of the origin
// is cut there, and no bar is drawn when less than kShortestPrintedBarMm of it remains; a column
// that starts above the origin moves down to it.
struct BarStart {
    float x = 0;
    float y = 0;
    float length = 0; // of each bar, the part that is printed
    bool drawn = true;
};
BarStart BarStartOf(const Settings& s);

// Whether any sheet of an export can be a collecting one: not when the envelope limit closes
// every envelope after one sheet.
bool SomeSheetCollects(const Settings& s);
// The first fault of the base patterns ("OME-Code"), nullopt when they give a readable command.
// The collecting pattern is judged only when some sheet collects.
std::optional<CodeFault> PatternFault(const Settings& s);
// The first fault of the bar geometry ("OME-Layout", "PCL-Einstellungen"), nullopt when it works.
std::optional<CodeFault> LayoutFault(const Settings& s);
// Both, the patterns first.
std::optional<CodeFault> CodeFaultOf(const Settings& s);

} // namespace kuvrion
