// Which feeders each envelope of an export gets: the feeder rules of the settings (FeedRule.h)
// with the ID lists they name read in, applied to the envelopes.
#pragma once

#include "base/Result.h"
#include "settings/FeedRule.h"

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

namespace kuvrion {

class PclJob;
struct Envelope;
struct Settings;

struct FeedRules {
    struct Feeder {
        FeedRule rule;
        std::unordered_set<std::string> ids; // Ids: the IDs listed, Windows-1252
    };
    // One per feed bar (supply_count of them); nullopt where the feeder has no rule.
    std::vector<std::optional<Feeder>> feeders;

    bool Empty() const;
};

// The rules of `s` for the feed bars it has (none while use_supply is off), with the ID files
// read; a relative file name lies in `baseDir`. A rule that is no rule counts as none (the load
// step refuses it). Fails with FeedIdsUnreadable (path, err; page: the feeder) when an ID file
// cannot be read.
Result<FeedRules> LoadFeedRules(const Settings& s, const std::filesystem::path& baseDir);

// The IDs of an ID list: UTF-8 text, one ID a line, blanks around it and empty lines ignored, as
// Windows-1252 (an ID with a character Windows-1252 lacks matches no addressee).
std::unordered_set<std::string> ParseIdList(std::string_view utf8);

// The feed pattern of each of `envelopes` (one character per feeder, "1" where its rule matches),
// all empty without rules. A text rule reads the pages of the envelope from `pcl`: fails with
// PageRead (err, page) or PageMissing when one cannot be read.
Result<std::vector<std::string>>
FeedPatterns(const PclJob& pcl, const std::vector<Envelope>& envelopes, const FeedRules& rules);

} // namespace kuvrion
