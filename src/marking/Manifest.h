// The envelope manifest: one line per envelope of a marked job, for a spreadsheet. UTF-8 with a
// byte-order mark, CR LF, ";" between fields, a header line and a line with the totals.
#pragma once

#include "marking/EnvelopeList.h"

#include <string>
#include <vector>

namespace kuvrion {

struct Settings;

// The manifest of `envelopes`, the envelopes of a marked job in its order: their sheets are
// numbered as the job holds them, their envelope numbers stay (a reprint keeps the full export's).
// With `dmx` (settings with use_dmx on) a last column holds the 2D code of each envelope's first
// sheet, empty where the code cannot be written.
std::string ManifestText(const std::vector<Envelope>& envelopes, const Settings* dmx = nullptr);

// "4-6;9": page numbers as ranges, in the given order.
// A field of a CSV line: one with ";", a quote or a line end goes in quotes, its quotes doubled.
std::string CsvField(const std::string& text);

std::string PageRanges(const std::vector<std::int32_t>& pages);

} // namespace kuvrion
