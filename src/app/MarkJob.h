// One job through the whole pipeline without a person: read it, refuse what cannot be marked
// (language, settings, no key), group, export, check. The marked job appears under its name only
// after its check passed; until then it is written under a hidden name beside it, so that nothing
// that watches the output folder (or prints from it) ever sees a job that failed its check.
#pragma once

#include "app/Messages.h"
#include "base/Failure.h"
#include "marking/ExportWriter.h"

#include <filesystem>
#include <optional>
#include <string>

namespace kuvrion {

// What the hidden name of a marked job before its check ends in.
inline constexpr const char* kStagedMark = ".kuvrion.tmp";

struct MarkRequest {
    std::filesystem::path programDir; // where the program's own settings file lies
    std::string settingsFile;         // UTF-8; empty: the program's own
    std::string job;                  // UTF-8 path of the source job
    std::string marked;               // UTF-8 path of the marked job to write
};

struct MarkResult {
    std::optional<Failure> failure; // nullopt: the marked job is written and checked
    Action action = Action::Export; // the step the failure belongs to, for its message
    std::int32_t pages = 0;         // pages of the source job
    ExportStats stats;              // figures of the export (zero when it did not run)
    std::string manifest;           // UTF-8 path of the envelope list written beside, or empty

    bool Ok() const { return !failure; }
    // The failure in words, on one line, naming the job's file; empty when it succeeded.
    std::string Text() const;
};

// Marks `request.job` into `request.marked` (replaced atomically; untouched on any failure). The
// settings file and the source job are never written. The envelope list is written beside the
// marked job (".csv") when the settings switch it on.
MarkResult MarkJob(const MarkRequest& request);

// A text of the message table on one line: its line breaks become " - " (or a blank after ":").
std::string OneLine(const std::string& text);

} // namespace kuvrion
