// The content of the 2D code: a template of plain text and fields, "{JOB:4}{ENV:6}", each field
// with an optional width to which its value is padded with zeros. Works on Windows-1252 byte text;
// the symbol carries the bytes as they are.
#pragma once

#include "base/Result.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kuvrion {

enum class DmxField : std::uint8_t { Env, Sheet, Sheets, Close, Seq, Job, Id };

struct DmxPart {
    std::string text;              // plain text, copied as it is
    std::optional<DmxField> field; // or a field
    std::int32_t width = 0;        // 0: as wide as its value
    std::string_view Name() const; // "ENV", ... of a field
};

struct DmxTemplate {
    std::vector<DmxPart> parts;
    bool NamesId() const;
};

// The values of one sheet.
struct DmxSheet {
    std::int64_t envelope = 1; // in the export, 1-based
    std::int32_t sheet = 1;    // in its envelope, 1-based
    std::int32_t sheets = 1;   // in its envelope
    bool closes = true;
    std::int64_t seq = 1; // in the job, 1-based
    std::int32_t job = 0;
    std::string id; // the addressee ID, Windows-1252 bytes
};

constexpr std::int32_t kDmxMaxWidth = 20;
// The most bytes the largest square symbol holds (digits, two to a code word); letters fit about
// half as many, which only the encoding tells.
constexpr std::size_t kDmxMaxContent = 3116;

// Parses a template. A "{" that does not open a known field with a width of 1..20 ("{ENV}",
// "{ENV:6}") fails with DmxTemplate, whose detail is the template (UTF-8); so does an empty one.
Result<DmxTemplate> ParseDmxTemplate(std::string_view text);

// The content of one sheet. Fails with DmxTooWide (detail "{ENV:2}=123", sheet: sheet.seq) when a
// value is wider than its field, with DmxTooLong (detail: the length) when the content exceeds
// kDmxMaxContent.
Result<std::string> DmxContent(const DmxTemplate& tmpl, const DmxSheet& sheet);

// The content of one sheet with nothing refused: a value wider than its field stays whole, as
// DmxMatches compares it.
std::string DmxContentUnchecked(const DmxTemplate& tmpl, const DmxSheet& sheet);

// Whether `found` is the content of `sheet`, with the ID taken as unknown (any text) when
// `idKnown` is false.
bool DmxMatches(const DmxTemplate& tmpl, const DmxSheet& sheet, bool idKnown,
                std::string_view found);

} // namespace kuvrion
