#include "base/Version.h"

namespace kuvrion {

std::string VersionText(const Version& v)
{
    // Minor as its last two digits, as the about box shows it ("1.05").
    const std::string minor = "0" + std::to_string(v.minor);
    return "Version " + std::to_string(v.major) + "." + minor.substr(minor.size() - 2);
}

std::string RevisionText(const Version& v)
{
    const std::string revision = "000" + std::to_string(v.revision);
    return "Rev. " + revision.substr(revision.size() - 4) + " (" + kReleaseDate + ")";
}

} // namespace kuvrion
