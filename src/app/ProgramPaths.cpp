#include "app/ProgramPaths.h"

#include <cstdlib>
#include <string_view>
#include <system_error>
#include <unistd.h>

namespace fs = std::filesystem;

namespace kuvrion {

namespace {

constexpr std::string_view kSettingsName = "kuvrion.ini";

// A program installed system-wide cannot keep its settings beside itself: neither when the folder
// is not writable for the user nor (for root, who may write anywhere) under /usr.
bool CanKeepSettingsIn(const fs::path& dir)
{
    const std::string text = dir.string();
    if (text.rfind("/usr/", 0) == 0 || text == "/usr" || text == "/bin" || text == "/sbin") {
        return false;
    }
    return ::access(text.c_str(), W_OK) == 0;
}

fs::path UserConfigDir()
{
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME");
        xdg && *xdg && fs::path(xdg).is_absolute()) {
        return fs::path(xdg) / "Kuvrion";
    }
    if (const char* home = std::getenv("HOME"); home && *home) {
        return fs::path(home) / ".config" / "Kuvrion";
    }
    return fs::temp_directory_path() / "Kuvrion";
}

} // namespace

fs::path RunningProgramFile(const char* argv0)
{
    std::error_code ec;
    fs::path self = fs::read_symlink("/proc/self/exe", ec);
    if (!ec && !self.empty()) {
        return self;
    }
    if (argv0 && *argv0) {
        fs::path p = fs::absolute(fs::path(argv0), ec);
        if (!ec) {
            return p;
        }
    }
    return fs::current_path(ec) / "kuvrion";
}

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
        const fs::path dir = UserConfigDir();
        fs::create_directories(dir, ec);
        paths.settingsFile = dir / kSettingsName;
    }
    paths.dataDir = paths.settingsFile.parent_path();
    return paths;
}

} // namespace kuvrion
