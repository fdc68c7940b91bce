#include "settings/Settings.h"

#include "base/ByteText.h"
#include "base/Numbers.h"
#include "settings/FeedRule.h"
#include "settings/IniAccess.h"
#include "settings/SettingsCatalogue.h"

#include <algorithm>
#include <charconv>
#include <limits>
#include <vector>

namespace kuvrion {

namespace {

constexpr std::int16_t kListLim = 94; // "^" encloses non-numeric list elements
constexpr std::int32_t kMinInt = std::numeric_limits<std::int32_t>::min();
constexpr std::int32_t kMaxInt = std::numeric_limits<std::int32_t>::max();
// A default no stored value can take (values are trimmed of blanks, this one starts with DEL).
constexpr std::string_view kMissing = "\x7F<missing>";

constexpr const SettingDef& kSource = Catalogued("in");
constexpr const SettingDef& kDestination = Catalogued("out");
constexpr const SettingDef& kSourceFilter = Catalogued("infilt");
constexpr const SettingDef& kDestinationFilter = Catalogued("outfilt");
constexpr const SettingDef& kSkeleton = Catalogued("savescskel");
constexpr const SettingDef& kRefPage = Catalogued("refpg");
constexpr const SettingDef& kIdLen = Catalogued("adridlen");

std::string Flag(bool b)
{
    return b ? "1" : "0";
}

// A millimetre value: the leading number, comma ending it, brought into float range.
float ReadMM(std::string_view text)
{
    constexpr double kMax = std::numeric_limits<float>::max();
    return static_cast<float>(std::clamp(ValNumber(text), -kMax, kMax));
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

std::string JoinList(const std::vector<std::string>& ss)
{
    return IniAccess::Array2String(ss, ",", kListLim);
}

template <class T> T& Member(Settings& s, const SettingDef& row)
{
    return s.*std::get<T Settings::*>(row.member);
}

template <class T> const T& Member(const Settings& s, const SettingDef& row)
{
    return s.*std::get<T Settings::*>(row.member);
}

// Puts the stored text of a row read at start into its setting.
void Take(Settings& s, const SettingDef& row, std::string_view text)
{
    switch (row.form) {
    case Form::Flag:
        Member<bool>(s, row) = text == "1";
        break;
    case Form::Whole:
        Member<std::int32_t>(s, row) = ValWhole(text, row.min, row.max);
        break;
    case Form::Millimetre:
    case Form::Distance:
    case Form::BoundedMm:
        Member<float>(s, row) = Bound(row, ReadMM(text));
        break;
    case Form::Text:
    case Form::FeedRule:
        Member<std::string>(s, row) = std::string(text);
        break;
    case Form::Marker:
        Member<std::string>(s, row) = UnquoteMarker(text);
        break;
    case Form::Path:
        Member<std::string>(s, row) = Cp1252ToUtf8(text);
        break;
    case Form::WindowPos:
        s.windowPosition.reset();
        if (!text.empty()) {
            const auto ss = SplitList(text, 2);
            s.windowPosition = std::array<std::int32_t, 2>{ValWhole(ss[0], kMinInt, kMaxInt),
                                                           ValWhole(ss[1], kMinInt, kMaxInt)};
        }
        break;
    case Form::EnvLimit: {
        const auto ss = SplitList(text, 2);
        const std::int32_t limit = ValWhole(ss[0], kMinInt, kMaxInt);
        s.envelopeLimit = static_cast<std::int16_t>(limit == 0 ? row.max : Bound(row, limit));
        s.limitEnvelopes = limit == 0 || ss[1] == "1";
        break;
    }
    case Form::RefPage:
        break; // read where it is used
    }
}

// The text a row's setting is stored as.
std::string StoredText(const Settings& s, const SettingDef& row)
{
    switch (row.form) {
    case Form::Flag:
        return Flag(Member<bool>(s, row));
    case Form::Whole:
        return Decimal(Member<std::int32_t>(s, row));
    case Form::Millimetre:
    case Form::Distance:
    case Form::BoundedMm:
        return FormatMM(Member<float>(s, row));
    case Form::Text:
    case Form::FeedRule:
        return Member<std::string>(s, row);
    case Form::Marker:
        return QuoteMarker(Member<std::string>(s, row));
    case Form::Path:
        return Utf8ToCp1252(Member<std::string>(s, row));
    case Form::WindowPos:
        if (!s.windowPosition)
            return {};
        return JoinList({Decimal((*s.windowPosition)[0]), Decimal((*s.windowPosition)[1])});
    case Form::EnvLimit:
        return JoinList({Decimal(s.envelopeLimit), Flag(s.limitEnvelopes)});
    case Form::RefPage:
        break;
    }
    return {};
}

// Reads every row read at start through `read(row)`, then the values derived from them.
template <class ReadText> void ReadAtStart(Settings& s, const ReadText& read)
{
    for (const SettingDef& row : kCatalogue) {
        if (row.read == Read::AtStart)
            Take(s, row, read(row));
    }
    s.keyValid = AdrKeyValid(s.keyBegin, s.keyEnd, s.idLength, s.keyMode);
    ComputeCodeLength(s);
}

} // namespace

Settings::Settings()
{
    ReadAtStart(*this, [](const SettingDef& row) { return row.def; });
}

namespace {

// The whole number a text is exactly ("12", "-3"; not "1.5", "12a" or "").
std::optional<std::int32_t> ExactWhole(std::string_view text)
{
    std::int32_t n = 0;
    const char* const end = text.data() + text.size();
    const auto res = std::from_chars(text.data(), end, n);
    if (res.ec != std::errc() || res.ptr != end)
        return std::nullopt;
    return n;
}

// The text is a number as the dialogs write it, with nothing after it ("2.5"; not "2,5").
bool ExactNumber(std::string_view text)
{
    double v = 0;
    const char* const end = text.data() + text.size();
    const auto res = std::from_chars(text.data(), end, v);
    return res.ec == std::errc() && res.ptr == end;
}

// Whether the stored text of a row read at start is a value its dialog would have written.
bool Accepted(const SettingDef& row, std::string_view text)
{
    switch (row.form) {
    case Form::Whole: {
        const auto n = ExactWhole(text);
        return n && *n >= row.min && *n <= row.max;
    }
    case Form::Millimetre:
        return ExactNumber(text);
    case Form::Distance:
    case Form::BoundedMm:
        return ExactNumber(text) && Bound(row, ReadMM(text)) == ReadMM(text);
    case Form::EnvLimit: {
        const auto n = ExactWhole(SplitList(text, 2)[0]);
        return n && (*n == 0 || (*n >= row.min && *n <= row.max));
    }
    case Form::FeedRule:
        return text.empty() || ParseFeedRule(text).has_value();
    default:
        return true; // flags, texts and paths take any text
    }
}

} // namespace

Settings LoadSettings(const IniAccess& ini, std::vector<SettingIssue>* issues)
{
    // One read of the file for all settings, so they also come from one state of it.
    const std::string text = ini.ReadText();
    Settings s;
    ReadAtStart(s, [&text](const SettingDef& row) {
        return IniAccess::ReadEntryIn(text, row.section, row.key, row.def);
    });
    if (!issues)
        return s;
    for (const SettingDef& row : kCatalogue) {
        const std::string stored = IniAccess::ReadEntryIn(text, row.section, row.key, kMissing);
        // An empty value reads as the default, except where no value may stand in for the stored
        // one.
        const bool refuse = row.outOfRange == OutOfRange::Refuse;
        if (row.read != Read::AtStart || stored == kMissing || (stored.empty() && !refuse) ||
            Accepted(row, stored))
            continue;
        // The dialog stores the ID length it shows in either mode; only a fixed length groups.
        if (&row == &kIdLen && s.keyMode == 0)
            continue;
        issues->push_back({std::string(row.key), Cp1252ToUtf8(stored),
                           refuse ? std::string() : StoredText(s, row), refuse});
    }
    return s;
}

Result<void> WriteSettings(IniAccess& ini, const Settings& s, SettingGroup group)
{
    std::vector<IniEntry> entries;
    for (const SettingDef& row : kCatalogue) {
        if (row.group == group && row.read == Read::AtStart)
            entries.push_back({row.section, row.key, StoredText(s, row)});
    }
    return ini.WriteEntries(entries);
}

KeyFault KeyFaultOf(std::string_view beg, std::string_view end, std::int32_t idLen,
                    std::int32_t mode)
{
    if (beg.empty())
        return KeyFault::NoStartMarker;
    if (mode != 0)
        return idLen >= kIdLen.min && idLen <= kIdLen.max ? KeyFault::None : KeyFault::NoIdLength;
    return end.empty() ? KeyFault::NoEndMarker : KeyFault::None;
}

bool AdrKeyValid(std::string_view beg, std::string_view end, std::int32_t idLen, std::int32_t mode)
{
    return KeyFaultOf(beg, end, idLen, mode) == KeyFault::None;
}

std::array<BarRun, 6> BarColumn(const Settings& s)
{
    const auto bars = [](bool on, std::int32_t n) { return on ? std::max(n, 0) : 0; };
    std::array<BarRun, 6> column{{{BarBlock::Base, 1, 2},
                                  {BarBlock::Stop, 0, bars(s.useStop, 1)},
                                  {BarBlock::Supply, 0, bars(s.useSupply, s.supplyCount)},
                                  {BarBlock::SeqChk, 0, bars(s.useSeqchk, s.seqchkCount)},
                                  {BarBlock::Parity, 0, bars(s.useParity, 1)},
                                  {BarBlock::Security, 0, bars(s.useSecurity, 1)}}};
    for (std::size_t i = 1; i < column.size(); ++i)
        column[i].first = column[i - 1].first + column[i - 1].count;
    return column;
}

std::int32_t ComputeCodeLength(Settings& s)
{
    const BarRun last = BarColumn(s).back();
    s.codeLength = last.first + last.count - 1;
    return s.codeLength;
}

RefPageOptions ReadRefPageOptions(const IniAccess& ini, const std::string& defaultPath)
{
    const auto ss = SplitList(ini.ReadEntry(kRefPage.section, kRefPage.key, kRefPage.def), 3);
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

Result<void> WriteRefPageOptions(IniAccess& ini, const RefPageOptions& options)
{
    const std::string list =
        JoinList({Utf8ToCp1252(options.path), Flag(options.grid), Flag(options.marks)});
    return ini.WriteEntry(kRefPage.section, kRefPage.key, list);
}

std::int32_t ReadFilterIndex(const IniAccess& ini, bool forSave)
{
    const SettingDef& row = forSave ? kDestinationFilter : kSourceFilter;
    return ValWhole(ini.ReadEntry(row.section, row.key, row.def), row.min, row.max);
}

std::string ReadSkeletonPath(const IniAccess& ini, const std::string& defaultPath)
{
    // The default is not passed through the store, which would cut a long path to 259 bytes.
    const auto value = ini.ReadEntry(kSkeleton.section, kSkeleton.key, kMissing);
    return value == kMissing ? defaultPath : Cp1252ToUtf8(value);
}

DeliverySettings ReadDeliverySettings(const IniAccess& ini)
{
    constexpr const SettingDef& to = Catalogued("to");
    constexpr const SettingDef& refused = Catalogued("refused");
    return {Cp1252ToUtf8(ini.ReadEntry(to.section, to.key, to.def)),
            Cp1252ToUtf8(ini.ReadEntry(refused.section, refused.key, refused.def))};
}

Result<void> WriteSkeletonPath(IniAccess& ini, const std::string& path)
{
    return ini.WriteEntry(kSkeleton.section, kSkeleton.key, Utf8ToCp1252(path));
}

namespace {

Result<void> WritePath(IniAccess& ini, const SettingDef& pathRow, const std::string& path,
                       const SettingDef& filterRow, std::optional<std::int32_t> filterIndex)
{
    std::vector<IniEntry> entries;
    if (filterIndex)
        entries.push_back({filterRow.section, filterRow.key, Decimal(*filterIndex)});
    entries.push_back({pathRow.section, pathRow.key, Utf8ToCp1252(path)});
    return ini.WriteEntries(entries);
}

} // namespace

Result<void> WriteSourceFile(IniAccess& ini, const std::string& path,
                             std::optional<std::int32_t> filterIndex)
{
    return WritePath(ini, kSource, path, kSourceFilter, filterIndex);
}

Result<void> WriteDestinationFile(IniAccess& ini, const std::string& path,
                                  std::optional<std::int32_t> filterIndex)
{
    return WritePath(ini, kDestination, path, kDestinationFilter, filterIndex);
}

} // namespace kuvrion
