// Writes a file through a temporary file in the same folder and renames it over the target when
// everything was written, so an existing target is only ever replaced by a complete file.
//
// Usage: AtomicFile f; if (!f.Open(target)) ...; f.Write(...)...; if (!f.Commit()) ... .
// Write() never throws; the first failure is remembered and every later Write() is a no-op.
// Destroying an uncommitted AtomicFile removes the temporary file and leaves the target untouched.
#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

namespace kuvrion {

class AtomicFile {
public:
    AtomicFile() = default;
    ~AtomicFile();
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    // Creates the temporary file beside `target`. False (with ErrorNumber() set) when it cannot
    // be created.
    bool Open(const std::filesystem::path& target);
    // Appends bytes; false once any write has failed.
    bool Write(std::string_view bytes);
    bool Write(char c) { return Write(std::string_view(&c, 1)); }
    // Flushes, syncs and closes the temporary file, which stays for a look (TempPath()) until
    // Commit, CommitTo or Discard. False (temporary removed) on any failure so far.
    bool Close();
    // Closes and renames over the target. False (temporary removed, target untouched) on any
    // failure so far. Keeps the permission bits of an existing target.
    bool Commit() { return CommitTo(m_target); }
    // The same, under another name than the target (which then stays as it was).
    bool CommitTo(const std::filesystem::path& name);
    // Removes the temporary file; the target stays as it was.
    void Discard();

    bool Failed() const { return m_errno != 0; }
    // errno of the first failure, 0 when none.
    int ErrorNumber() const { return m_errno; }
    const std::filesystem::path& TempPath() const { return m_temp; }

private:
    bool Fail(int err);

    std::filesystem::path m_target;
    std::filesystem::path m_temp;
    std::FILE* m_file = nullptr;
    std::unique_ptr<char[]> m_buffer; // stdio buffer of m_file
    static constexpr std::int64_t kWriteBackStretch = 32 << 20;
    std::int64_t m_written = 0;       // bytes written so far
    std::int64_t m_writeBackFrom = 0; // start of the stretch not yet handed to the disk
    int m_errno = 0;
};

} // namespace kuvrion
