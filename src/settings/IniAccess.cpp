#include "settings/IniAccess.h"

#include "base/AtomicFile.h"
#include "base/ByteText.h"
#include "base/FileChecks.h"
#include "base/Platform.h"

#include <array>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <system_error>

namespace kuvrion {

namespace {

namespace fs = std::filesystem;

// A settings file is a few kilobytes; anything this big is not one and is left alone.
constexpr std::uintmax_t kMaxFileSize = 256u << 20;
constexpr std::string_view kEol = "\r\n";
constexpr std::string_view kBom = "\xEF\xBB\xBF";

// Windows-1252 upper case: ASCII, the Latin-1 letters and the four letters of 0x8A..0x9F.
constexpr std::array<unsigned char, 256> MakeUpperTable()
{
    std::array<unsigned char, 256> t{};
    for (int i = 0; i < 256; ++i)
        t[static_cast<std::size_t>(i)] = static_cast<unsigned char>(i);
    for (int i = 'a'; i <= 'z'; ++i)
        t[static_cast<std::size_t>(i)] = static_cast<unsigned char>(i - 32);
    for (int i = 0xE0; i <= 0xFE; ++i) {
        if (i != 0xF7)
            t[static_cast<std::size_t>(i)] = static_cast<unsigned char>(i - 32);
    }
    t[0x9A] = 0x8A; // š
    t[0x9C] = 0x8C; // œ
    t[0x9E] = 0x8E; // ž
    t[0xFF] = 0x9F; // ÿ
    return t;
}
constexpr auto kUpper = MakeUpperTable();

char Upper(char c)
{
    return static_cast<char>(kUpper[static_cast<unsigned char>(c)]);
}

bool EqualNoCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (Upper(a[i]) != Upper(b[i]))
            return false;
    }
    return true;
}

std::string_view CutAtNul(std::string_view s)
{
    return s.substr(0, s.find('\0'));
}

// The name of a section header line (already trimmed), or nothing.
std::optional<std::string_view> HeaderName(std::string_view trimmed)
{
    if (trimmed.size() >= 3 && trimmed.front() == '[' && trimmed.back() == ']')
        return trimmed.substr(1, trimmed.size() - 2);
    return std::nullopt;
}

// One line of the file: [begin, end) is its text, `next` the start of the following line.
struct Line {
    std::size_t begin;
    std::size_t end;
    std::size_t next;
};

struct Section {
    std::size_t header; // line index of the header
    std::size_t stop;   // line index of the next header, or the line count
    std::string_view name;
};

// The parsed file. Lines end at CR LF, LF or a lone CR; a UTF-8 byte-order mark at the start is
// not part of the first line. Lines before the first header belong to no section.
struct IniText {
    explicit IniText(std::string_view text) : data(text) { Parse(); }

    std::string_view data;
    std::size_t bom = 0;
    std::vector<Line> lines;
    std::vector<Section> sections;

    std::string_view Text(std::size_t i) const
    {
        return data.substr(lines[i].begin, lines[i].end - lines[i].begin);
    }
    std::string_view Trimmed(std::size_t i) const { return TrimBlanks(Text(i)); }

    void Parse()
    {
        bom = data.starts_with(kBom) ? kBom.size() : 0;
        std::size_t pos = bom;
        const std::size_t size = data.size();
        while (pos < size) {
            std::size_t end = pos;
            while (end < size && data[end] != '\r' && data[end] != '\n')
                ++end;
            std::size_t next = end;
            if (next < size) {
                next += (data[next] == '\r' && next + 1 < size && data[next + 1] == '\n') ? 2 : 1;
            }
            lines.push_back({pos, end, next});
            pos = next;
        }
        for (std::size_t i = 0; i < lines.size(); ++i) {
            if (const auto name = HeaderName(Trimmed(i))) {
                if (!sections.empty())
                    sections.back().stop = i;
                sections.push_back({i, lines.size(), *name});
            }
        }
    }

    // The first section of that name (duplicates after it are never read).
    const Section* Find(std::string_view name) const
    {
        for (const auto& s : sections) {
            if (EqualNoCase(s.name, name))
                return &s;
        }
        return nullptr;
    }

    // Key and value of an entry line, or nothing for comments, blank lines and lines without "=".
    std::optional<std::pair<std::string_view, std::string_view>> Entry(std::size_t i) const
    {
        const auto t = Trimmed(i);
        if (t.empty() || t.front() == ';')
            return std::nullopt;
        const auto eq = t.find('=');
        if (eq == std::string_view::npos)
            return std::nullopt;
        return std::make_pair(TrimBlanks(t.substr(0, eq)), t.substr(eq + 1));
    }

    // The line index of the first entry `key` in `sec`, or nothing.
    std::optional<std::size_t> FindKey(const Section& sec, std::string_view key) const
    {
        for (std::size_t i = sec.header + 1; i < sec.stop; ++i) {
            const auto e = Entry(i);
            if (e && EqualNoCase(e->first, key))
                return i;
        }
        return std::nullopt;
    }

    std::string_view Bytes(std::size_t from, std::size_t to) const
    {
        return data.substr(from, to - from);
    }
};

enum class Load { Ok, Missing, Failed };

// Reads the whole file. Only regular files are read (a FIFO in its place would block). `data`
// stays empty unless the file is read.
Load LoadFile(const std::string& path, std::string& data)
{
    data.clear();
    if (path.empty())
        return Load::Missing;
    std::error_code ec;
    const auto st = fs::status(PathFromUtf8(path), ec);
    if (st.type() == fs::file_type::not_found)
        return Load::Missing;
    if (ec || st.type() != fs::file_type::regular)
        return Load::Failed;
    const auto size = fs::file_size(PathFromUtf8(path), ec);
    if (ec || size > kMaxFileSize)
        return Load::Failed;
    const auto opened = OpenStream(PathFromUtf8(path), "rb");
    if (!opened)
        return Load::Failed;
    std::FILE* f = *opened;
    data.reserve(static_cast<std::size_t>(size));
    std::array<char, 65536> buf{};
    std::size_t n = 0;
    bool ok = true;
    while ((n = std::fread(buf.data(), 1, buf.size(), f)) > 0) {
        data.append(buf.data(), n);
        if (data.size() > kMaxFileSize) {
            ok = false;
            break;
        }
    }
    if (std::ferror(f))
        ok = false;
    std::fclose(f);
    if (!ok) {
        data.clear();
        return Load::Failed;
    }
    return Load::Ok;
}

// A write of the settings file that failed, with the system's error where there is one.
Failure Refused(const std::string& path, int err = 0)
{
    return Failure{FailureKind::SettingsWrite, err, 0, path};
}

// The settings file may be replaced: not a folder or other special file, not write-protected.
bool MayReplace(const std::string& path)
{
    if (path.empty())
        return false;
    std::error_code ec;
    const auto st = fs::status(PathFromUtf8(path), ec);
    if (st.type() == fs::file_type::not_found)
        return true;
    if (ec || st.type() != fs::file_type::regular)
        return false;
    return !IsWriteProtected(PathFromUtf8(path));
}

// Replaces the settings file by `text`.
Result<void> WriteText(const std::string& path, std::string_view text)
{
    AtomicFile f;
    Result<void> written = f.Open(PathFromUtf8(path));
    if (written)
        written = f.Write(text);
    if (written)
        written = f.Commit();
    if (!written)
        return Refused(path, written.error().err);
    return {};
}

// Section and key names that cannot be written so that they read back are refused.
bool ValidSection(std::string_view s)
{
    return !s.empty() && s.find_first_of(std::string_view("\r\n\0", 3)) == std::string_view::npos;
}

bool ValidKey(std::string_view k)
{
    return !k.empty() && k.front() != ';' && k.front() != '[' &&
           k.find_first_of(std::string_view("=\r\n\0", 4)) == std::string_view::npos;
}

bool IsNumericText(std::string_view s)
{
    s = TrimBlanks(s);
    std::size_t i = 0;
    auto digits = [&] {
        const std::size_t from = i;
        while (i < s.size() && s[i] >= '0' && s[i] <= '9')
            ++i;
        return i - from;
    };
    if (i < s.size() && (s[i] == '+' || s[i] == '-'))
        ++i;
    std::size_t count = digits();
    if (i < s.size() && s[i] == '.') {
        ++i;
        count += digits();
    }
    if (count == 0)
        return false;
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        ++i;
        if (i < s.size() && (s[i] == '+' || s[i] == '-'))
            ++i;
        if (digits() == 0)
            return false;
    }
    return i == s.size();
}

enum class Rewrite { Refused, Unchanged, Changed };

// The text with the entry written: `out` receives the new text when it changes. Only the one line
// replaced or inserted differs; every other byte stays.
Rewrite RewriteEntry(std::string_view data, std::string_view Section, std::string_view Key,
                     std::string_view Value, std::string& out)
{
    const auto key = TrimBlanks(Key);
    if (!ValidSection(Section) || !ValidKey(key))
        return Rewrite::Refused;
    const IniText text(data);

    // A value ends at a NUL, as a read ends it, and at a line break, which would otherwise start a
    // new line in the file.
    auto value = Value.substr(0, Value.find_first_of(std::string_view("\0\r\n", 3)));
    value = TrimBlanks(value.substr(0, IniAccess::kMaxValue));
    std::string line;
    line.reserve(key.size() + 1 + value.size() + 2);
    line.append(key).append("=").append(value);

    out.clear();
    const auto* sec = text.Find(Section);
    if (!sec) {
        const bool needEol = data.size() > text.bom && data.back() != '\n' && data.back() != '\r';
        out.reserve(data.size() + 2 + Section.size() + 4 + line.size() + 2);
        out.append(data);
        if (needEol)
            out.append(kEol);
        out.append("[").append(Section).append("]").append(kEol).append(line).append(kEol);
        return Rewrite::Changed;
    }
    if (const auto at = text.FindKey(*sec, key)) {
        const auto& l = text.lines[*at];
        if (text.Text(*at) == line)
            return Rewrite::Unchanged;
        out.reserve(data.size() - (l.end - l.begin) + line.size());
        out.append(text.Bytes(0, l.begin)).append(line).append(text.Bytes(l.end, data.size()));
        return Rewrite::Changed;
    }
    // New key: after the last non-blank line of the section, so blank separator lines stay last.
    std::size_t last = sec->header;
    for (std::size_t i = sec->header + 1; i < sec->stop; ++i) {
        if (!text.Trimmed(i).empty())
            last = i;
    }
    const auto& l = text.lines[last];
    out.reserve(data.size() + 2 + line.size() + 2);
    out.append(text.Bytes(0, l.next));
    if (l.next == l.end)
        out.append(kEol);
    out.append(line).append(kEol).append(text.Bytes(l.next, data.size()));
    return Rewrite::Changed;
}

} // namespace

std::string IniAccess::ReadEntryIn(std::string_view fileText, std::string_view Section,
                                   std::string_view Key, std::string_view Default)
{
    const auto key = TrimBlanks(Key);
    if (!key.empty()) {
        const IniText text(fileText);
        if (const auto* sec = text.Find(Section)) {
            if (const auto line = text.FindKey(*sec, key)) {
                const auto value = TrimBlanks(CutAtNul(text.Entry(*line)->second));
                return std::string(TrimBlanks(value.substr(0, kMaxValue)));
            }
        }
    }
    return std::string(TrimBlanks(CutAtNul(Default).substr(0, kMaxValue)));
}

bool IniAccess::WriteEntryIn(std::string& fileText, std::string_view Section, std::string_view Key,
                             std::string_view Value)
{
    std::string out;
    const auto done = RewriteEntry(fileText, Section, Key, Value, out);
    if (done == Rewrite::Changed)
        fileText = std::move(out);
    return done != Rewrite::Refused;
}

std::int32_t IniAccess::GetKeysIn(std::string_view fileText, std::string_view secname,
                                  std::vector<std::string>& keyname)
{
    keyname.assign(1, std::string());
    const IniText text(fileText);
    const auto* sec = text.Find(secname);
    if (!sec)
        return 0;
    std::int32_t count = 0;
    for (std::size_t i = sec->header + 1; i < sec->stop; ++i) {
        const auto e = text.Entry(i);
        if (!e)
            continue;
        if (count == 0)
            keyname[0] = std::string(e->first);
        else
            keyname.emplace_back(e->first);
        ++count;
    }
    return count;
}

// The file-based operations read the whole file (a missing or unreadable one as empty text) and
// leave the text work to the in-memory ones above.

std::string IniAccess::ReadText() const
{
    std::string data;
    LoadFile(iniFile, data);
    return data;
}

std::string IniAccess::ReadEntry(std::string_view Section, std::string_view Key,
                                 std::string_view Default) const
{
    return ReadEntryIn(ReadText(), Section, Key, Default);
}

Result<void> IniAccess::WriteEntry(std::string_view Section, std::string_view Key,
                                   std::string_view Value)
{
    const IniEntry entry{Section, Key, std::string(Value)};
    return WriteEntries({&entry, 1});
}

Result<void> IniAccess::WriteEntries(std::span<const IniEntry> entries)
{
    if (!MayReplace(iniFile))
        return Refused(iniFile);
    std::string data;
    if (LoadFile(iniFile, data) == Load::Failed)
        return Refused(iniFile);
    std::string text = data;
    for (const IniEntry& e : entries) {
        if (!WriteEntryIn(text, e.Section, e.Key, e.Value))
            return Refused(iniFile);
    }
    if (text == data)
        return {}; // nothing changes: leave the file alone
    return WriteText(iniFile, text);
}

std::int32_t IniAccess::GetKeys(std::string_view secname, std::vector<std::string>& keyname) const
{
    std::string data;
    LoadFile(iniFile, data);
    return GetKeysIn(data, secname, keyname);
}

std::string IniAccess::Array2String(const std::vector<std::string>& ss, std::string_view sep,
                                    std::int16_t txtLim)
{
    std::string out;
    const char lim = static_cast<char>(txtLim & 0xFF);
    for (std::size_t i = 0; i < ss.size(); ++i) {
        if (i > 0)
            out.append(sep);
        const bool quote = txtLim >= 0 && !IsNumericText(ss[i]);
        if (quote)
            out += lim;
        out.append(ss[i]);
        if (quote)
            out += lim;
    }
    return out;
}

void IniAccess::String2Array(std::vector<std::string>& ss, std::string_view sep, std::string_view s,
                             std::int16_t txtLim, bool preserveQuotes)
{
    ss.assign(1, std::string());
    if (s.empty())
        return;
    if (sep.empty()) {
        ss[0] = std::string(s);
        return;
    }
    constexpr auto npos = std::string_view::npos;
    const char lim = static_cast<char>(txtLim & 0xFF);
    std::size_t index = 0;
    std::size_t start = 0;
    for (;;) {
        std::size_t pos = s.find(sep, start);
        if (txtLim >= 0) {
            // Only the first pair of delimiters in an element protects separators.
            const std::size_t q1 = s.find(lim, start);
            if (q1 != npos && q1 < pos) {
                const std::size_t q2 = s.find(lim, q1 + 1);
                if (q2 != npos)
                    pos = s.find(sep, q2 + 1);
            }
        }
        if (pos == npos)
            pos = s.size();
        if (index >= ss.size())
            ss.emplace_back();
        ss[index] = TrimCtrlChars(s.substr(start, pos - start));
        start = pos + sep.size();
        auto& e = ss[index];
        if (txtLim >= 0 && !preserveQuotes && e.size() >= 2 && e.front() == lim && e.back() == lim)
            e = e.substr(1, e.size() - 2);
        ++index;
        if (pos >= s.size())
            break;
    }
}

std::string IniAccess::TrimCtrlChars(std::string_view s)
{
    const auto ctrl = [](char c) { return static_cast<unsigned char>(c) < 33; };
    while (!s.empty() && ctrl(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && ctrl(s.back()))
        s.remove_suffix(1);
    return std::string(s);
}

} // namespace kuvrion
