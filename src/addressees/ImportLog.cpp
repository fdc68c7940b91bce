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
    static_cast<void>(Close()); // a log of an earlier pass that cannot be flushed is left as it is
    m_openErr = 0;
    std::error_code ec;
    std::filesystem::remove(path, ec); // a failure shows when the file cannot be created
    const auto opened = OpenStream(path, "wb");
    if (!opened) {
        m_openErr = opened.error().err;
        return;
    }
    m_file = *opened;
    std::setvbuf(m_file, nullptr, _IOFBF, kLogBuffer);
}

Result<void> ImportLog::Write(std::string_view text)
{
    if (!m_enabled)
        return {};
    if (!m_file)
        return Fail(m_openErr != 0 ? m_openErr : EBADF);
    if (text.empty())
        return {};
    if (auto written = WriteToStream(m_file, text); !written)
        return Fail(written.error().err);
    return {};
}

Result<void> ImportLog::Close()
{
    if (!m_file)
        return {};
    errno = 0;
    Result<void> closed;
    if (std::fflush(m_file) != 0)
        closed = Fail(errno);
    if (std::fclose(m_file) != 0 && closed)
        closed = Fail(errno);
    m_file = nullptr;
    return closed;
}

} // namespace kuvrion
