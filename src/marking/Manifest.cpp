#include "marking/Manifest.h"

#include "base/ByteText.h"
#include "marking/DmxContent.h"
#include "settings/Settings.h"

#include <algorithm>

namespace kuvrion {

std::string CsvField(const std::string& text)
{
    if (text.find_first_of(";\"\r\n") == std::string::npos)
        return text;
    std::string out = "\"";
    for (const char c : text) {
        out += c;
        if (c == '"')
            out += '"';
    }
    return out + "\"";
}

std::string PageRanges(const std::vector<std::int32_t>& pages)
{
    std::string out;
    for (std::size_t i = 0; i < pages.size();) {
        std::size_t j = i;
        while (j + 1 < pages.size() && pages[j + 1] == pages[j] + 1)
            ++j;
        if (!out.empty())
            out += ';';
        out += std::to_string(pages[i]);
        if (j > i)
            out += "-" + std::to_string(pages[j]);
        i = j + 1;
    }
    return out;
}

std::string ManifestText(const std::vector<Envelope>& envelopes, const ManifestWords& words,
                         const Settings* dmx, const ManifestColumns& extra)
{
    const std::uint32_t seqMask = (std::uint32_t{1} << std::clamp(extra.seqBits, 0, 30)) - 1;
    std::vector<std::int64_t> inserts(static_cast<std::size_t>(std::max(extra.feeders, 0)), 0);
    // The new columns of a line: its sequence values, the reprint's numbering, its feeders.
    const auto extraFields = [&](const Envelope* e) {
        std::string out;
        if (extra.seqBits > 0) {
            out += ";";
            if (e && e->seqFirst)
                out += std::to_string(*e->seqFirst) + ";" +
                       std::to_string((*e->seqFirst + static_cast<std::uint32_t>(e->sheets) - 1) &
                                      seqMask);
            else
                out += ";";
        }
        if (extra.renumbered)
            out += e ? ";" + (*extra.renumbered ? words.renumbered : words.kept) : ";";
        for (std::size_t k = 0; k < inserts.size(); ++k) {
            if (!e) {
                out += ";" + std::to_string(inserts[k]);
                continue;
            }
            const bool feeds = k < e->feed.size() && e->feed[k] == '1';
            inserts[k] += feeds ? 1 : 0;
            out += feeds ? ";1" : ";0";
        }
        return out;
    };
    const bool withDmx = dmx && dmx->useDmx;
    const Result<DmxTemplate> tmpl = withDmx ? ParseDmxTemplate(dmx->dmxTemplate) : DmxTemplate{};
    const bool dmxOk = withDmx && tmpl;
    std::string out = "\xEF\xBB\xBF" + words.header;
    out += withDmx ? ";" + words.dmx : "";
    if (extra.seqBits > 0)
        out += ";" + words.seqFrom + ";" + words.seqTo;
    if (extra.renumbered)
        out += ";" + words.seq;
    for (std::size_t k = 1; k <= inserts.size(); ++k)
        out += ";" + words.feeder + " " + std::to_string(k);
    out += "\r\n";
    std::int64_t sheet = 0, sheets = 0, pages = 0;
    for (const Envelope& e : envelopes) {
        const std::int64_t first = sheet + 1;
        sheet += e.sheets;
        sheets += e.sheets;
        pages += static_cast<std::int64_t>(e.pages.size());
        out += std::to_string(e.number) + ";" + CsvField(Cp1252ToUtf8(e.id)) + ";" +
               std::to_string(e.sheets) + ";" + std::to_string(e.pages.size()) + ";" +
               CsvField(PageRanges(e.pages)) + ";" + std::to_string(first) + ";" +
               std::to_string(sheet);
        if (withDmx) {
            DmxSheet v;
            v.envelope = e.number;
            v.sheets = e.sheets;
            v.closes = e.sheets == 1;
            v.seq = first;
            v.job = dmx->dmxJob;
            v.id = e.id;
            const Result<std::string> content = dmxOk ? DmxContent(*tmpl, v) : std::string();
            out += ";" + CsvField(content ? Cp1252ToUtf8(*content) : std::string());
        }
        out += extraFields(&e) + "\r\n";
    }
    out += words.total + ";;" + std::to_string(sheets) + ";" + std::to_string(pages) + ";;" +
           (sheets > 0 ? "1;" + std::to_string(sheet) : std::string(";")) + (withDmx ? ";" : "") +
           extraFields(nullptr) + "\r\n";
    for (std::size_t k = 0; k < inserts.size(); ++k)
        out += words.feeder + " " + std::to_string(k + 1) + ";" + std::to_string(inserts[k]) +
               "\r\n";
    return out;
}

} // namespace kuvrion
