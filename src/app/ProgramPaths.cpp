#include "app/ProgramPaths.h"

#include "base/FileChecks.h"
#include "base/Platform.h"
#include "base/Version.h"

#include <string_view>
#include <system_error>

namespace fs = std::filesystem;

namespace kuvrion {

namespace {

constexpr std::string_view kSettingsName = "kuvrion.ini";

// A program installed system-wide cannot keep its settings beside itself: neither when the folder
// is not writable for the user nor (for root, who may write anywhere) in a system folder.
bool CanKeepSettingsIn(const fs::path& dir)
{
    return !IsSystemInstallFolder(dir) && IsWritableFolder(dir);
}

} // namespace

ProgramPaths LocateProgramPaths(const fs::path& programDir, const fs::path& iniOverride)
{
    ProgramPaths paths;
    paths.programDir = programDir;
    std::error_code ec;
    if (!iniOverride.empty()) {
        paths.settingsFile = fs::absolute(iniOverride, ec);
        if (ec) {
            paths.settingsFile = iniOverride;
        }
    } else if (CanKeepSettingsIn(programDir)) {
        paths.settingsFile = programDir / kSettingsName;
    } else {
        const fs::path dir = UserSettingsFolder();
        fs::create_directories(dir, ec);
        paths.settingsFile = dir / kSettingsName;
    }
    paths.dataDir = paths.settingsFile.parent_path();
    return paths;
}

std::string ManualName()
{
    return std::string(kProductName) + ".pdf";
}

std::optional<fs::path> ProgramPaths::Manual() const
{
    const std::string name = ManualName();
    for (const fs::path& candidate :
         {programDir / "doc" / name, programDir / name,
          (programDir / ".." / "share" / "doc" / "kuvrion" / name).lexically_normal()}) {
        if (FileExists(PathToUtf8(candidate))) {
            return candidate;
        }
    }
    return std::nullopt;
}

} // namespace kuvrion
