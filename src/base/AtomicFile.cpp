#include "base/AtomicFile.h"

#include <cerrno>
#include <fcntl.h>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

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

    mode_t mode = 0666;
    bool keepMode = false;
    struct stat st {};
    if (::stat(m_target.c_str(), &st) == 0) {
        if (S_ISDIR(st.st_mode))
            return Fail(EISDIR);
        // A pipe or a device in the target's place would be swapped for a plain file by the
        // rename (think of /dev/null chosen as destination by root): never replace one.
        if (!S_ISREG(st.st_mode))
            return Fail(EPERM);
        mode = st.st_mode & 07777;
        keepMode = true;
    }

    const auto folder = m_target.has_parent_path() ? m_target.parent_path() : ".";
    const auto name = m_target.filename().string();
    std::random_device seed;
    std::mt19937_64 rng((static_cast<std::uint64_t>(seed()) << 32) ^ seed() ^
                        static_cast<std::uint64_t>(::getpid()));
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        m_temp = folder / (name + "." + RandomSuffix(rng) + ".tmp");
        fd =
            ::open(m_temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, keepMode ? 0600 : mode);
        if (fd < 0 && errno != EEXIST)
            break;
    }
    if (fd < 0) {
        const int err = errno;
        m_temp.clear();
        return Fail(err);
    }
    // The new file gets the permissions of the file it replaces (creation applied the umask).
    if (keepMode && ::fchmod(fd, mode) != 0) {
        const int err = errno;
        ::close(fd);
        ::unlink(m_temp.c_str());
        m_temp.clear();
        return Fail(err);
    }
    m_file = ::fdopen(fd, "wb");
    if (!m_file) {
        const int err = errno;
        ::close(fd);
        ::unlink(m_temp.c_str());
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
    if (std::fwrite(bytes.data(), 1, bytes.size(), m_file) != bytes.size())
        return Fail(errno != 0 ? errno : EIO);
    m_written += static_cast<std::int64_t>(bytes.size());
#ifdef __linux__
    // Start the write-back of every finished stretch at once, so the disk works while the job is
    // still being written and the final sync has little left to wait for.
    if (m_written - m_writeBackFrom >= kWriteBackStretch) {
        if (std::fflush(m_file) != 0)
            return Fail(errno != 0 ? errno : EIO);
        ::sync_file_range(::fileno(m_file), m_writeBackFrom, m_written - m_writeBackFrom,
                          SYNC_FILE_RANGE_WRITE);
        m_writeBackFrom = m_written;
    }
#endif
    return true;
}

bool AtomicFile::Commit()
{
    if (!m_file && m_errno == 0)
        Fail(EBADF);
    if (m_errno == 0) {
        errno = 0;
        if (std::fflush(m_file) != 0)
            Fail(errno != 0 ? errno : EIO);
        else if (::fsync(::fileno(m_file)) != 0)
            Fail(errno);
    }
    if (m_file) {
        errno = 0;
        const int rc = std::fclose(m_file);
        m_file = nullptr;
        m_buffer.reset();
        if (rc != 0 && m_errno == 0)
            Fail(errno != 0 ? errno : EIO);
    }
    if (m_errno == 0 && ::rename(m_temp.c_str(), m_target.c_str()) != 0)
        Fail(errno);
    if (m_errno != 0) {
        Discard();
        return false;
    }
    m_temp.clear();
    // Make the rename itself durable; a failure here does not undo the complete new file.
    const auto folder = m_target.has_parent_path() ? m_target.parent_path() : ".";
    const int dirFd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        ::fsync(dirFd);
        ::close(dirFd);
    }
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
        ::unlink(m_temp.c_str());
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
