// kuvrion-cli: the command-line front end. Parses the arguments, drives the command layer and
// turns its results into output and exit codes. Runs in-process for tests with injected streams.
#pragma once

#include <filesystem>
#include <iosfwd>
#include <string>
#include <vector>

namespace kuvrion::cli {

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;   // the command ran and failed (write error, refusal)
inline constexpr int kExitBadInput = 2; // bad arguments, missing or unreadable job or settings

struct CliIo {
    std::ostream& out;
    std::ostream& err;
    bool progress = false;      // draw a progress bar on `err` (only when it is a terminal)
    bool escapes = true;        // `err` understands escape sequences (else the bar is plain text)
    std::istream* in = nullptr; // standard input, for "-" as JOB (none: "-" reads nothing)
};

// `args` without the program name. `programDir` is where the program's own settings file lies.
int RunCli(const std::vector<std::string>& args, CliIo io, const std::filesystem::path& programDir);

} // namespace kuvrion::cli
