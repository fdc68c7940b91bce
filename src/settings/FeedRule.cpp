#include "settings/FeedRule.h"

#include "base/ByteText.h"
#include "settings/Settings.h"

#include <algorithm>
#include <charconv>

namespace kuvrion {

namespace {

constexpr std::string_view kText = "text:";
constexpr std::string_view kIds = "ids:";
constexpr std::string_view kSheets = "sheets:";
constexpr std::int32_t kMostSheets = 32767;

} // namespace

std::optional<FeedRule> ParseFeedRule(std::string_view stored)
{
    FeedRule rule;
    if (stored.starts_with(kText)) {
        rule.kind = FeedRule::Kind::Text;
        rule.value = std::string(stored.substr(kText.size()));
    } else if (stored.starts_with(kIds)) {
        rule.kind = FeedRule::Kind::Ids;
        rule.value = Cp1252ToUtf8(stored.substr(kIds.size()));
    } else if (stored.starts_with(kSheets)) {
        rule.kind = FeedRule::Kind::Sheets;
        std::string_view n = stored.substr(kSheets.size());
        if (n.starts_with(">=")) {
            rule.compare = FeedRule::Compare::AtLeast;
            n.remove_prefix(2);
        } else if (n.starts_with("<=")) {
            rule.compare = FeedRule::Compare::AtMost;
            n.remove_prefix(2);
        } else if (n.starts_with("=")) {
            rule.compare = FeedRule::Compare::Exactly;
            n.remove_prefix(1);
        } else {
            return std::nullopt;
        }
        const auto res = std::from_chars(n.data(), n.data() + n.size(), rule.sheets);
        if (n.empty() || res.ec != std::errc() || res.ptr != n.data() + n.size() ||
            rule.sheets < 1 || rule.sheets > kMostSheets)
            return std::nullopt;
        return rule;
    } else {
        return std::nullopt;
    }
    if (rule.value.empty())
        return std::nullopt;
    return rule;
}

namespace {

std::string Settings::*FeedMember(std::int32_t feeder)
{
    switch (feeder) {
    case 1:
        return &Settings::feed1;
    case 2:
        return &Settings::feed2;
    case 3:
        return &Settings::feed3;
    default:
        return &Settings::feed4;
    }
}

} // namespace

const std::string& FeedRuleSetting(const Settings& s, std::int32_t feeder)
{
    return s.*FeedMember(feeder);
}

std::string& FeedRuleSetting(Settings& s, std::int32_t feeder)
{
    return s.*FeedMember(feeder);
}

bool FeedRulesInForce(const Settings& s)
{
    if (!s.useSupply)
        return false;
    for (std::int32_t k = 1; k <= std::min(s.supplyCount, kFeeders); ++k) {
        if (ParseFeedRule(FeedRuleSetting(s, k)))
            return true;
    }
    return false;
}

} // namespace kuvrion
