// Writes a file through a temporary file in the same folder and renames it over the target when
// everything was written, so an existing target is only ever replaced by a complete file.
//
// Usage: AtomicFile f; if (!f.Open(target)) ...; f.Write(...)...; if (!f.Commit()) ... .
// Write() never throws; the first failure is remembered, every later Write() returns it without
// writing, and so do Close() and Commit(). The failure carries the errno value and the target's
// name, as TargetOpen (Open), TargetWrite (Write) or TargetCommit (flushing, closing, renaming).
// Destroying an uncommitted AtomicFile removes the temporary file and leaves the target untouched.
#pragma once

#include "base/Result.h"

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace kuvrion {

class AtomicFile {
public:
    AtomicFile() = default;
    ~AtomicFile();
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    // Creates the temporary file beside `target`; fails when it cannot be created.
    Result<void> Open(const std::filesystem::path& target);
    // Appends bytes; fails once any write has failed.
    Result<void> Write(std::string_view bytes);
    // Flushes, syncs and closes the temporary file, which stays for a look (TempPath()) until
    // Commit, CommitTo or Discard. Fails (temporary removed) on any failure so far.
    Result<void> Close();
    // Closes and renames over the target. Fails (temporary removed, target untouched) on any
    // failure so far. Keeps the permission bits of an existing target.
    Result<void> Commit() { return CommitTo(m_target); }
    // The same, under another name than the target (which then stays as it was).
    Result<void> CommitTo(const std::filesystem::path& name);
    // Removes the temporary file; the target stays as it was.
    void Discard();

    const std::filesystem::path& TempPath() const { return m_temp; }

private:
    // Remembers the first failure (as `what`, with the target's name) and returns it.
    Failure Fail(FailureKind what, int err);

    std::filesystem::path m_target;
    std::filesystem::path m_temp;
    std::FILE* m_file = nullptr;
    std::unique_ptr<char[]> m_buffer; // stdio buffer of m_file
    static constexpr std::int64_t kWriteBackStretch = 32 << 20;
    std::int64_t m_written = 0;       // bytes written so far
    std::int64_t m_writeBackFrom = 0; // start of the stretch not yet handed to the disk
    std::optional<Failure> m_failure; // the first failure
};

} // namespace kuvrion
