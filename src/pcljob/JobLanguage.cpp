#include "pcljob/JobLanguage.h"

#include "pcljob/PclTokenizer.h"

#include <algorithm>
#include <array>
#include <vector>

namespace kuvrion {

namespace {

using namespace std::string_view_literals;

// Every kind with its label, the PJL "ENTER LANGUAGE" names that select it and how its data
// begins. Empty entries fill a row up and match nothing.
struct LanguageRow {
    JobLanguageKind kind;
    std::string_view label;
    std::array<std::string_view, 4> pjlNames; // any case
    std::array<std::string_view, 2> signatures;
};

// clang-format off
constexpr LanguageRow kLanguages[] = {
    // Some printers take the PCL 5 variants by their own names.
    {JobLanguageKind::Pcl5,       "PCL 5",      {"PCL", "PCL5", "PCL5E", "PCL5C"}, {}},
    {JobLanguageKind::PclXl,      "PCL XL",     {"PCLXL"},      {") HP-PCL XL", "( HP-PCL XL"}},
    {JobLanguageKind::PostScript, "PostScript", {"POSTSCRIPT"}, {"%!"}},
    {JobLanguageKind::Pdf,        "PDF",        {"PDF"},        {"%PDF-"}},
    // A ZIP container like any other: its first entry tells it apart (XpsPart).
    {JobLanguageKind::Xps,        "XPS",        {"XPS"},        {}},
    {JobLanguageKind::Png,        "PNG",        {},             {"\x89PNG\r\n\x1a\n"sv}},
    {JobLanguageKind::Jpeg,       "JPEG",       {},             {"\xFF\xD8\xFF"sv}},
    {JobLanguageKind::Tiff,       "TIFF",       {},             {"II*\0"sv, "MM\0*"sv}},
    {JobLanguageKind::Gif,        "GIF",        {},             {"GIF87a", "GIF89a"}},
    {JobLanguageKind::Zip,        "ZIP",        {},             {"PK\x03\x04"sv}},
};
// clang-format on

// The entry names an XPS document begins with; office documents share the first two (they are
// ZIP containers of the same packaging), which only changes the label they are refused with.
constexpr std::string_view kXpsFirstParts[] = {"[Content_Types].xml",
                                               "FixedDocumentSequence.fdseq"};
constexpr std::string_view kXpsFirstFolders[] = {"_rels/", "Documents/"};

// True when the first local file header of the ZIP container `zip` names an XPS part. The name
// length sits at offset 26 of the header and the name at 30; a name cut by the probe is compared
// as far as it goes.
bool XpsPart(std::string_view zip)
{
    if (zip.size() <= 30)
        return false;
    const std::size_t length = static_cast<unsigned char>(zip[26]) |
                               static_cast<std::size_t>(static_cast<unsigned char>(zip[27])) << 8;
    const std::string_view name = zip.substr(30, length);
    return std::find(std::begin(kXpsFirstParts), std::end(kXpsFirstParts), name) !=
               std::end(kXpsFirstParts) ||
           std::any_of(std::begin(kXpsFirstFolders), std::end(kXpsFirstFolders),
                       [name](std::string_view folder) { return name.starts_with(folder); });
}

// A language name longer than any real one is cut here, so a broken job cannot flood a message.
constexpr std::size_t kMaxNameLength = 40;

char Upper(char c)
{
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

bool EqualsNoCase(std::string_view a, std::string_view b)
{
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return Upper(x) == y; });
}

// The words of a PJL command line after "@PJL": blanks and "=" separate them, so
// "ENTER LANGUAGE = PCLXL" and "ENTER LANGUAGE=PCLXL" read alike.
std::vector<std::string_view> Words(std::string_view line)
{
    std::vector<std::string_view> words;
    std::size_t i = 0;
    const auto separator = [](char c) { return IsPjlBlank(c) || c == '='; };
    while (i < line.size()) {
        while (i < line.size() && separator(line[i]))
            ++i;
        const std::size_t from = i;
        while (i < line.size() && !separator(line[i]))
            ++i;
        if (i > from)
            words.push_back(line.substr(from, i - from));
    }
    return words;
}

// The name as text that any message and JSON can carry: printable ASCII, other bytes as "?".
std::string Printable(std::string_view name)
{
    std::string out;
    for (char c : name.substr(0, kMaxNameLength)) {
        const auto u = static_cast<unsigned char>(c);
        out += u >= 33 && u <= 126 ? c : '?';
    }
    return out;
}

} // namespace

std::string JobLanguage::Label() const
{
    for (const LanguageRow& row : kLanguages) {
        if (row.kind == kind)
            return std::string(row.label);
    }
    return pjlName;
}

JobLanguage LanguageFromPjlName(std::string_view name)
{
    JobLanguage lang;
    lang.pjlName = Printable(name);
    lang.kind = JobLanguageKind::Other;
    for (const LanguageRow& row : kLanguages) {
        if (std::any_of(row.pjlNames.begin(), row.pjlNames.end(),
                        [name](std::string_view n) { return !n.empty() && EqualsNoCase(name, n); }))
            lang.kind = row.kind;
    }
    return lang;
}

namespace {

// Reads the PJL block from the tokens: universal exits, @PJL lines and blanks between them; any
// other token ends it.
class PjlBlockReader : public PclTokenSink {
public:
    explicit PjlBlockReader(std::string_view bytes) : m_bytes(bytes) {}

    void Text(std::int64_t at, const unsigned char* p, std::size_t n)
    {
        if (m_stopped)
            return;
        for (std::size_t i = 0; i < n; ++i) {
            if (!IsPjlBlank(static_cast<char>(p[i]))) {
                Stop(at + static_cast<std::int64_t>(i), true);
                return;
            }
        }
        block.dataStart = static_cast<std::size_t>(at) + n;
    }
    void FormFeed(std::int64_t at) { Stop(at, true); }
    void Escape(std::int64_t at, std::int64_t, unsigned char) { Stop(at, true); }
    void Command(const PclCommand& cmd)
    {
        if (m_stopped)
            return;
        if (!cmd.IsUniversalExit()) {
            Stop(cmd.offset, true);
            return;
        }
        block.dataStart = static_cast<std::size_t>(cmd.offset + cmd.length);
    }
    void Data(std::int64_t at, const unsigned char*, std::int64_t, const PclCommand&)
    {
        Stop(at, true);
    }
    void Hpgl(std::int64_t at, const unsigned char*, std::size_t) { Stop(at, true); }
    void PjlLine(std::int64_t at, const unsigned char* p, std::size_t n)
    {
        if (m_stopped)
            return;
        m_line.append(reinterpret_cast<const char*>(p), n);
        if (m_line.back() == '\n')
            LineDone(static_cast<std::size_t>(at) + n);
    }
    // A universal exit or @PJL line cut by the end could still go on with more bytes.
    void Cut(std::int64_t at, std::int64_t n)
    {
        const std::string_view cut =
            m_bytes.substr(static_cast<std::size_t>(at), static_cast<std::size_t>(n));
        const bool couldGoOn = kUel.starts_with(cut) || kPjl.starts_with(cut);
        Stop(at, !couldGoOn);
    }

    PjlBlock block;

private:
    void Stop(std::int64_t at, bool complete)
    {
        if (m_stopped)
            return;
        m_stopped = true;
        block.dataStart = static_cast<std::size_t>(at);
        block.complete = complete;
    }

    void LineDone(std::size_t end)
    {
        const std::vector<std::string_view> words =
            Words(std::string_view(m_line).substr(kPjl.size()));
        block.present = true;
        block.end = end;
        block.dataStart = end;
        if (words.size() >= 3 && EqualsNoCase(words[0], "ENTER") &&
            EqualsNoCase(words[1], "LANGUAGE")) {
            // The job data follows this line directly.
            block.enterLanguage = std::string(words[2]);
            std::size_t k = end;
            while (k < m_bytes.size() && (m_bytes[k] == '\r' || m_bytes[k] == '\n'))
                ++k;
            block.enterEnd = k;
            Stop(static_cast<std::int64_t>(k), k < m_bytes.size());
        } else if (words.size() >= 3 && EqualsNoCase(words[0], "SET")) {
            if (EqualsNoCase(words[1], "DUPLEX"))
                block.duplexOn = EqualsNoCase(words[2], "ON");
            else if (EqualsNoCase(words[1], "BINDING"))
                block.shortEdge = EqualsNoCase(words[2], "SHORTEDGE");
        }
        m_line.clear();
    }

    std::string_view m_bytes;
    bool m_stopped = false;
    std::string m_line;
};

} // namespace

PjlBlock ReadPjlBlock(std::string_view bytes)
{
    PjlBlockReader reader(bytes);
    Tokenize(bytes, reader);
    return reader.block;
}

JobLanguage DetectJobLanguage(std::string_view firstBytes)
{
    const std::string_view probe = firstBytes.substr(0, kLanguageProbeBytes);
    const PjlBlock block = ReadPjlBlock(probe);
    if (!block.enterLanguage.empty())
        return LanguageFromPjlName(block.enterLanguage);
    std::string_view data = probe.substr(std::min(block.dataStart, probe.size()));
    // PostScript drivers often send an end-of-transmission byte before the program.
    while (!data.empty() && data.front() == '\x04')
        data.remove_prefix(1);
    JobLanguage lang;
    for (const LanguageRow& row : kLanguages) {
        if (std::any_of(row.signatures.begin(), row.signatures.end(), [data](std::string_view sig) {
                return !sig.empty() && data.starts_with(sig);
            }))
            lang.kind = row.kind;
    }
    if (lang.kind == JobLanguageKind::Zip && XpsPart(data))
        lang.kind = JobLanguageKind::Xps;
    return lang;
}

} // namespace kuvrion
