// The import log "log.txt": written anew by every import while logging is on. Text is written
// exactly as given (the caller supplies tabs and CR LF).
#pragma once

#include "base/Result.h"

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>

namespace kuvrion {

class ImportLog {
public:
    ImportLog() = default;
    ~ImportLog() { static_cast<void>(Close()); }
    ImportLog(const ImportLog&) = delete;
    ImportLog& operator=(const ImportLog&) = delete;

    // With `enabled`: deletes an existing log and creates it anew. Failures are remembered, not
    // reported here; the first Write then fails. Without `enabled` nothing happens.
    void Open(const std::filesystem::path& path, bool enabled);
    // Appends text while logging; fails (LogWrite with the system's error) when logging is on but
    // the log is not open or the write failed. Always succeeds while logging is off.
    Result<void> Write(std::string_view text);
    // Flushes and closes; fails (LogWrite) when the final flush failed. Harmless when closed.
    Result<void> Close();
    bool Enabled() const { return m_enabled; }

private:
    static Failure Fail(int err) { return Failure{FailureKind::LogWrite, err != 0 ? err : EIO}; }

    std::FILE* m_file = nullptr;
    bool m_enabled = false;
    int m_openErr = 0; // why the last Open could not create the log, 0 when it could
};

} // namespace kuvrion
