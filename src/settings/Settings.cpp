#include "settings/Settings.h"

#include "base/ByteText.h"
#include "base/Numbers.h"
#include "settings/IniAccess.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <vector>

namespace kuvrion {

namespace {

constexpr std::int16_t kListLim = 94; // "^" encloses non-numeric list elements
constexpr std::int32_t kMinInt = std::numeric_limits<std::int32_t>::min();
constexpr std::int32_t kMaxInt = std::numeric_limits<std::int32_t>::max();
// A default no stored value can take (values are trimmed of blanks, this one starts with DEL).
constexpr std::string_view kMissing = "\x7F<missing>";

std::string Decimal(std::int32_t n)
{
    char buf[16];
    const auto res = std::to_chars(buf, buf + sizeof buf, n);
    return std::string(buf, res.ptr);
}

std::string Flag(bool b)
{
    return b ? "1" : "0";
}

bool ReadFlag(const IniAccess& ini, std::string_view section, std::string_view key,
              std::string_view def = {})
{
    return ini.ReadEntry(section, key, def) == "1";
}

// A millimetre setting: the leading number, comma ending it, brought into float range.
float ReadMM(const IniAccess& ini, std::string_view section, std::string_view key,
             std::string_view def = {})
{
    constexpr double kMax = std::numeric_limits<float>::max();
    return static_cast<float>(std::clamp(ValNumber(ini.ReadEntry(section, key, def)), -kMax, kMax));
}

// A list text split into at least `minSize` elements (missing ones empty).
std::vector<std::string> SplitList(std::string_view text, std::size_t minSize)
{
    std::vector<std::string> ss;
    IniAccess::String2Array(ss, ",", text, kListLim, false);
    if (ss.size() < minSize)
        ss.resize(minSize);
    return ss;
}

} // namespace

std::int32_t ComputeCodeLength(Settings& s)
{
    std::int32_t n = 2;
    if (s.use_stop)
        n += 1;
    if (s.use_supply)
        n += s.supply_count;
    if (s.use_seqchk)
        n += s.seqchk_count;
    if (s.use_parity)
        n += 1;
    if (s.use_security)
        n += 1;
    s.nCodeLen = n;
    return n;
}

Settings LoadSettings(const IniAccess& ini)
{
    Settings s;

    // [common]
    const auto pos = ini.ReadEntry("common", "winmainpos");
    if (!pos.empty()) {
        const auto ss = SplitList(pos, 2);
        s.winmainpos = std::array<std::int32_t, 2>{ValWhole(ss[0], kMinInt, kMaxInt),
                                                   ValWhole(ss[1], kMinInt, kMaxInt)};
    }
    s.bUseLog = ReadFlag(ini, "common", "uselog");
    s.dummyasc = ValWhole(ini.ReadEntry("common", "dummyasc", "97"), 32, 255);

    // [files]
    s.sSrcFile = Cp1252ToUtf8(ini.ReadEntry("files", "in"));
    s.sDstFile = Cp1252ToUtf8(ini.ReadEntry("files", "out"));

    // [organize]: a limit of 0 (or none) means the default, 5 with the switch on.
    {
        const auto ss = SplitList(ini.ReadEntry("organize", "envlimit"), 2);
        const std::int32_t limit = ValWhole(ss[0], kMinInt, kMaxInt);
        if (limit == 0) {
            s.nEnvLimit = 5;
            s.bEnvLimit = true;
        } else {
            s.nEnvLimit = static_cast<std::int16_t>(Clamp(limit, 1, 5));
            s.bEnvLimit = ss[1] == "1";
        }
        s.bManifest = ini.ReadEntry("organize", "manifest") == "1";
    }

    // [keys]
    s.sAdrKeyBeg = UnquoteMarker(ini.ReadEntry("keys", "adrkeybeg"));
    s.sAdrKeyEnd = UnquoteMarker(ini.ReadEntry("keys", "adrkeyend"));
    s.nAdrIdLen = ValWhole(ini.ReadEntry("keys", "adridlen"), 1, 99);
    s.nAdrKeyMode = ValWhole(ini.ReadEntry("keys", "adrkeymode"), 0, 1);
    s.bAdrKeyRem = ReadFlag(ini, "keys", "adrkeyrem", "1");
    s.bAdrKeyValid = !s.sAdrKeyBeg.empty() && (s.nAdrKeyMode == 1 || !s.sAdrKeyEnd.empty());

    // [pcl]: the print-area margins are distances, so their sign is dropped.
    s.pclleftmm = std::fabs(ReadMM(ini, "pcl", "pclleftmm"));
    s.pcltopmm = std::fabs(ReadMM(ini, "pcl", "pcltopmm"));
    s.stdleftmm = ReadMM(ini, "pcl", "stdleftmm");
    s.stdtopmm = ReadMM(ini, "pcl", "stdtopmm");
    s.omeleftmm = ReadMM(ini, "pcl", "omeleftmm");
    s.ometopmm = ReadMM(ini, "pcl", "ometopmm");

    // [ome]
    s.ome_x = ReadMM(ini, "ome", "ome_x", "5");
    s.ome_y = ReadMM(ini, "ome", "ome_y", "100");
    s.ome_a = ReadMM(ini, "ome", "ome_a", "5");
    s.ome_b = ReadMM(ini, "ome", "ome_b", "7");
    s.ome_d = ReadMM(ini, "ome", "ome_d", "0.5");
    s.collect_code = ini.ReadEntry("ome", "collect_code", "10");
    s.envelop_code = ini.ReadEntry("ome", "envelop_code", "11");
    s.stop_code = ini.ReadEntry("ome", "stop_code", "101");
    s.supply_count = ValWhole(ini.ReadEntry("ome", "supply_count", "0"), 1, 4);
    s.seqchk_count = ValWhole(ini.ReadEntry("ome", "seqchk_count", "0"), 1, 4);
    s.use_stop = ReadFlag(ini, "ome", "use_stop");
    s.use_supply = ReadFlag(ini, "ome", "use_supply");
    s.use_seqchk = ReadFlag(ini, "ome", "use_seqchk");
    s.use_parity = ReadFlag(ini, "ome", "use_parity");
    s.use_security = ReadFlag(ini, "ome", "use_security");
    ComputeCodeLength(s);
    return s;
}

RefPageOptions ReadRefPageOptions(const IniAccess& ini, const std::string& defaultPath)
{
    const auto ss = SplitList(ini.ReadEntry("files", "refpg"), 4);
    RefPageOptions o;
    if (ss[0].empty()) {
        o.path = defaultPath;
        o.grid = true;
        o.marks = true;
    } else {
        o.path = Cp1252ToUtf8(ss[0]);
        o.grid = ss[1] == "1";
        o.marks = ss[2] == "1";
    }
    return o;
}

bool WriteRefPageOptions(IniAccess& ini, const RefPageOptions& options)
{
    const std::vector<std::string> ss{Utf8ToCp1252(options.path), Flag(options.grid),
                                      Flag(options.marks)};
    return ini.WriteEntry("files", "refpg", IniAccess::Array2String(ss, ",", kListLim));
}

std::int32_t ReadFilterIndex(const IniAccess& ini, bool forSave)
{
    return ValWhole(ini.ReadEntry("files", forSave ? "outfilt" : "infilt"), 1, 2);
}

std::string ReadSkeletonPath(const IniAccess& ini, const std::string& defaultPath)
{
    // The default is not passed through the store, which would cut a long path to 259 bytes.
    const auto value = ini.ReadEntry("files", "savescskel", kMissing);
    return value == kMissing ? defaultPath : Cp1252ToUtf8(value);
}

bool WriteSkeletonPath(IniAccess& ini, const std::string& path)
{
    return ini.WriteEntry("files", "savescskel", Utf8ToCp1252(path));
}

bool WriteSourceFile(IniAccess& ini, const std::string& path,
                     std::optional<std::int32_t> filterIndex)
{
    bool ok = true;
    if (filterIndex)
        ok = ini.WriteEntry("files", "infilt", Decimal(*filterIndex)) && ok;
    return ini.WriteEntry("files", "in", Utf8ToCp1252(path)) && ok;
}

bool WriteDestinationFile(IniAccess& ini, const std::string& path,
                          std::optional<std::int32_t> filterIndex)
{
    bool ok = true;
    if (filterIndex)
        ok = ini.WriteEntry("files", "outfilt", Decimal(*filterIndex)) && ok;
    return ini.WriteEntry("files", "out", Utf8ToCp1252(path)) && ok;
}

bool WriteWindowState(IniAccess& ini, std::array<std::int32_t, 2> posTwips, bool bUseLog)
{
    const std::vector<std::string> ss{Decimal(posTwips[0]), Decimal(posTwips[1])};
    bool ok = ini.WriteEntry("common", "winmainpos", IniAccess::Array2String(ss, ",", kListLim));
    return ini.WriteEntry("common", "uselog", Flag(bUseLog)) && ok;
}

bool WriteFillChar(IniAccess& ini, const Settings& s)
{
    return ini.WriteEntry("common", "dummyasc", Decimal(s.dummyasc));
}

bool WriteKeySettings(IniAccess& ini, const Settings& s)
{
    bool ok = ini.WriteEntry("keys", "adrkeybeg", QuoteMarker(s.sAdrKeyBeg));
    ok = ini.WriteEntry("keys", "adrkeyend", QuoteMarker(s.sAdrKeyEnd)) && ok;
    ok = ini.WriteEntry("keys", "adridlen", Decimal(s.nAdrIdLen)) && ok;
    ok = ini.WriteEntry("keys", "adrkeymode", Decimal(s.nAdrKeyMode)) && ok;
    return ini.WriteEntry("keys", "adrkeyrem", Flag(s.bAdrKeyRem)) && ok;
}

bool WriteOmeCodeSettings(IniAccess& ini, const Settings& s)
{
    bool ok = ini.WriteEntry("ome", "collect_code", s.collect_code);
    ok = ini.WriteEntry("ome", "envelop_code", s.envelop_code) && ok;
    ok = ini.WriteEntry("ome", "stop_code", s.stop_code) && ok;
    ok = ini.WriteEntry("ome", "supply_count", Decimal(s.supply_count)) && ok;
    ok = ini.WriteEntry("ome", "seqchk_count", Decimal(s.seqchk_count)) && ok;
    ok = ini.WriteEntry("ome", "use_stop", Flag(s.use_stop)) && ok;
    ok = ini.WriteEntry("ome", "use_supply", Flag(s.use_supply)) && ok;
    ok = ini.WriteEntry("ome", "use_seqchk", Flag(s.use_seqchk)) && ok;
    ok = ini.WriteEntry("ome", "use_parity", Flag(s.use_parity)) && ok;
    return ini.WriteEntry("ome", "use_security", Flag(s.use_security)) && ok;
}

bool WriteOmeLayout(IniAccess& ini, const Settings& s)
{
    bool ok = ini.WriteEntry("ome", "ome_x", FormatMM(s.ome_x));
    ok = ini.WriteEntry("ome", "ome_y", FormatMM(s.ome_y)) && ok;
    ok = ini.WriteEntry("ome", "ome_a", FormatMM(s.ome_a)) && ok;
    ok = ini.WriteEntry("ome", "ome_b", FormatMM(s.ome_b)) && ok;
    return ini.WriteEntry("ome", "ome_d", FormatMM(s.ome_d)) && ok;
}

bool WritePrintArea(IniAccess& ini, const Settings& s)
{
    bool ok = ini.WriteEntry("pcl", "pclleftmm", FormatMM(s.pclleftmm));
    ok = ini.WriteEntry("pcl", "pcltopmm", FormatMM(s.pcltopmm)) && ok;
    ok = ini.WriteEntry("pcl", "stdleftmm", FormatMM(s.stdleftmm)) && ok;
    ok = ini.WriteEntry("pcl", "stdtopmm", FormatMM(s.stdtopmm)) && ok;
    ok = ini.WriteEntry("pcl", "omeleftmm", FormatMM(s.omeleftmm)) && ok;
    return ini.WriteEntry("pcl", "ometopmm", FormatMM(s.ometopmm)) && ok;
}

bool WriteOrganize(IniAccess& ini, const Settings& s)
{
    const std::vector<std::string> ss{Decimal(s.nEnvLimit), Flag(s.bEnvLimit)};
    const bool ok =
        ini.WriteEntry("organize", "envlimit", IniAccess::Array2String(ss, ",", kListLim));
    return ini.WriteEntry("organize", "manifest", Flag(s.bManifest)) && ok;
}

} // namespace kuvrion
