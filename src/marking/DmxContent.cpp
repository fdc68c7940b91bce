#include "marking/DmxContent.h"

#include "base/ByteText.h"

#include <array>
#include <charconv>

namespace kuvrion {

namespace {

constexpr std::array<std::string_view, 7> kNames = {"ENV", "SHEET", "SHEETS", "CLOSE",
                                                    "SEQ", "JOB",   "ID"};

std::string Value(DmxField field, const DmxSheet& s)
{
    switch (field) {
    case DmxField::Env:
        return std::to_string(s.envelope);
    case DmxField::Sheet:
        return std::to_string(s.sheet);
    case DmxField::Sheets:
        return std::to_string(s.sheets);
    case DmxField::Close:
        return s.closes ? "1" : "0";
    case DmxField::Seq:
        return std::to_string(s.seq);
    case DmxField::Job:
        return std::to_string(s.job);
    case DmxField::Id:
        return s.id;
    }
    return {};
}

std::string Padded(const DmxPart& part, std::string value)
{
    if (static_cast<std::int32_t>(value.size()) < part.width)
        value.insert(0, static_cast<std::size_t>(part.width) - value.size(), '0');
    return value;
}

} // namespace

std::string_view DmxPart::Name() const
{
    return field ? kNames[static_cast<std::size_t>(*field)] : std::string_view{};
}

bool DmxTemplate::NamesId() const
{
    for (const DmxPart& p : parts) {
        if (p.field == DmxField::Id)
            return true;
    }
    return false;
}

Result<DmxTemplate> ParseDmxTemplate(std::string_view text)
{
    DmxTemplate out;
    const Failure bad{FailureKind::DmxTemplate, 0, 0, {}, Cp1252ToUtf8(text)};
    if (text.empty())
        return bad;
    std::size_t i = 0;
    while (i < text.size()) {
        const std::size_t open = text.find('{', i);
        if (open != i) {
            const std::size_t end = open == std::string_view::npos ? text.size() : open;
            out.parts.push_back({std::string(text.substr(i, end - i)), std::nullopt, 0});
            i = end;
            continue;
        }
        const std::size_t close = text.find('}', open);
        if (close == std::string_view::npos)
            return bad;
        std::string_view inner = text.substr(open + 1, close - open - 1);
        DmxPart part;
        if (const std::size_t colon = inner.find(':'); colon != std::string_view::npos) {
            const std::string_view digits = inner.substr(colon + 1);
            const auto res =
                std::from_chars(digits.data(), digits.data() + digits.size(), part.width);
            if (digits.empty() || res.ec != std::errc{} ||
                res.ptr != digits.data() + digits.size() || part.width < 1 ||
                part.width > kDmxMaxWidth)
                return bad;
            inner = inner.substr(0, colon);
        }
        for (std::size_t k = 0; k < kNames.size(); ++k) {
            if (kNames[k] == inner)
                part.field = static_cast<DmxField>(k);
        }
        if (!part.field)
            return bad;
        out.parts.push_back(std::move(part));
        i = close + 1;
    }
    return out;
}

Result<std::string> DmxContent(const DmxTemplate& tmpl, const DmxSheet& sheet)
{
    std::string out;
    for (const DmxPart& part : tmpl.parts) {
        if (!part.field) {
            out += part.text;
            continue;
        }
        std::string value = Value(*part.field, sheet);
        if (part.width > 0 && static_cast<std::int32_t>(value.size()) > part.width) {
            return Failure{.what = FailureKind::DmxTooWide,
                           .detail = "{" + std::string(part.Name()) + ":" +
                                     std::to_string(part.width) + "}=" + value,
                           .sheet = static_cast<std::int32_t>(sheet.seq)};
        }
        out += Padded(part, std::move(value));
    }
    if (out.size() > kDmxMaxContent) {
        return Failure{.what = FailureKind::DmxTooLong,
                       .detail = std::to_string(out.size()),
                       .sheet = static_cast<std::int32_t>(sheet.seq)};
    }
    return out;
}

std::string DmxContentUnchecked(const DmxTemplate& tmpl, const DmxSheet& sheet)
{
    std::string out;
    for (const DmxPart& part : tmpl.parts)
        out += part.field ? Padded(part, Value(*part.field, sheet)) : part.text;
    return out;
}

bool DmxMatches(const DmxTemplate& tmpl, const DmxSheet& sheet, bool idKnown,
                std::string_view found)
{
    // Without the ID the content is matched piece by piece around it: the text before the first
    // ID and after the last, and every fixed piece in order between them.
    std::vector<std::string> pieces(1);
    for (const DmxPart& part : tmpl.parts) {
        if (part.field == DmxField::Id && !idKnown)
            pieces.emplace_back();
        else
            pieces.back() += part.field ? Padded(part, Value(*part.field, sheet)) : part.text;
    }
    if (pieces.size() == 1)
        return found == pieces.front();
    if (!found.starts_with(pieces.front()) || !found.ends_with(pieces.back()) ||
        found.size() < pieces.front().size() + pieces.back().size())
        return false;
    std::size_t at = pieces.front().size();
    const std::size_t stop = found.size() - pieces.back().size();
    for (std::size_t k = 1; k + 1 < pieces.size(); ++k) {
        at = found.find(pieces[k], at);
        if (at == std::string_view::npos || at + pieces[k].size() > stop)
            return false;
        at += pieces[k].size();
    }
    return true;
}

} // namespace kuvrion
