#include "marking/EnvelopeList.h"

#include "addressees/AddresseeList.h"
#include "settings/Settings.h"

#include <algorithm>
#include <charconv>

namespace kuvrion {

std::vector<Envelope> ListEnvelopes(const AddresseeList& persons, std::int32_t count,
                                    const Settings& s, bool duplex)
{
    std::vector<Envelope> out;
    const std::int32_t n = std::clamp(count, 0, persons.Count());
    const std::int32_t pagesPerSheet = duplex ? 2 : 1;
    for (std::int32_t i = 0; i < n; ++i) {
        const Addressee& person = persons.At(i);
        const std::int32_t pages = person.Pages();
        const std::int32_t perEnvelope = s.limitEnvelopes ? s.envelopeLimit * pagesPerSheet : pages;
        for (std::int32_t j = 1; j <= pages;) {
            Envelope e;
            e.number = static_cast<std::int32_t>(out.size()) + 1;
            e.id = person.Id();
            for (std::int32_t k = 0; k < perEnvelope && j <= pages; ++k, ++j)
                e.pages.push_back(person.PagePos(j));
            e.sheets =
                (static_cast<std::int32_t>(e.pages.size()) + pagesPerSheet - 1) / pagesPerSheet;
            out.push_back(std::move(e));
        }
    }
    return out;
}

void NumberSequence(std::vector<Envelope>& envelopes, std::uint32_t start, std::int32_t bits)
{
    const std::uint32_t mask = (std::uint32_t{1} << std::clamp(bits, 0, 30)) - 1;
    std::uint32_t value = start & mask;
    for (Envelope& e : envelopes) {
        e.seqFirst = value;
        value = (value + static_cast<std::uint32_t>(e.sheets)) & mask;
    }
}

namespace {

std::string_view Trim(std::string_view t)
{
    while (!t.empty() && t.front() == ' ')
        t.remove_prefix(1);
    while (!t.empty() && t.back() == ' ')
        t.remove_suffix(1);
    return t;
}

bool Number(std::string_view t, std::int64_t& n)
{
    t = Trim(t);
    if (t.empty() || t.size() > 12)
        return false;
    const auto res = std::from_chars(t.data(), t.data() + t.size(), n);
    return res.ec == std::errc() && res.ptr == t.data() + t.size();
}

} // namespace

Result<std::vector<bool>> ParseEnvelopeList(std::string_view text, std::int32_t total)
{
    const Failure malformed{.what = FailureKind::EnvelopeList, .detail = std::string(text)};
    std::vector<bool> keep(static_cast<std::size_t>(std::max(total, 0)), false);
    if (Trim(text).empty()) {
        return malformed;
    }
    while (true) {
        const std::size_t comma = text.find(',');
        const std::string_view item = text.substr(0, comma);
        const std::size_t dash = item.find('-');
        std::int64_t from = 0, to = 0;
        if (!Number(item.substr(0, dash), from) ||
            !Number(dash == std::string_view::npos ? item : item.substr(dash + 1), to) ||
            to < from) {
            return malformed;
        }
        if (from < 1 || to > total) {
            return Failure{.what = FailureKind::EnvelopeOutOfRange,
                           .detail = malformed.detail,
                           .count = total};
        }
        for (std::int64_t e = from; e <= to; ++e)
            keep[static_cast<std::size_t>(e - 1)] = true;
        if (comma == std::string_view::npos)
            break;
        text.remove_prefix(comma + 1);
    }
    return keep;
}

} // namespace kuvrion
