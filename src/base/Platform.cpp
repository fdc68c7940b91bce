#include "base/Platform.h"

#include <atomic>
#include <cerrno>

namespace kuvrion {

namespace {

// The limit of WriteLimitForTests, -1 for none. The one piece of process-wide state: a fault that
// tests switch on around a command, read with one relaxed load per write.
std::atomic<std::int64_t>& WriteLimit()
{
    static std::atomic<std::int64_t> limit{-1};
    return limit;
}

} // namespace

Result<void> WriteToStream(std::FILE* file, std::string_view bytes)
{
    if (const std::int64_t limit = WriteLimit().load(std::memory_order_relaxed); limit >= 0) {
        const long at = std::ftell(file);
        if (at < 0 || at + static_cast<std::int64_t>(bytes.size()) > limit) {
            return Failure{FailureKind::TargetWrite, EFBIG};
        }
    }
    errno = 0;
    if (std::fwrite(bytes.data(), 1, bytes.size(), file) != bytes.size()) {
        return Failure{FailureKind::TargetWrite, errno != 0 ? errno : EIO};
    }
    return {};
}

WriteLimitForTests::WriteLimitForTests(std::int64_t bytes)
{
    WriteLimit().store(bytes);
}

WriteLimitForTests::~WriteLimitForTests()
{
    WriteLimit().store(-1);
}

} // namespace kuvrion
