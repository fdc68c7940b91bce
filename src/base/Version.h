// The program's version and the texts built from it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace kuvrion {

inline constexpr std::string_view kProductName = "Kuvrion";

struct Version {
    std::int32_t major = KUVRION_VERSION_MAJOR;
    std::int32_t minor = KUVRION_VERSION_MINOR;
    std::int32_t revision = KUVRION_VERSION_REVISION;
};

inline constexpr const char* kReleaseDate = "Jan 2005";
inline constexpr const char* kSupportAddress = "support@kuvrion.example";
inline constexpr const char* kComments =
    "Sortiert PCL-Druckjobs nach Adressaten und versieht jedes "
    "Blatt mit einem OME-Code für die Kuvertiermaschine.";
inline constexpr const char* kLegalNotice = "© 2005–2026 Kuvrion-Entwickler";

// "Version 1.05": major plain, minor as two digits.
std::string VersionText(const Version& v = {});
// "Rev. 0004 (Jan 2005)": revision as four digits.
std::string RevisionText(const Version& v = {});

} // namespace kuvrion
