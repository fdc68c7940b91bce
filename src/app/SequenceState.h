// The sequence counter that runs on from one export to the next (setting seq_continue), kept in
// the state file beside the settings file ("kuvrion-state.ini", section [sequence]), one counter
// per width of the sequence field: values of another width are not comparable.
//
// An export stores its range in two steps around the rename of its file: "begun<w>" (its start,
// its sheets and its temporary file) before, "next<w>" after. A run that stopped between the two
// left the marker: when its temporary file is gone the job may have been printed, so the counter
// goes on after its planned end; when it is still there the rename never happened and the range
// stays free. Either way no value is given twice and none is skipped.
#pragma once

#include "base/Result.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

namespace kuvrion {

class SequenceState {
public:
    explicit SequenceState(std::filesystem::path file);

    // The value the next export starts with, for a field of `bits` bits (0 when none is stored).
    std::uint32_t Next(std::int32_t bits) const;
    // Before the rename: the export of `sheets` sheets from `start` on, written to `tempFile`.
    Result<void> Begin(std::int32_t bits, std::uint32_t start, std::int64_t sheets,
               const std::filesystem::path& tempFile);
    // After the rename: the next value, and (unless `job` is empty) the start of the full export
    // of job `job` (JobFingerprint of its source) for a closed-loop reprint. Clears the marker.
    Result<void> Done(std::int32_t bits, std::uint32_t next, const std::string& job, std::uint32_t start);
    // The rename failed: the marker goes, the range stays free.
    Result<void> Abandon(std::int32_t bits);
    // The start of the last full export of `job` with this width; nullopt when the last one was
    // another job.
    std::optional<std::uint32_t> JobStart(std::int32_t bits, const std::string& job) const;

    const std::filesystem::path& File() const { return m_file; }

private:
    std::filesystem::path m_file;
};

// The identity of a source job for the state file: its path and size.
std::string JobFingerprint(const std::string& path, std::int64_t size);

} // namespace kuvrion
