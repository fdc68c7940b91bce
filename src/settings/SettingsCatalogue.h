// The settings catalogue: every key of the settings file in one table, with its section, the text
// a missing key reads as, how its text is read and written, the bounds of a whole number, where
// the load step puts it and which group of keys it is written with. The load step, the writes, the
// ranges the front ends offer and the tests all work from this table.
#pragma once

#include "settings/Settings.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <string_view>
#include <variant>

namespace kuvrion {

// How a stored text becomes a setting, and how the setting is stored again.
enum class Form : std::uint8_t {
    Flag,       // "1" is on, any other text off; stored as "1" or "0"
    Whole,      // leading number, rounded (halves to even) and bounded to min..max
    Millimetre, // leading number, a comma ends it; stored with a decimal point
    Distance,   // a millimetre value without its sign
    BoundedMm,  // a millimetre value bounded to min..max hundredths of a millimetre
    Text,       // used as stored
    Marker,     // stored enclosed in "^", so that blanks at its ends survive the store
    Path,       // a file name: Windows-1252 in the file, UTF-8 in the program
    WindowPos,  // list "left,top" in twips; empty means centred
    EnvLimit,   // list "limit,switch"; a limit of 0 (or none) is the largest with the switch on
    RefPage,    // list "path,grid,marks" of the reference page
    FeedRule,   // a selective feeder's rule (FeedRule.h); empty is none
};

// When a setting is read: by the load step at start, or each time where it is used (so that a hand
// edit of the file is seen then).
enum class Read : std::uint8_t { AtStart, WhereUsed };

// What the load step does with a stored value outside its bounds: bound it (and say so
// once), or refuse it, because any value put in its place would change how the pages are grouped.
enum class OutOfRange : std::uint8_t { Bound, Refuse };

// The keys written together, in table order: the settings of one subject, which one step of the
// front ends changes at once.
enum class SettingGroup : std::uint8_t {
    Window,      // the main window's place and the log switch, stored on closing
    FillChar,    // the escape skeleton's fill character
    Source,      // the source job
    Destination, // the destination
    Skeleton,    // where the escape skeleton was saved
    RefPage,     // the reference page's options
    Organize,    // the envelope limit and the manifest switch
    Keys,        // the addressee key
    PrintArea,   // the printable-area margins
    OmeLayout,   // the code's place and bar sizes
    OmeCode,     // the code's marks and patterns
    Dmx,         // the 2D code
    Feed,        // the feeder rules
    Sequence,    // the sequence across jobs, written when it changes
    Hand,        // written by no one: edited by hand in the file of a line of work
};

using SettingMember = std::variant<std::monostate, bool Settings::*, std::int32_t Settings::*,
                                   float Settings::*, std::string Settings::*>;

struct SettingDef {
    std::string_view section;
    std::string_view key;
    std::string_view def; // what a missing key reads as, as stored text
    Form form;
    std::int32_t min; // bounds of Whole, and of the limit of EnvLimit
    std::int32_t max;
    SettingMember member; // where the load step puts it; none for the list forms
    SettingGroup group;
    Read read = Read::AtStart;
    OutOfRange outOfRange = OutOfRange::Bound;
};

// The content of the 2D code unless the settings give another: job, envelope, sheet, sheets,
// closing.
inline constexpr std::string_view kDmxTemplate = "{JOB:4}{ENV:6}{SHEET:2}{SHEETS:2}{CLOSE:1}";

// The printable-area margins (left, top) of common paper sizes, offered by the print-area dialog.
struct MarginPreset {
    std::string_view paper;
    float left;
    float top;
};
inline constexpr MarginPreset kMarginPresets[] = {{"A4", 6.01f, 12.7f}, {"Letter", 6.35f, 12.7f}};

// Rows in the order the load step reads them; the keys read where they are used come last.
// clang-format off
inline constexpr auto kCatalogue = std::to_array<SettingDef>({
    {"common",   "winmainpos",   "",    Form::WindowPos,  0,  0,   {},                          SettingGroup::Window},
    {"common",   "uselog",       "",    Form::Flag,       0,  0,   &Settings::useLog,           SettingGroup::Window},
    {"common",   "dummyasc",     "97",  Form::Whole,      32, 255, &Settings::fillChar,         SettingGroup::FillChar},
    {"files",    "in",           "",    Form::Path,       0,  0,   &Settings::sourceFile,       SettingGroup::Source},
    {"files",    "out",          "",    Form::Path,       0,  0,   &Settings::destinationFile,  SettingGroup::Destination},
    {"organize", "envlimit",     "",    Form::EnvLimit,   1,  5,   {},                          SettingGroup::Organize},
    {"organize", "manifest",     "",    Form::Flag,       0,  0,   &Settings::manifest,         SettingGroup::Organize},
    {"keys",     "adrkeybeg",    "",    Form::Marker,     0,  0,   &Settings::keyBegin,         SettingGroup::Keys},
    {"keys",     "adrkeyend",    "",    Form::Marker,     0,  0,   &Settings::keyEnd,           SettingGroup::Keys},
    {"keys",     "adridlen",     "",    Form::Whole,      1,  99,  &Settings::idLength,         SettingGroup::Keys, Read::AtStart, OutOfRange::Refuse},
    {"keys",     "adrkeymode",   "",    Form::Whole,      0,  1,   &Settings::keyMode,          SettingGroup::Keys, Read::AtStart, OutOfRange::Refuse},
    {"keys",     "adrkeyrem",    "1",   Form::Flag,       0,  0,   &Settings::removeKey,        SettingGroup::Keys},
    {"pcl",      "pclleftmm",    "",    Form::Distance,   0,  0,   &Settings::pclLeftMm,        SettingGroup::PrintArea},
    {"pcl",      "pcltopmm",     "",    Form::Distance,   0,  0,   &Settings::pclTopMm,         SettingGroup::PrintArea},
    {"pcl",      "stdleftmm",    "",    Form::Millimetre, 0,  0,   &Settings::stdLeftMm,        SettingGroup::PrintArea},
    {"pcl",      "stdtopmm",     "",    Form::Millimetre, 0,  0,   &Settings::stdTopMm,         SettingGroup::PrintArea},
    {"pcl",      "omeleftmm",    "",    Form::Millimetre, 0,  0,   &Settings::omeLeftMm,        SettingGroup::PrintArea},
    {"pcl",      "ometopmm",     "",    Form::Millimetre, 0,  0,   &Settings::omeTopMm,         SettingGroup::PrintArea},
    {"ome",      "ome_x",        "5",   Form::Millimetre, 0,  0,   &Settings::omeX,             SettingGroup::OmeLayout},
    {"ome",      "ome_y",        "100", Form::Millimetre, 0,  0,   &Settings::omeY,             SettingGroup::OmeLayout},
    {"ome",      "ome_a",        "5",   Form::Millimetre, 0,  0,   &Settings::omeA,             SettingGroup::OmeLayout},
    {"ome",      "ome_b",        "7",   Form::Millimetre, 0,  0,   &Settings::omeB,             SettingGroup::OmeLayout},
    {"ome",      "ome_d",        "0.5", Form::Millimetre, 0,  0,   &Settings::omeD,             SettingGroup::OmeLayout},
    {"ome",      "collect_code", "10",  Form::Text,       0,  0,   &Settings::collectCode,      SettingGroup::OmeCode},
    {"ome",      "envelop_code", "11",  Form::Text,       0,  0,   &Settings::envelopCode,      SettingGroup::OmeCode},
    {"ome",      "stop_code",    "101", Form::Text,       0,  0,   &Settings::stopCode,         SettingGroup::OmeCode},
    {"ome",      "supply_count", "0",   Form::Whole,      1,  4,   &Settings::supplyCount,      SettingGroup::OmeCode},
    {"ome",      "seqchk_count", "0",   Form::Whole,      1,  4,   &Settings::seqchkCount,      SettingGroup::OmeCode},
    {"ome",      "use_stop",     "",    Form::Flag,       0,  0,   &Settings::useStop,          SettingGroup::OmeCode},
    {"ome",      "use_supply",   "",    Form::Flag,       0,  0,   &Settings::useSupply,        SettingGroup::OmeCode},
    {"ome",      "use_seqchk",   "",    Form::Flag,       0,  0,   &Settings::useSeqchk,        SettingGroup::OmeCode},
    {"ome",      "use_parity",   "",    Form::Flag,       0,  0,   &Settings::useParity,        SettingGroup::OmeCode},
    {"ome",      "use_security", "",    Form::Flag,       0,  0,   &Settings::useSecurity,      SettingGroup::OmeCode},
    {"ome",      "seq_continue", "",    Form::Flag,       0,  0,   &Settings::seqContinue,      SettingGroup::Sequence},
    {"feed",     "feed1",        "",    Form::FeedRule,   0,  0,   &Settings::feed1,            SettingGroup::Feed, Read::AtStart, OutOfRange::Refuse},
    {"feed",     "feed2",        "",    Form::FeedRule,   0,  0,   &Settings::feed2,            SettingGroup::Feed, Read::AtStart, OutOfRange::Refuse},
    {"feed",     "feed3",        "",    Form::FeedRule,   0,  0,   &Settings::feed3,            SettingGroup::Feed, Read::AtStart, OutOfRange::Refuse},
    {"feed",     "feed4",        "",    Form::FeedRule,   0,  0,   &Settings::feed4,            SettingGroup::Feed, Read::AtStart, OutOfRange::Refuse},
    {"dmx",      "use_dmx",      "",    Form::Flag,       0,  0,   &Settings::useDmx,           SettingGroup::Dmx},
    {"dmx",      "dmx_x",        "5",   Form::Millimetre, 0,  0,   &Settings::dmxX,             SettingGroup::Dmx},
    {"dmx",      "dmx_y",        "80",  Form::Millimetre, 0,  0,   &Settings::dmxY,             SettingGroup::Dmx},
    {"dmx",      "dmx_module",   "0.5", Form::BoundedMm,  25, 150, &Settings::dmxModule,        SettingGroup::Dmx},
    {"dmx",      "dmx_quiet",    "2",   Form::Whole,      1,  10,  &Settings::dmxQuiet,         SettingGroup::Dmx},
    {"dmx",      "dmx_clear",    "1",   Form::Flag,       0,  0,   &Settings::dmxClear,         SettingGroup::Dmx},
    {"dmx",      "dmx_template", kDmxTemplate, Form::Marker, 0, 0, &Settings::dmxTemplate,      SettingGroup::Dmx},
    {"dmx",      "dmx_job",      "0",   Form::Whole,      0,  9999, &Settings::dmxJob,           SettingGroup::Dmx},
    {"files",    "infilt",       "",    Form::Whole,      1,  2,   {},                          SettingGroup::Source,      Read::WhereUsed},
    {"files",    "outfilt",      "",    Form::Whole,      1,  2,   {},                          SettingGroup::Destination, Read::WhereUsed},
    {"files",    "savescskel",   "",    Form::Path,       0,  0,   {},                          SettingGroup::Skeleton,    Read::WhereUsed},
    {"files",    "refpg",        "",    Form::RefPage,    0,  0,   {},                          SettingGroup::RefPage,     Read::WhereUsed},
    // Where a marked job goes without hands (a folder, file:, socket://, ipp://, lpd://; empty: it
    // stays where it was written), and where refused jobs go with their reasons.
    {"deliver",  "to",           "",    Form::Path,       0,  0,   {},                          SettingGroup::Hand,        Read::WhereUsed},
    {"deliver",  "refused",      "",    Form::Path,       0,  0,   {},                          SettingGroup::Hand,        Read::WhereUsed},
});
// clang-format on

// The row of a key (keys are unique across sections); a key not in the table does not compile.
consteval const SettingDef& Catalogued(std::string_view key)
{
    for (const SettingDef& row : kCatalogue) {
        if (row.key == key)
            return row;
    }
    throw "key not in the settings catalogue";
}

// The row of a key named at run time; nullptr for a key not in the table.
constexpr const SettingDef* FindSetting(std::string_view key)
{
    for (const SettingDef& row : kCatalogue) {
        if (row.key == key)
            return &row;
    }
    return nullptr;
}

// A row read at start that is not a list stores into a member of the type its form gives.
consteval bool MembersMatchForms()
{
    for (const SettingDef& row : kCatalogue) {
        bool ok = false;
        switch (row.form) {
        case Form::Flag:
            ok = std::holds_alternative<bool Settings::*>(row.member);
            break;
        case Form::Whole:
            ok = std::holds_alternative<std::int32_t Settings::*>(row.member) ||
                 row.read == Read::WhereUsed;
            break;
        case Form::Millimetre:
        case Form::Distance:
        case Form::BoundedMm:
            ok = std::holds_alternative<float Settings::*>(row.member);
            break;
        case Form::Text:
        case Form::Marker:
        case Form::Path:
        case Form::FeedRule:
            ok = std::holds_alternative<std::string Settings::*>(row.member) ||
                 row.read == Read::WhereUsed;
            break;
        case Form::WindowPos:
        case Form::EnvLimit:
        case Form::RefPage:
            ok = std::holds_alternative<std::monostate>(row.member);
            break;
        }
        if (!ok)
            return false;
    }
    return true;
}
static_assert(MembersMatchForms());

// A whole number brought into its row's bounds.
constexpr std::int32_t Bound(const SettingDef& row, std::int32_t value)
{
    return std::clamp(value, row.min, row.max);
}

// A millimetre value as its row keeps it: a distance loses its sign, a bounded value is brought
// into its bounds.
inline float Bound(const SettingDef& row, float mm)
{
    if (row.form == Form::BoundedMm)
        return std::clamp(mm, static_cast<float>(row.min) / 100.0f,
                          static_cast<float>(row.max) / 100.0f);
    return row.form == Form::Distance ? std::fabs(mm) : mm;
}

} // namespace kuvrion
