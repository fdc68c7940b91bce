#include "pcljob/JobLanguage.h"

#include <algorithm>
#include <vector>

namespace kuvrion {

namespace {

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
    switch (kind) {
    case JobLanguageKind::Pcl5:
        return "PCL 5";
    case JobLanguageKind::PclXl:
        return "PCL XL";
    case JobLanguageKind::PostScript:
        return "PostScript";
    case JobLanguageKind::Pdf:
        return "PDF";
    case JobLanguageKind::Other:
        break;
    }
    return pjlName;
}

JobLanguage LanguageFromPjlName(std::string_view name)
{
    JobLanguage lang;
    lang.pjlName = Printable(name);
    // Some printers take the PCL 5 variants by their own names.
    if (EqualsNoCase(name, "PCL") || EqualsNoCase(name, "PCL5") || EqualsNoCase(name, "PCL5E") ||
        EqualsNoCase(name, "PCL5C")) {
        lang.kind = JobLanguageKind::Pcl5;
    } else if (EqualsNoCase(name, "PCLXL")) {
        lang.kind = JobLanguageKind::PclXl;
    } else if (EqualsNoCase(name, "POSTSCRIPT")) {
        lang.kind = JobLanguageKind::PostScript;
    } else if (EqualsNoCase(name, "PDF")) {
        lang.kind = JobLanguageKind::Pdf;
    } else {
        lang.kind = JobLanguageKind::Other;
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
    if (data.starts_with("%PDF-"))
        lang.kind = JobLanguageKind::Pdf;
    else if (data.starts_with("%!"))
        lang.kind = JobLanguageKind::PostScript;
    else if (data.starts_with(") HP-PCL XL") || data.starts_with("( HP-PCL XL"))
        lang.kind = JobLanguageKind::PclXl;
    return lang;
}

} // namespace kuvrion
