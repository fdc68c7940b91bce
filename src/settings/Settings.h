// The settings catalogue: every setting of the program with its default, the load step that reads
// them in the program's fixed order with their bounds, and one write function per dialog that
// writes its keys in the fixed order.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

namespace kuvrion {

class IniAccess;

struct Settings {
    // [common]
    std::optional<std::array<std::int32_t, 2>> winmainpos; // left, top in twips; empty = centre
    bool bUseLog = false;
    std::int32_t dummyasc = 97; // escape-skeleton fill character code, 32..255

    // [files] (paths as UTF-8 file names; stored in the file as Windows-1252)
    std::string sSrcFile; // "in"
    std::string sDstFile; // "out"

    // [organize]
    std::int16_t nEnvLimit = 5; // 1..5
    bool bEnvLimit = true;
    bool bManifest = false; // "manifest": write the envelope list beside every export

    // [keys] (markers are Windows-1252 byte text, used exactly as stored)
    std::string sAdrKeyBeg;
    std::string sAdrKeyEnd;
    std::int32_t nAdrIdLen = 1;   // 1..99 when loaded
    std::int32_t nAdrKeyMode = 0; // 0 = end marker, 1 = fixed length
    bool bAdrKeyRem = true;
    bool bAdrKeyValid = false;

    // [pcl], millimetres
    float pclleftmm = 0, pcltopmm = 0; // absolute values
    float stdleftmm = 0, stdtopmm = 0;
    float omeleftmm = 0, ometopmm = 0;

    // [ome]
    float ome_x = 5, ome_y = 100, ome_a = 5, ome_b = 7, ome_d = 0.5f;
    std::string collect_code = "10";
    std::string envelop_code = "11";
    std::string stop_code = "101";
    std::int32_t supply_count = 1; // 1..4
    std::int32_t seqchk_count = 1; // 1..4
    bool use_stop = false, use_supply = false, use_seqchk = false, use_parity = false,
         use_security = false;
    std::int32_t nCodeLen = 2; // derived: ComputeCodeLength
};

// The length of the OME code: 2 base bars, + stop, + supply_count, + seqchk_count, + parity,
// + security, as switched on. Stores the result in s.nCodeLen and returns it.
std::int32_t ComputeCodeLength(Settings& s);

// Reads every setting in the fixed order; missing or malformed values give the defaults and
// out-of-range values are bounded. Writes nothing. Computes bAdrKeyValid and nCodeLen.
Settings LoadSettings(const IniAccess& ini);

// Options of the reference page, key "refpg" of [files]: read when its dialog opens.
struct RefPageOptions {
    std::string path; // UTF-8 file name; empty in the file gives the default path
    bool grid = true;
    bool marks = true;
};
// `defaultPath` is used (with both options on) when the key is missing or its path is empty.
RefPageOptions ReadRefPageOptions(const IniAccess& ini, const std::string& defaultPath);
bool WriteRefPageOptions(IniAccess& ini, const RefPageOptions& options);

// Filter index of the open / save dialog, 1..2.
std::int32_t ReadFilterIndex(const IniAccess& ini, bool forSave);
// Path of the escape skeleton file ("savescskel"); `defaultPath` when missing.
std::string ReadSkeletonPath(const IniAccess& ini, const std::string& defaultPath);
bool WriteSkeletonPath(IniAccess& ini, const std::string& path);

// One write function per dialog or command; each writes its keys in the fixed order and returns
// false when any write failed.
bool WriteSourceFile(IniAccess& ini, const std::string& path,
                     std::optional<std::int32_t> filterIndex);
bool WriteDestinationFile(IniAccess& ini, const std::string& path,
                          std::optional<std::int32_t> filterIndex);
bool WriteWindowState(IniAccess& ini, std::array<std::int32_t, 2> posTwips, bool bUseLog);
bool WriteFillChar(IniAccess& ini, const Settings& s);        // dummyasc
bool WriteKeySettings(IniAccess& ini, const Settings& s);     // adrkeybeg .. adrkeyrem
bool WriteOmeCodeSettings(IniAccess& ini, const Settings& s); // collect_code .. use_security
bool WriteOmeLayout(IniAccess& ini, const Settings& s);       // ome_x .. ome_d
bool WritePrintArea(IniAccess& ini, const Settings& s);       // pclleftmm .. ometopmm
bool WriteOrganize(IniAccess& ini, const Settings& s);        // envlimit, manifest

} // namespace kuvrion
