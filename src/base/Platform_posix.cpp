#include "base/Platform.h"

#ifndef _WIN32

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace kuvrion {

namespace {

FileStamp StampOf(const struct stat& st)
{
    FileStamp s;
    s.size = static_cast<std::int64_t>(st.st_size);
    s.mtimeSec = static_cast<std::int64_t>(st.st_mtim.tv_sec);
    s.mtimeNsec = static_cast<std::int64_t>(st.st_mtim.tv_nsec);
    s.ctimeSec = static_cast<std::int64_t>(st.st_ctim.tv_sec);
    s.ctimeNsec = static_cast<std::int64_t>(st.st_ctim.tv_nsec);
    s.device = static_cast<std::uint64_t>(st.st_dev);
    s.inode = static_cast<std::uint64_t>(st.st_ino);
    return s;
}

class PosixInputFile final : public InputFile {
public:
    PosixInputFile(int fd, const struct stat& st) : m_fd(fd), m_stamp(StampOf(st)) {}
    ~PosixInputFile() override { ::close(m_fd); }
    PosixInputFile(const PosixInputFile&) = delete;
    PosixInputFile& operator=(const PosixInputFile&) = delete;

    Result<std::int64_t> ReadAt(std::int64_t offset, char* buf, std::int64_t n) override
    {
        std::int64_t done = 0;
        while (done < n) {
            const ssize_t got = ::pread(m_fd, buf + done, static_cast<std::size_t>(n - done),
                                        static_cast<off_t>(offset + done));
            if (got < 0) {
                if (errno == EINTR) {
                    continue;
                }
                return Failure{
                    .what = FailureKind::SourceUnreadable, .err = errno, .offset = offset + done};
            }
            if (got == 0) {
                break; // end of file
            }
            done += got;
        }
        return done;
    }

    const FileStamp& Stamp() const override { return m_stamp; }

private:
    int m_fd;
    FileStamp m_stamp;
};

} // namespace

fs::path PathFromUtf8(std::string_view utf8)
{
    return fs::path(std::string(utf8));
}

std::string PathToUtf8(const fs::path& path)
{
    return path.string();
}

std::optional<FileStamp> StampOfFile(const fs::path& path)
{
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        return std::nullopt;
    }
    return StampOf(st);
}

Result<std::unique_ptr<InputFile>> OpenInputFile(const fs::path& path)
{
    const auto fail = [&path](int err) {
        return Failure{FailureKind::SourceUnreadable, err, 0, PathToUtf8(path)};
    };
    // O_NONBLOCK keeps a named pipe from blocking the open; it has no effect on a regular file.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        return fail(errno);
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        const int err = errno;
        ::close(fd);
        return fail(err);
    }
    if (!S_ISREG(st.st_mode)) {
        ::close(fd);
        return fail(S_ISDIR(st.st_mode) ? EISDIR : EINVAL);
    }
    return std::unique_ptr<InputFile>(std::make_unique<PosixInputFile>(fd, st));
}

Result<std::FILE*> OpenStream(const fs::path& path, const char* mode)
{
    errno = 0;
    if (std::FILE* file = std::fopen(path.c_str(), mode)) {
        return file;
    }
    return Failure{mode[0] == 'r' ? FailureKind::SourceUnreadable : FailureKind::TargetOpen,
                   errno != 0 ? errno : EIO, 0, PathToUtf8(path)};
}

Result<std::FILE*> CreateNewFile(const fs::path& path, const fs::path* permissionsOf)
{
    const auto fail = [&path](int err) {
        return Failure{FailureKind::TargetOpen, err, 0, PathToUtf8(path)};
    };
    mode_t mode = 0666;
    if (permissionsOf) {
        struct stat st {};
        if (::stat(permissionsOf->c_str(), &st) != 0) {
            return fail(errno);
        }
        mode = st.st_mode & 07777;
    }
    // Created owner-only first when the mode is copied: creation applies the umask, so the bits are
    // set afterwards.
    const int fd =
        ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, permissionsOf ? 0600 : mode);
    if (fd < 0) {
        return fail(errno);
    }
    if (permissionsOf && ::fchmod(fd, mode) != 0) {
        const int err = errno;
        ::close(fd);
        ::unlink(path.c_str());
        return fail(err);
    }
    std::FILE* file = ::fdopen(fd, "wb");
    if (!file) {
        const int err = errno;
        ::close(fd);
        ::unlink(path.c_str());
        return fail(err);
    }
    return file;
}

void StartWriteBack([[maybe_unused]] std::FILE* file, [[maybe_unused]] std::int64_t offset,
                    [[maybe_unused]] std::int64_t length)
{
#ifdef __linux__
    ::sync_file_range(::fileno(file), offset, length, SYNC_FILE_RANGE_WRITE);
#endif
}

Result<void> FlushToDisk(std::FILE* file)
{
    errno = 0;
    if (std::fflush(file) != 0) {
        return Failure{FailureKind::TargetCommit, errno != 0 ? errno : EIO};
    }
    if (::fsync(::fileno(file)) != 0) {
        return Failure{FailureKind::TargetCommit, errno};
    }
    return {};
}

Result<void> ReplaceFile(const fs::path& from, const fs::path& to)
{
    if (::rename(from.c_str(), to.c_str()) != 0) {
        return Failure{FailureKind::TargetCommit, errno, 0, PathToUtf8(to)};
    }
    // Make the rename itself durable; a failure here does not undo the complete new file.
    const fs::path folder = to.has_parent_path() ? to.parent_path() : fs::path(".");
    const int dirFd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        ::fsync(dirFd);
        ::close(dirFd);
    }
    return {};
}

void RemoveFileQuietly(const fs::path& path)
{
    ::unlink(path.c_str());
}

bool IsWritableFolder(const fs::path& dir)
{
    return ::access(dir.c_str(), W_OK) == 0;
}

fs::path RunningProgramFile(const char* argv0)
{
    std::error_code ec;
    fs::path self = fs::read_symlink("/proc/self/exe", ec);
    if (!ec && !self.empty()) {
        return self;
    }
    if (argv0 && *argv0) {
        fs::path p = fs::absolute(fs::path(argv0), ec);
        if (!ec) {
            return p;
        }
    }
    return fs::current_path(ec) / "kuvrion";
}

fs::path UserSettingsFolder()
{
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME");
        xdg && *xdg && fs::path(xdg).is_absolute()) {
        return fs::path(xdg) / "Kuvrion";
    }
    if (const char* home = std::getenv("HOME"); home && *home) {
        return fs::path(home) / ".config" / "Kuvrion";
    }
    std::error_code ec;
    return fs::temp_directory_path(ec) / "Kuvrion";
}

bool IsSystemInstallFolder(const fs::path& dir)
{
    // Root may write anywhere, so a program under /usr is recognised by its place.
    const std::string text = dir.string();
    return text.rfind("/usr/", 0) == 0 || text == "/usr" || text == "/bin" || text == "/sbin";
}

std::optional<std::tm> LocalTime(std::time_t t)
{
    std::tm tm{};
    if (!::localtime_r(&t, &tm)) {
        return std::nullopt;
    }
    return tm;
}

std::uint64_t ProcessId()
{
    return static_cast<std::uint64_t>(::getpid());
}

bool StdErrIsTerminal()
{
    return ::isatty(STDERR_FILENO) == 1;
}

std::vector<std::string> CommandLineArguments(int argc, char** argv)
{
    return argc > 1 ? std::vector<std::string>(argv + 1, argv + argc) : std::vector<std::string>();
}

// Terminals here take UTF-8 and escape sequences as they are.
void UseBinaryStandardStreams() {}

namespace {

volatile std::sig_atomic_t g_stop = 0;

extern "C" void OnStopSignal(int)
{
    g_stop = 1;
}

} // namespace

void CatchStopSignals()
{
    struct sigaction action = {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGTERM, &action, nullptr);
    ::sigaction(SIGINT, &action, nullptr);
    // A peer that closes its connection early must not end the process: the write fails instead.
    struct sigaction ignore = {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    ::sigaction(SIGPIPE, &ignore, nullptr);
}

bool StopRequested()
{
    return g_stop != 0;
}

Result<int> RunProgram(const std::vector<std::string>& args, const std::vector<std::string>& env)
{
    const auto fail = [&args](int err) {
        return Failure{FailureKind::ProgramFailed, err, 0, args.empty() ? "" : args[0]};
    };
    if (args.empty()) {
        return fail(EINVAL);
    }
    std::vector<char*> argv;
    for (const std::string& a : args) {
        argv.push_back(const_cast<char*>(a.c_str()));
    }
    argv.push_back(nullptr);
    const pid_t pid = ::fork();
    if (pid < 0) {
        return fail(errno);
    }
    if (pid == 0) {
        for (const std::string& e : env) {
            const std::size_t eq = e.find('=');
            ::setenv(e.substr(0, eq).c_str(), eq == std::string::npos ? "" : e.c_str() + eq + 1, 1);
        }
        ::execvp(argv[0], argv.data());
        ::_exit(127);
    }
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) {
            return fail(errno);
        }
    }
    if (!WIFEXITED(status)) {
        return fail(EINTR);
    }
    if (WEXITSTATUS(status) == 127) {
        return fail(ENOENT);
    }
    return WEXITSTATUS(status);
}

ConsoleSetup::ConsoleSetup() = default;
ConsoleSetup::~ConsoleSetup() = default;

} // namespace kuvrion

#endif // !_WIN32
