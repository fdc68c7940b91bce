#include "app/SpooledJob.h"

#include "base/Platform.h"

#include <cerrno>
#include <istream>
#include <random>

namespace fs = std::filesystem;

namespace kuvrion {

SpooledJob::~SpooledJob()
{
    if (!m_path.empty()) {
        RemoveFileQuietly(m_path);
    }
}

Result<void> SpooledJob::Spool(std::istream& in, const fs::path& dir)
{
    std::error_code ec;
    const fs::path folder = dir.empty() ? fs::temp_directory_path(ec) : dir;
    std::random_device seed;
    std::FILE* file = nullptr;
    int err = 0;
    for (int attempt = 0; attempt < 100 && !file; ++attempt) {
        m_path = folder / ("kuvrion-stdin-" + std::to_string(ProcessId()) + "-" +
                           std::to_string(seed()) + ".pcl.tmp");
        auto created = CreateNewFile(m_path, nullptr);
        if (created) {
            file = *created;
        } else if (err = created.error().err; err != EEXIST) {
            break;
        }
    }
    if (!file) {
        m_path.clear();
        return Failure{FailureKind::TargetOpen, err, 0, PathToUtf8(folder)};
    }
    constexpr std::size_t kChunk = 1 << 16;
    std::string buf(kChunk, '\0');
    std::optional<Failure> failure;
    while (in) {
        in.read(buf.data(), static_cast<std::streamsize>(kChunk));
        const auto got = static_cast<std::size_t>(in.gcount());
        if (got == 0) {
            continue;
        }
        if (auto written = WriteToStream(file, std::string_view(buf.data(), got)); !written) {
            failure = Failure{FailureKind::TargetWrite, written.error().err, 0, PathToUtf8(m_path)};
            break;
        }
    }
    if (!failure && in.bad()) {
        failure = Failure{FailureKind::SourceUnreadable, EIO};
    }
    if (std::fclose(file) != 0 && !failure) {
        failure = Failure{FailureKind::TargetWrite, errno, 0, PathToUtf8(m_path)};
    }
    if (failure) {
        return *failure;
    }
    return {};
}

} // namespace kuvrion
