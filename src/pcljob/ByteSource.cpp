#include "pcljob/ByteSource.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kuvrion {

namespace {

// What tells one state of a job file from another. The change time is part of it because a
// program may overwrite a file in place and set its modification time back; the change time
// cannot be set back. Device and inode tell a file replaced under the same name.
struct FileStamp {
    std::int64_t size = 0;
    std::int64_t mtimeSec = 0;
    std::int64_t mtimeNsec = 0;
    std::int64_t ctimeSec = 0;
    std::int64_t ctimeNsec = 0;
    std::uint64_t device = 0;
    std::uint64_t inode = 0;

    bool operator==(const FileStamp&) const = default;
};

FileStamp StampOf(const struct stat& st)
{
    return FileStamp{
        static_cast<std::int64_t>(st.st_size),         static_cast<std::int64_t>(st.st_mtim.tv_sec),
        static_cast<std::int64_t>(st.st_mtim.tv_nsec), static_cast<std::int64_t>(st.st_ctim.tv_sec),
        static_cast<std::int64_t>(st.st_ctim.tv_nsec), static_cast<std::uint64_t>(st.st_dev),
        static_cast<std::uint64_t>(st.st_ino)};
}

// A job file opened read-only. The descriptor stays open for the life of the source, so pages can
// be read back long after the scan.
class FileSource final : public ByteSource {
public:
    FileSource(int fd, std::string path, const struct stat& st)
        : m_fd(fd), m_path(std::move(path)), m_stamp(StampOf(st))
    {
    }
    ~FileSource() override { ::close(m_fd); }
    FileSource(const FileSource&) = delete;
    FileSource& operator=(const FileSource&) = delete;

    std::int64_t Size() const override { return m_stamp.size; }

    std::int64_t Read(std::int64_t offset, char* buf, std::int64_t n) override
    {
        if (offset < 0 || n < 0) {
            m_lastError = EINVAL;
            return -1;
        }
        std::int64_t done = 0;
        while (done < n) {
            const ssize_t got = ::pread(m_fd, buf + done, static_cast<std::size_t>(n - done),
                                        static_cast<off_t>(offset + done));
            if (got < 0) {
                if (errno == EINTR) {
                    continue;
                }
                m_lastError = errno;
                return -1;
            }
            if (got == 0) {
                break; // end of file
            }
            done += got;
        }
        m_lastError = 0;
        return done;
    }

    int LastError() const override { return m_lastError; }

    // Looks at the path, not the descriptor: a job replaced under the same name counts as changed.
    bool Changed() const override
    {
        struct stat st {};
        if (::stat(m_path.c_str(), &st) != 0) {
            return true;
        }
        return !(StampOf(st) == m_stamp);
    }

private:
    int m_fd;
    std::string m_path;
    FileStamp m_stamp;
    std::atomic<int> m_lastError{0}; // pages may be read from two threads at once
};

class MemorySource final : public ByteSource {
public:
    explicit MemorySource(std::string bytes) : m_bytes(std::move(bytes)) {}

    std::int64_t Size() const override { return static_cast<std::int64_t>(m_bytes.size()); }

    std::int64_t Read(std::int64_t offset, char* buf, std::int64_t n) override
    {
        if (offset < 0 || n < 0) {
            return -1;
        }
        const auto size = static_cast<std::int64_t>(m_bytes.size());
        if (offset >= size) {
            return 0;
        }
        const std::int64_t count = std::min(n, size - offset);
        std::memcpy(buf, m_bytes.data() + offset, static_cast<std::size_t>(count));
        return count;
    }

private:
    std::string m_bytes;
};

} // namespace

std::unique_ptr<ByteSource> OpenFileSource(const std::string& path)
{
    // O_NONBLOCK keeps a named pipe from blocking the open; it has no effect on a regular file.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        return nullptr;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        const int err = errno;
        ::close(fd);
        errno = err;
        return nullptr;
    }
    if (!S_ISREG(st.st_mode)) {
        ::close(fd);
        errno = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
        return nullptr;
    }
    return std::make_unique<FileSource>(fd, path, st);
}

std::unique_ptr<ByteSource> MakeMemorySource(std::string bytes)
{
    return std::make_unique<MemorySource>(std::move(bytes));
}

} // namespace kuvrion
