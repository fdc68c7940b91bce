#include "marking/Manifest.h"

#include "base/ByteText.h"
#include "marking/DmxContent.h"
#include "settings/Settings.h"

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

std::string ManifestText(const std::vector<Envelope>& envelopes, const Settings* dmx)
{
    DmxTemplate tmpl;
    const bool withDmx = dmx && dmx->use_dmx;
    const bool dmxOk = withDmx && !ParseDmxTemplate(dmx->dmx_template, tmpl);
    std::string out = "\xEF\xBB\xBF"
                      "Kuvert;Adressat;Blätter;Seiten;Quellseiten;Erstes Blatt;Letztes Blatt";
    out += withDmx ? ";2D-Code\r\n" : "\r\n";
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
            std::string content;
            DmxSheet v;
            v.envelope = e.number;
            v.sheets = e.sheets;
            v.closes = e.sheets == 1;
            v.seq = first;
            v.job = dmx->dmx_job;
            v.id = e.id;
            if (!dmxOk || DmxContent(tmpl, v, content))
                content.clear();
            out += ";" + CsvField(Cp1252ToUtf8(content));
        }
        out += "\r\n";
    }
    out += "Summe;;" + std::to_string(sheets) + ";" + std::to_string(pages) + ";;" +
           (sheets > 0 ? "1;" + std::to_string(sheet) : std::string(";")) +
           (withDmx ? ";\r\n" : "\r\n");
    return out;
}

} // namespace kuvrion
