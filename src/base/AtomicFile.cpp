#include "base/AtomicFile.h"

#include "base/Platform.h"

#include <cerrno>
#include <random>

namespace kuvrion {

namespace {

// Big enough that writing a large job costs few system calls.
constexpr std::size_t kBufferSize = 1 << 20;

std::string RandomSuffix(std::mt19937_64& rng)
{
    static constexpr char kDigits[] = "0123456789abcdefghijklmnopqrstuvwxyz";
    std::string s;
    for (int i = 0; i < 8; ++i)
        s += kDigits[rng() % 36];
    return s;
}

} // namespace

AtomicFile::~AtomicFile()
{
    Discard();
}

bool AtomicFile::Open(const std::filesystem::path& target)
{
    Discard();
    m_errno = 0;
    m_target = target;
    std::error_code ec;
    // Replace the file a symbolic link points to, not the link.
    if (std::filesystem::is_symlink(target, ec)) {
        const auto resolved = std::filesystem::weakly_canonical(target, ec);
        if (!ec)
            m_target = resolved;
    }

    bool keepMode = false;
    const auto st = std::filesystem::status(m_target, ec);
    if (std::filesystem::exists(st)) {
        if (std::filesystem::is_directory(st))
            return Fail(EISDIR);
        // A pipe or a device in the target's place would be swapped for a plain file by the
        // rename (think of /dev/null chosen as destination by root): never replace one.
        if (!std::filesystem::is_regular_file(st))
            return Fail(EPERM);
        keepMode = true;
    }

    const auto folder = m_target.has_parent_path() ? m_target.parent_path() : ".";
    std::random_device seed;
    std::mt19937_64 rng((static_cast<std::uint64_t>(seed()) << 32) ^ seed() ^ ProcessId());
    int err = 0;
    for (int attempt = 0; attempt < 100 && !m_file; ++attempt) {
        m_temp = folder / m_target.filename();
        m_temp += ".";
        m_temp += RandomSuffix(rng) + ".tmp";
        // The new file gets the permissions of the file it replaces.
        m_file = CreateNewFile(m_temp, keepMode ? &m_target : nullptr, err);
        if (!m_file && err != EEXIST)
            break;
    }
    if (!m_file) {
        m_temp.clear();
        return Fail(err);
    }
    m_buffer = std::make_unique_for_overwrite<char[]>(kBufferSize);
    std::setvbuf(m_file, m_buffer.get(), _IOFBF, kBufferSize);
    return true;
}

bool AtomicFile::Write(std::string_view bytes)
{
    if (m_errno != 0)
        return false;
    if (!m_file)
        return Fail(EBADF);
    if (bytes.empty())
        return true;
    errno = 0;
    if (!WriteToStream(m_file, bytes))
        return Fail(errno != 0 ? errno : EIO);
    m_written += static_cast<std::int64_t>(bytes.size());
    // Start the write-back of every finished stretch at once, so the disk works while the job is
    // still being written and the final sync has little left to wait for.
    if (m_written - m_writeBackFrom >= kWriteBackStretch) {
        if (std::fflush(m_file) != 0)
            return Fail(errno != 0 ? errno : EIO);
        StartWriteBack(m_file, m_writeBackFrom, m_written - m_writeBackFrom);
        m_writeBackFrom = m_written;
    }
    return true;
}

bool AtomicFile::Close()
{
    if (!m_file && m_temp.empty() && m_errno == 0)
        Fail(EBADF);
    if (m_errno == 0 && m_file) {
        if (const int err = FlushToDisk(m_file); err != 0)
            Fail(err);
    }
    if (m_file) {
        errno = 0;
        const int rc = std::fclose(m_file);
        m_file = nullptr;
        m_buffer.reset();
        if (rc != 0 && m_errno == 0)
            Fail(errno != 0 ? errno : EIO);
    }
    if (m_errno != 0) {
        Discard();
        return false;
    }
    return true;
}

bool AtomicFile::CommitTo(const std::filesystem::path& name)
{
    if (!Close())
        return false;
    if (const int err = ReplaceFile(m_temp, name); err != 0) {
        Fail(err);
        Discard();
        return false;
    }
    m_temp.clear();
    return true;
}

void AtomicFile::Discard()
{
    if (m_file) {
        std::fclose(m_file);
        m_file = nullptr;
    }
    m_buffer.reset();
    if (!m_temp.empty()) {
        RemoveFileQuietly(m_temp);
        m_temp.clear();
    }
}

bool AtomicFile::Fail(int err)
{
    if (m_errno == 0)
        m_errno = err != 0 ? err : EIO;
    return false;
}

} // namespace kuvrion
