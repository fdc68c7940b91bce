// The import log "log.txt": written anew by every import while logging is on. Text is written
// exactly as given (the caller supplies tabs and CR LF).
#pragma once

#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>

namespace kuvrion {

class ImportLog {
public:
    ImportLog() = default;
    ~ImportLog() { Close(); }
    ImportLog(const ImportLog&) = delete;
    ImportLog& operator=(const ImportLog&) = delete;

    // With `enabled`: deletes an existing log and creates it anew. Failures are remembered, not
    // reported here; the first Write then fails. Without `enabled` nothing happens.
    void Open(const std::filesystem::path& path, bool enabled);
    // Appends text while logging; false when logging is on but the log is not open or the write
    // failed (ErrorNumber() tells why). Always true while logging is off.
    bool Write(std::string_view text);
    // Flushes and closes; false when the final flush failed. Harmless when closed.
    bool Close();
    bool Enabled() const { return m_enabled; }
    // errno of the failure that made Write or Close return false.
    int ErrorNumber() const;

private:
    std::FILE* m_file = nullptr;
    bool m_enabled = false;
    int m_errno = 0;
};

} // namespace kuvrion
