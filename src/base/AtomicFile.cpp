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

Result<void> AtomicFile::Open(const std::filesystem::path& target)
{
    Discard();
    m_failure.reset();
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
            return Fail(FailureKind::TargetOpen, EISDIR);
        // A pipe or a device in the target's place would be swapped for a plain file by the
        // rename (think of /dev/null chosen as destination by root): never replace one.
        if (!std::filesystem::is_regular_file(st))
            return Fail(FailureKind::TargetOpen, EPERM);
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
        auto created = CreateNewFile(m_temp, keepMode ? &m_target : nullptr);
        if (created) {
            m_file = *created;
        } else if (err = created.error().err; err != EEXIST) {
            break;
        }
    }
    if (!m_file) {
        m_temp.clear();
        return Fail(FailureKind::TargetOpen, err);
    }
    m_buffer = std::make_unique_for_overwrite<char[]>(kBufferSize);
    std::setvbuf(m_file, m_buffer.get(), _IOFBF, kBufferSize);
    return {};
}

Result<void> AtomicFile::Write(std::string_view bytes)
{
    if (m_failure)
        return *m_failure;
    if (!m_file)
        return Fail(FailureKind::TargetWrite, EBADF);
    if (bytes.empty())
        return {};
    if (auto written = WriteToStream(m_file, bytes); !written)
        return Fail(FailureKind::TargetWrite, written.error().err);
    m_written += static_cast<std::int64_t>(bytes.size());
    // Start the write-back of every finished stretch at once, so the disk works while the job is
    // still being written and the final sync has little left to wait for.
    if (m_written - m_writeBackFrom >= kWriteBackStretch) {
        errno = 0;
        if (std::fflush(m_file) != 0)
            return Fail(FailureKind::TargetWrite, errno);
        StartWriteBack(m_file, m_writeBackFrom, m_written - m_writeBackFrom);
        m_writeBackFrom = m_written;
    }
    return {};
}

Result<void> AtomicFile::Close()
{
    if (!m_file && m_temp.empty() && !m_failure)
        Fail(FailureKind::TargetCommit, EBADF);
    if (!m_failure && m_file) {
        if (auto flushed = FlushToDisk(m_file); !flushed)
            Fail(FailureKind::TargetCommit, flushed.error().err);
    }
    if (m_file) {
        errno = 0;
        const int rc = std::fclose(m_file);
        m_file = nullptr;
        m_buffer.reset();
        if (rc != 0 && !m_failure)
            Fail(FailureKind::TargetCommit, errno);
    }
    if (m_failure) {
        Discard();
        return *m_failure;
    }
    return {};
}

Result<void> AtomicFile::CommitTo(const std::filesystem::path& name)
{
    if (auto closed = Close(); !closed)
        return closed;
    if (auto replaced = ReplaceFile(m_temp, name); !replaced) {
        Fail(FailureKind::TargetCommit, replaced.error().err);
        Discard();
        return *m_failure;
    }
    m_temp.clear();
    return {};
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

Failure AtomicFile::Fail(FailureKind what, int err)
{
    if (!m_failure)
        m_failure = Failure{what, err != 0 ? err : EIO, 0, PathToUtf8(m_target)};
    return *m_failure;
}

} // namespace kuvrion
