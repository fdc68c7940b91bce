// A job that arrives on a stream (standard input), spooled into a temporary file so that the
// pipeline can read it at any offset. The file is removed when the SpooledJob is destroyed.
#pragma once

#include "base/Result.h"

#include <filesystem>
#include <iosfwd>

namespace kuvrion {

class SpooledJob {
public:
    SpooledJob() = default;
    ~SpooledJob();
    SpooledJob(const SpooledJob&) = delete;
    SpooledJob& operator=(const SpooledJob&) = delete;

    // Reads `in` to its end into a new file in `dir` (the temporary folder when empty). Fails with
    // SourceUnreadable when the stream fails, TargetOpen/TargetWrite when the file does.
    Result<void> Spool(std::istream& in, const std::filesystem::path& dir = {});
    const std::filesystem::path& Path() const { return m_path; }

private:
    std::filesystem::path m_path;
};

} // namespace kuvrion
