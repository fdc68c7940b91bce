// The program's settings as the shared state holds them, the load step that reads them from the
// settings file, the writes of the dialogs, and the rules derived from them: whether the key
// settings can find a key, and the layout and length of the OME code. Sections, keys, defaults
// and bounds come from the catalogue (SettingsCatalogue.h).
#pragma once

#include "base/Result.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kuvrion {

class IniAccess;
enum class SettingGroup : std::uint8_t;

struct Settings {
    // Every setting at its default: the catalogue's default text, read as the load step reads it.
    Settings();

    // Each field is the key of its section spelt in camel case ("ome_x" is omeX), unless its
    // comment names the key; the catalogue (SettingsCatalogue.h) pairs them.

    // [common]
    std::optional<std::array<std::int32_t, 2>> windowPosition; // "winmainpos": left, top in
                                                              // twips; empty = centre
    bool useLog{};           // "uselog"
    std::int32_t fillChar{}; // "dummyasc": escape-skeleton fill character code

    // [files] (paths as UTF-8 file names; stored in the file as Windows-1252)
    std::string sourceFile;      // "in"
    std::string destinationFile; // "out"

    // [organize]
    std::int16_t envelopeLimit{}; // "envlimit": pages per envelope
    bool limitEnvelopes{};        // "envlimit"'s switch
    bool manifest{}; // write the envelope list beside every export

    // [keys] (markers are Windows-1252 byte text, used exactly as stored)
    std::string keyBegin;    // "adrkeybeg"
    std::string keyEnd;      // "adrkeyend"
    std::int32_t idLength{}; // "adridlen"
    std::int32_t keyMode{};  // "adrkeymode": 0 = end marker, any other = fixed length
    bool removeKey{};        // "adrkeyrem"
    bool keyValid{};         // derived: AdrKeyValid

    // [pcl], millimetres
    float pclLeftMm{}, pclTopMm{}; // "pclleftmm"...: margins of the printable area, never negative
    float stdLeftMm{}, stdTopMm{};
    float omeLeftMm{}, omeTopMm{};

    // [ome]
    float omeX{}, omeY{}, omeA{}, omeB{}, omeD{};
    std::string collectCode;
    std::string envelopCode;
    std::string stopCode;
    std::int32_t supplyCount{};
    std::int32_t seqchkCount{};
    bool useStop{}, useSupply{}, useSeqchk{}, useParity{}, useSecurity{};
    std::int32_t codeLength{}; // derived: ComputeCodeLength
    bool seqContinue{};        // the sequence runs on from the last export (state file)

    // [feed]: the rule of each selective feeder (FeedRule.h), Windows-1252 text as stored; empty
    // when the feeder has none
    std::string feed1, feed2, feed3, feed4;

    // [dmx]: the 2D code beside the bars
    bool useDmx{};
    float dmxX{}, dmxY{};    // symbol's top-left module from the sheet's left and top edge, mm
    float dmxModule{};       // module size, mm
    std::int32_t dmxQuiet{}; // quiet zone, modules
    bool dmxClear{};         // paint the symbol and its quiet zone white first
    std::string dmxTemplate; // content template, Windows-1252 byte text
    std::int32_t dmxJob{};   // the job number of {JOB}
};

// A stored value the load step did not take as it stands. A refused value is one the dialogs
// would not accept for a setting marked OutOfRange::Refuse in the catalogue: the setting still
// holds a bounded value, but nothing may be grouped with it. Other values were bounded to `used`.
struct SettingIssue {
    std::string key;
    std::string found; // the stored text, as UTF-8
    std::string used;  // the value taken instead, as stored text; empty when refused
    bool refused = false;
};

// Reads every setting read at start, in the catalogue's order; missing or malformed values give
// the defaults and out-of-range values are bounded. Writes nothing. Computes keyValid and
// codeLength. With `issues`, lists every stored value that was refused or bounded, in catalogue
// order (a missing key is neither).
Settings LoadSettings(const IniAccess& ini, std::vector<SettingIssue>* issues = nullptr);

// Writes the keys of `group` from `s`, in catalogue order, in one replacement of the settings
// file: on failure (SettingsWrite, as every write here) every key keeps its stored value.
Result<void> WriteSettings(IniAccess& ini, const Settings& s, SettingGroup group);

// The key settings can find a key: a start marker, and either an end marker (mode 0) or an ID
// length of at least 1 (fixed length). KeyFaultOf names what is missing first.
enum class KeyFault { None, NoStartMarker, NoEndMarker, NoIdLength };
KeyFault KeyFaultOf(std::string_view beg, std::string_view end, std::int32_t idLen,
                    std::int32_t mode);
bool AdrKeyValid(std::string_view beg, std::string_view end, std::int32_t idLen, std::int32_t mode);

// The blocks of the OME bar column, from the top, in their fixed order.
enum class BarBlock : std::uint8_t { Base, Stop, Supply, SeqChk, Parity, Security };
struct BarRun {
    BarBlock block;
    std::int32_t first; // position of the block's first bar; 1 is the topmost
    std::int32_t count; // its bars; 0 when switched off, and the blocks below close up
};
std::array<BarRun, 6> BarColumn(const Settings& s);

// The length of the OME code: the bars of every block that is switched on. Stores the result in
// s.codeLength and returns it.
std::int32_t ComputeCodeLength(Settings& s);

// Options of the reference page, key "refpg" of [files]: read when its dialog opens.
struct RefPageOptions {
    std::string path; // UTF-8 file name; empty in the file gives the default path
    bool grid = true;
    bool marks = true;
};
// `defaultPath` is used (with both options on) when the key is missing or its path is empty.
RefPageOptions ReadRefPageOptions(const IniAccess& ini, const std::string& defaultPath);
Result<void> WriteRefPageOptions(IniAccess& ini, const RefPageOptions& options);

// Filter index of the open / save dialog, bounded to its catalogue range.
std::int32_t ReadFilterIndex(const IniAccess& ini, bool forSave);
// Path of the escape skeleton file ("savescskel"); `defaultPath` when missing.
std::string ReadSkeletonPath(const IniAccess& ini, const std::string& defaultPath);
Result<void> WriteSkeletonPath(IniAccess& ini, const std::string& path);

// Section [deliver] of a line of work's settings file: where marked jobs go without hands ("": they
// stay where they were written) and where refused jobs go with their reasons ("": beside them).
// UTF-8 text, read where used.
struct DeliverySettings {
    std::string to;
    std::string refused;
};
DeliverySettings ReadDeliverySettings(const IniAccess& ini);

// The source or destination path, with the file dialog's filter index when given, in one
// replacement of the settings file.
Result<void> WriteSourceFile(IniAccess& ini, const std::string& path,
                             std::optional<std::int32_t> filterIndex);
Result<void> WriteDestinationFile(IniAccess& ini, const std::string& path,
                                  std::optional<std::int32_t> filterIndex);

} // namespace kuvrion
