#include "pcljob/JobLanguage.h"

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

// True when `rest` could still grow into `word` with more bytes.
bool CutPrefixOf(std::string_view rest, std::string_view word)
{
    return rest.size() < word.size() && word.starts_with(rest);
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

PjlBlock ReadPjlBlock(std::string_view bytes)
{
    PjlBlock block;
    bool afterUel = false;
    std::size_t i = 0;
    for (;;) {
        std::size_t j = i;
        while (j < bytes.size() && IsPjlBlank(bytes[j]))
            ++j;
        block.dataStart = j;
        const std::string_view rest = bytes.substr(j);
        if (rest.empty() || CutPrefixOf(rest, kUel) || (afterUel && CutPrefixOf(rest, kPjl)))
            return block; // more bytes could still continue the block
        if (rest.starts_with(kUel)) {
            afterUel = true;
            i = j + kUel.size();
            continue;
        }
        if (!afterUel || !rest.starts_with(kPjl)) {
            block.complete = true;
            return block;
        }
        const std::size_t lf = bytes.find('\n', j);
        if (lf == std::string_view::npos)
            return block; // the line is cut
        const std::vector<std::string_view> words = Words(bytes.substr(j + 4, lf - j - 4));
        i = lf + 1;
        block.present = true;
        block.end = i;
        block.dataStart = i;
        if (words.size() >= 3 && EqualsNoCase(words[0], "ENTER") &&
            EqualsNoCase(words[1], "LANGUAGE")) {
            // The job data follows this line directly.
            block.enterLanguage = std::string(words[2]);
            std::size_t k = i;
            while (k < bytes.size() && (bytes[k] == '\r' || bytes[k] == '\n'))
                ++k;
            block.enterEnd = k;
            block.dataStart = k;
            block.complete = k < bytes.size();
            return block;
        }
        if (words.size() >= 3 && EqualsNoCase(words[0], "SET")) {
            if (EqualsNoCase(words[1], "DUPLEX"))
                block.duplexOn = EqualsNoCase(words[2], "ON");
            else if (EqualsNoCase(words[1], "BINDING"))
                block.shortEdge = EqualsNoCase(words[2], "SHORTEDGE");
        }
    }
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
