// The print-queue backend "kuvrion": CUPS starts it for every job of a queue whose device URI is
// "kuvrion:" followed by the settings file of a line of work (kuvrion:/etc/kuvrion/rechnungen.ini).
// It marks the job with those settings and delivers it as their [deliver] section says.
//
// The contract with the print system: arguments `job user title copies options [file]` (the job
// on standard input without a file), the URI in DEVICE_URI, messages on standard error as "INFO:"
// and "ERROR:" lines (the last one is the queue's and the job's state message), and the exit code
// says what to do with the job and the queue. Without arguments it names its device for discovery.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace kuvrion {

// The exit codes the print system knows.
enum class BackendExit : int {
    Ok = 0,
    Failed = 1, // the job failed; the queue's error policy decides
    Stop = 4,   // the queue is stopped: its set-up is wrong and every job would fail
    Cancel = 5, // the job is cancelled and never printed: Kuvrion refused it
    Retry = 6,  // the job is tried again later: the printer is not reachable now
};

struct BackendCall {
    std::vector<std::string> args; // without the program's name
    std::string deviceUri;         // DEVICE_URI
    std::istream* in = nullptr;    // the job when no file is named
    std::ostream* err = nullptr;   // "INFO:" and "ERROR:" lines
    std::ostream* out = nullptr;   // the device line of discovery
};

BackendExit RunCupsBackend(const BackendCall& call);

} // namespace kuvrion
