#include "pcljob/ByteSource.h"

#include "base/Platform.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace kuvrion {

namespace {

Failure BadRange(std::int64_t offset)
{
    return Failure{.what = FailureKind::SourceUnreadable, .err = EINVAL, .offset = offset};
}

// A job file opened read-only. The file stays open for the life of the source, so pages can be
// read back long after the scan.
class FileSource final : public ByteSource {
public:
    FileSource(std::unique_ptr<InputFile> file, std::filesystem::path path)
        : m_file(std::move(file)), m_path(std::move(path))
    {
    }

    std::int64_t Size() const override { return m_file->Stamp().size; }

    Result<std::int64_t> Read(std::int64_t offset, char* buf, std::int64_t n) override
    {
        if (offset < 0 || n < 0) {
            return BadRange(offset);
        }
        return m_file->ReadAt(offset, buf, n);
    }

    // Looks at the path, not the open file: a job replaced under the same name counts as changed.
    bool Changed() const override
    {
        const auto now = StampOfFile(m_path);
        return !now || !(*now == m_file->Stamp());
    }

private:
    std::unique_ptr<InputFile> m_file;
    std::filesystem::path m_path;
};

class MemorySource final : public ByteSource {
public:
    explicit MemorySource(std::string bytes) : m_bytes(std::move(bytes)) {}

    std::int64_t Size() const override { return static_cast<std::int64_t>(m_bytes.size()); }

    Result<std::int64_t> Read(std::int64_t offset, char* buf, std::int64_t n) override
    {
        if (offset < 0 || n < 0) {
            return BadRange(offset);
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

Result<std::unique_ptr<ByteSource>> OpenFileSource(const std::string& path)
{
    const std::filesystem::path name = PathFromUtf8(path);
    auto file = OpenInputFile(name);
    if (!file)
        return file.error();
    return std::unique_ptr<ByteSource>(std::make_unique<FileSource>(std::move(*file), name));
}

std::unique_ptr<ByteSource> MakeMemorySource(std::string bytes)
{
    return std::make_unique<MemorySource>(std::move(bytes));
}

} // namespace kuvrion
