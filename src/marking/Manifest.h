// The envelope manifest: one line per envelope of a marked job, for a spreadsheet. UTF-8 with a
// byte-order mark, CR LF, ";" between fields, a header line and a line with the totals.
#pragma once

#include "marking/EnvelopeList.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kuvrion {

struct Settings;

// The manifest of `envelopes`, the envelopes of a marked job in its order: their sheets are
// numbered as the job holds them, their envelope numbers stay (a reprint keeps the full export's).
// With `dmx` (settings with use_dmx on) a last column holds the 2D code of each envelope's first
// sheet, empty where the code cannot be written.
//
// Columns after those, in this order, where `extra` asks for them: the sequence value of each
// envelope's first and last sheet ("Folge von", "Folge bis"); for a reprint whether it kept the
// values of the full export ("Folge": "wie Erstdruck") or numbered on ("neu"); one column per
// feeder ("Zufuhr 1" ...) with 1 or 0, whose totals the "Summe" line holds and one line per
// feeder after it repeats ("Zufuhr 1;12": inserts to load).
// The words of the manifest (UTF-8), given by the message table: the header's captions, the
// reprint's two numberings and the totals line's first field.
struct ManifestWords {
    std::string header;     // the first seven columns' captions, ";" between them
    std::string dmx;        // the 2D code's column
    std::string seqFrom, seqTo, seq;
    std::string kept, renumbered; // the "Folge" column's values
    std::string feeder;     // "Zufuhr": the feeder columns and lines add " 1", " 2", ...
    std::string total;      // the totals line
};

struct ManifestColumns {
    std::int32_t seqBits = 0;       // > 0: the sequence columns, values modulo 2^seqBits
    std::optional<bool> renumbered; // a reprint: whether it renumbered
    std::int32_t feeders = 0;       // > 0: the feeder columns
};
std::string ManifestText(const std::vector<Envelope>& envelopes, const ManifestWords& words,
                         const Settings* dmx = nullptr, const ManifestColumns& extra = {});

// "4-6;9": page numbers as ranges, in the given order.
// A field of a CSV line: one with ";", a quote or a line end goes in quotes, its quotes doubled.
std::string CsvField(const std::string& text);

std::string PageRanges(const std::vector<std::int32_t>& pages);

} // namespace kuvrion
