#include "addressees/ImportLog.h"

#include "base/Platform.h"

#include <cerrno>
#include <system_error>

namespace kuvrion {

namespace {
// A log line per page: a large buffer keeps a 100,000-page import from writing line by line.
constexpr std::size_t kLogBuffer = 1 << 20;
} // namespace

void ImportLog::Open(const std::filesystem::path& path, bool enabled)
{
    m_enabled = enabled;
    if (!enabled)
        return;
    Close();
    m_errno = 0;
    std::error_code ec;
    std::filesystem::remove(path, ec); // a failure shows when the file cannot be created
    errno = 0;
    m_file = OpenStream(path, "wb");
    if (!m_file) {
        m_errno = errno != 0 ? errno : EIO;
        return;
    }
    std::setvbuf(m_file, nullptr, _IOFBF, kLogBuffer);
}

bool ImportLog::Write(std::string_view text)
{
    if (!m_enabled)
        return true;
    if (!m_file) {
        if (m_errno == 0)
            m_errno = EBADF;
        return false;
    }
    if (text.empty())
        return true;
    errno = 0;
    if (!WriteToStream(m_file, text)) {
        m_errno = errno != 0 ? errno : EIO;
        return false;
    }
    return true;
}

bool ImportLog::Close()
{
    if (!m_file)
        return true;
    bool ok = true;
    errno = 0;
    if (std::fflush(m_file) != 0) {
        m_errno = errno != 0 ? errno : EIO;
        ok = false;
    }
    if (std::fclose(m_file) != 0 && ok) {
        m_errno = errno != 0 ? errno : EIO;
        ok = false;
    }
    m_file = nullptr;
    return ok;
}

int ImportLog::ErrorNumber() const
{
    return m_errno != 0 ? m_errno : EBADF;
}

} // namespace kuvrion
