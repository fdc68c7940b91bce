// Where the program keeps its files. The settings file is named after the desktop program
// ("kuvrion.ini") and lies in the program's folder; when that folder is not writable (a system-wide
// installation) it moves to $XDG_CONFIG_HOME/Kuvrion (else ~/.config/Kuvrion). "log.txt",
// "skel.txt" and "RefPage.pcl" default to the folder of the settings file in use.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace kuvrion {

struct ProgramPaths {
    std::filesystem::path programDir;   // folder of the running program
    std::filesystem::path settingsFile; // the settings file in use
    std::filesystem::path dataDir;      // folder of the settings file

    std::filesystem::path LogFile() const { return dataDir / "log.txt"; }
    std::filesystem::path SkeletonFile() const { return dataDir / "skel.txt"; }
    std::filesystem::path RefPageFile() const { return dataDir / "RefPage.pcl"; }
    // What the program keeps between runs besides the settings (the sequence counter).
    std::filesystem::path StateFile() const { return dataDir / "kuvrion-state.ini"; }
    // The manual "Kuvrion.pdf": in the program's "doc" folder, beside the program (a build folder,
    // the Windows package), or where an installation under a prefix puts it
    // (<prefix>/bin/kuvrion, <prefix>/share/doc/kuvrion/Kuvrion.pdf); nullopt when none is there.
    std::optional<std::filesystem::path> Manual() const;
};

// The manual's file name.
std::string ManualName();

// Paths for a program in `programDir`. With `iniOverride` not empty that file is the settings file.
ProgramPaths LocateProgramPaths(const std::filesystem::path& programDir,
                                const std::filesystem::path& iniOverride = {});

} // namespace kuvrion
