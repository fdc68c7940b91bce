#include "marking/FeedPlan.h"

#include "addressees/AdrKey.h"
#include "base/ByteText.h"
#include "base/Platform.h"
#include "marking/EnvelopeList.h"
#include "pcljob/PclJob.h"
#include "settings/Settings.h"

#include <algorithm>
#include <cerrno>
#include <fstream>
#include <iterator>

namespace kuvrion {

bool FeedRules::Empty() const
{
    return std::none_of(feeders.begin(), feeders.end(),
                        [](const std::optional<Feeder>& f) { return f.has_value(); });
}

std::unordered_set<std::string> ParseIdList(std::string_view utf8)
{
    if (utf8.starts_with("\xEF\xBB\xBF"))
        utf8.remove_prefix(3);
    std::unordered_set<std::string> ids;
    while (!utf8.empty()) {
        const std::size_t end = utf8.find('\n');
        std::string_view line = utf8.substr(0, end);
        utf8.remove_prefix(end == std::string_view::npos ? utf8.size() : end + 1);
        while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t'))
            line.remove_suffix(1);
        while (!line.empty() && (line.front() == ' ' || line.front() == '\t'))
            line.remove_prefix(1);
        if (!line.empty())
            ids.insert(Utf8ToCp1252(line));
    }
    return ids;
}

Result<FeedRules> LoadFeedRules(const Settings& s, const std::filesystem::path& baseDir)
{
    FeedRules rules;
    if (!s.useSupply)
        return rules;
    for (std::int32_t k = 1; k <= std::clamp(s.supplyCount, 0, kFeeders); ++k) {
        std::optional<FeedRule> rule = ParseFeedRule(FeedRuleSetting(s, k));
        if (!rule) {
            rules.feeders.emplace_back();
            continue;
        }
        FeedRules::Feeder feeder{std::move(*rule), {}};
        if (feeder.rule.kind == FeedRule::Kind::Ids) {
            const std::filesystem::path file = baseDir / PathFromUtf8(feeder.rule.value);
            errno = 0;
            std::ifstream in(file, std::ios::binary);
            std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
            if (!in.is_open() || in.bad()) {
                const int err = errno != 0 ? errno : EIO;
                std::error_code ec;
                return Failure{FailureKind::FeedIdsUnreadable,
                               std::filesystem::exists(file, ec) ? err : ENOENT, k,
                               PathToUtf8(file)};
            }
            feeder.ids = ParseIdList(text);
        }
        rules.feeders.emplace_back(std::move(feeder));
    }
    return rules;
}

Result<std::vector<std::string>>
FeedPatterns(const PclJob& pcl, const std::vector<Envelope>& envelopes, const FeedRules& rules)
{
    std::vector<std::string> patterns(envelopes.size());
    if (rules.Empty())
        return patterns;
    const bool readsText = std::any_of(rules.feeders.begin(), rules.feeders.end(),
                                       [](const std::optional<FeedRules::Feeder>& f) {
                                           return f && f->rule.kind == FeedRule::Kind::Text;
                                       });
    std::string page;
    std::vector<std::string> texts;
    for (std::size_t e = 0; e < envelopes.size(); ++e) {
        const Envelope& envelope = envelopes[e];
        texts.clear();
        for (const std::int32_t nr : envelope.pages) {
            if (!readsText)
                break;
            if (!pcl.ValidPageNr(nr))
                return Failure{FailureKind::PageMissing, 0, nr};
            if (auto read = pcl.ReadPage(nr, page); !read)
                return read.error();
            texts.push_back(GetPageText(page));
        }
        std::string& pattern = patterns[e];
        for (const std::optional<FeedRules::Feeder>& feeder : rules.feeders) {
            bool match = false;
            if (feeder) {
                const FeedRule& rule = feeder->rule;
                switch (rule.kind) {
                case FeedRule::Kind::Text:
                    match = std::any_of(texts.begin(), texts.end(), [&rule](const std::string& t) {
                        return t.find(rule.value) != std::string::npos;
                    });
                    break;
                case FeedRule::Kind::Ids:
                    match = feeder->ids.contains(envelope.id);
                    break;
                case FeedRule::Kind::Sheets:
                    match = rule.compare == FeedRule::Compare::AtLeast
                                ? envelope.sheets >= rule.sheets
                            : rule.compare == FeedRule::Compare::AtMost
                                ? envelope.sheets <= rule.sheets
                                : envelope.sheets == rule.sheets;
                    break;
                }
            }
            pattern += match ? '1' : '0';
        }
    }
    return patterns;
}

} // namespace kuvrion
