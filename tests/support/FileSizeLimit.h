// A full device for tests: while it lives, every write past `bytes` of a file fails with EFBIG,
// as a full device fails with ENOSPC. Where the system has file-size limits (POSIX) it is the
// process's limit, hit by the real write calls (SIGXFSZ ignored); elsewhere the platform layer's
// write limit for tests.
#pragma once

#include "base/Platform.h"

#include <cstdint>

#ifndef _WIN32
#include <csignal>
#include <sys/resource.h>
#endif

namespace kuvrion::test {

#ifndef _WIN32

class FileSizeLimit {
public:
    explicit FileSizeLimit(std::int64_t bytes)
    {
        m_oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &m_old);
        rlimit small = m_old;
        small.rlim_cur = static_cast<rlim_t>(bytes);
        setrlimit(RLIMIT_FSIZE, &small);
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &m_old);
        std::signal(SIGXFSZ, m_oldHandler);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    rlimit m_old{};
    void (*m_oldHandler)(int) = nullptr;
};

#else

class FileSizeLimit {
public:
    explicit FileSizeLimit(std::int64_t bytes) : m_limit(bytes) {}

private:
    WriteLimitForTests m_limit;
};

#endif

} // namespace kuvrion::test
