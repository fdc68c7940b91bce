// The rule of one selective feeder, section [feed] (feed1 .. feed4): which envelopes get the insert
// of that feeder. "text:Rücksendeumschlag" (a page of the envelope contains the text, as the key
// search reads it), "ids:beilage.txt" (the addressee's ID is listed in that UTF-8 file, one a
// line; a relative name lies beside the settings file), "sheets:>=3" (the envelope has at least,
// "<=" at most, "=" exactly that many sheets).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kuvrion {

struct Settings;

struct FeedRule {
    enum class Kind : std::uint8_t { Text, Ids, Sheets };
    enum class Compare : std::uint8_t { AtLeast, AtMost, Exactly };
    Kind kind = Kind::Text;
    std::string value; // Text: Windows-1252 bytes searched for; Ids: the file name as UTF-8
    Compare compare = Compare::AtLeast;
    std::int32_t sheets = 0; // Sheets: 1..32767
};

// The rule a stored text gives (Windows-1252, as the settings file holds it); nullopt for a text
// that is no rule (empty value, unknown kind, a sheet count that is no whole number in 1..32767).
std::optional<FeedRule> ParseFeedRule(std::string_view stored);

inline constexpr std::int32_t kFeeders = 4;

// The stored rule text of feeder `feeder` (1..kFeeders).
const std::string& FeedRuleSetting(const Settings& s, std::int32_t feeder);
std::string& FeedRuleSetting(Settings& s, std::int32_t feeder);

// Whether the export sets feed bars: the selective-feed bars are on and some feeder up to
// supply_count has a rule.
bool FeedRulesInForce(const Settings& s);

} // namespace kuvrion
