// The journal of a watched folder: one line per finished job (CSV, UTF-8, ";" between fields):
// the time the job was taken, its name, its SHA-256, pages, sheets, envelopes, and the result
// ("OK" or the German reason). Every line reaches the disk before the job leaves the work folder,
// so after a kill the journal tells a job that was finished from one that must be done again.
#pragma once

#include "base/Result.h"

#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>

namespace kuvrion {

struct JournalEntry {
    std::string time;   // when the job was taken, "2026-12-07T01:48:39.123Z"
    std::string job;    // UTF-8 file name as it arrived
    std::string sha256; // 64 hex digits
    std::int32_t pages = 0;
    std::int64_t sheets = 0;
    std::int64_t envelopes = 0;
    std::string result; // kJournalOk, or the reason it was refused
};

inline constexpr const char* kJournalOk = "OK";
// The line written before a marked job is handed to its target: a job whose last line says so was
// stopped while it was delivered.
inline constexpr const char* kJournalDelivering = "Übergabe begonnen";

class Journal {
public:
    // Reads the journal at `path` (a missing file is an empty journal; a torn last line from a
    // kill is ignored, and the next line starts on a line of its own).
    explicit Journal(std::filesystem::path path);

    // The entry of the job taken at `time` named `job` with these bytes, when one was written.
    std::optional<JournalEntry> Find(const std::string& time, const std::string& job,
                                     const std::string& sha256) const;
    // Appends the line and waits until the disk holds it. Fails with JournalWrite.
    Result<void> Append(const JournalEntry& entry);

private:
    std::filesystem::path m_path;
    std::map<std::string, JournalEntry> m_entries; // by time, job and digest
    bool m_endsInLine = true;                      // the file ends with a line end (or is empty)
};

} // namespace kuvrion
