#include "base/Platform.h"

#ifdef _WIN32

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cwchar>
#include <fcntl.h>
#include <io.h>
#include <process.h>
#include <windows.h>

#include <shellapi.h>

#ifndef ENABLE_VIRTUAL_TERMINAL_PROCESSING
#define ENABLE_VIRTUAL_TERMINAL_PROCESSING 0x0004
#endif

// windows.h names ReplaceFileW so; here it is the function of Platform.h.
#undef ReplaceFile

namespace fs = std::filesystem;

namespace kuvrion {

namespace {

// UTF-8 <-> UTF-16 with the system's converter; invalid sequences become U+FFFD.
std::wstring Widen(std::string_view utf8)
{
    if (utf8.empty()) {
        return {};
    }
    const int n =
        ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(n), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), n);
    return wide;
}

std::string Narrow(std::wstring_view wide)
{
    if (wide.empty()) {
        return {};
    }
    const int n = ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()),
                                        nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<std::size_t>(n), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), utf8.data(), n,
                          nullptr, nullptr);
    return utf8;
}

// The errno value closest to a Windows error code, for the program's one table of messages.
int ErrnoOf(DWORD code)
{
    switch (code) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
        return ENOENT;
    case ERROR_ACCESS_DENIED:
    case ERROR_WRITE_PROTECT:
        return EACCES;
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
        return EBUSY;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
        return EEXIST;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
        return ENOSPC;
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY:
        return ENOMEM;
    case ERROR_FILENAME_EXCED_RANGE:
        return ENAMETOOLONG;
    case ERROR_NOT_SAME_DEVICE:
        return EXDEV;
    case ERROR_DIRECTORY:
        return ENOTDIR;
    case ERROR_TOO_MANY_OPEN_FILES:
        return EMFILE;
    default:
        return EIO;
    }
}

std::int64_t FileTimeToInt(const FILETIME& t)
{
    return static_cast<std::int64_t>((static_cast<std::uint64_t>(t.dwHighDateTime) << 32) |
                                     t.dwLowDateTime);
}

// The stamp of an open handle. Windows has no change time; the last write time stands in for both,
// and the volume serial number and file index give the identity.
bool StampOfHandle(HANDLE h, FileStamp& stamp)
{
    BY_HANDLE_FILE_INFORMATION info{};
    if (!::GetFileInformationByHandle(h, &info)) {
        return false;
    }
    const std::int64_t written = FileTimeToInt(info.ftLastWriteTime);
    stamp.size = static_cast<std::int64_t>((static_cast<std::uint64_t>(info.nFileSizeHigh) << 32) |
                                           info.nFileSizeLow);
    stamp.mtimeSec = written / 10000000;
    stamp.mtimeNsec = (written % 10000000) * 100;
    stamp.ctimeSec = stamp.mtimeSec;
    stamp.ctimeNsec = stamp.mtimeNsec;
    stamp.device = info.dwVolumeSerialNumber;
    stamp.inode = (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
    return true;
}

class Win32InputFile final : public InputFile {
public:
    Win32InputFile(HANDLE h, const FileStamp& stamp) : m_handle(h), m_stamp(stamp) {}
    ~Win32InputFile() override { ::CloseHandle(m_handle); }
    Win32InputFile(const Win32InputFile&) = delete;
    Win32InputFile& operator=(const Win32InputFile&) = delete;

    Result<std::int64_t> ReadAt(std::int64_t offset, char* buf, std::int64_t n) override
    {
        std::int64_t done = 0;
        while (done < n) {
            // An OVERLAPPED with an offset makes the read positional, safe from two threads.
            OVERLAPPED at{};
            const auto pos = static_cast<std::uint64_t>(offset + done);
            at.Offset = static_cast<DWORD>(pos & 0xFFFFFFFFu);
            at.OffsetHigh = static_cast<DWORD>(pos >> 32);
            const DWORD want = static_cast<DWORD>(std::min<std::int64_t>(n - done, 1 << 30));
            DWORD got = 0;
            if (!::ReadFile(m_handle, buf + done, want, &got, &at)) {
                const DWORD code = ::GetLastError();
                if (code == ERROR_HANDLE_EOF) {
                    break;
                }
                return Failure{.what = FailureKind::SourceUnreadable,
                               .err = ErrnoOf(code),
                               .offset = offset + done};
            }
            if (got == 0) {
                break;
            }
            done += got;
        }
        return done;
    }

    const FileStamp& Stamp() const override { return m_stamp; }

private:
    HANDLE m_handle;
    FileStamp m_stamp;
};

} // namespace

fs::path PathFromUtf8(std::string_view utf8)
{
    return fs::path(Widen(utf8));
}

std::string PathToUtf8(const fs::path& path)
{
    return Narrow(path.native());
}

std::optional<FileStamp> StampOfFile(const fs::path& path)
{
    const HANDLE h =
        ::CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        return std::nullopt;
    }
    FileStamp stamp;
    const bool ok = StampOfHandle(h, stamp);
    ::CloseHandle(h);
    if (!ok) {
        return std::nullopt;
    }
    return stamp;
}

Result<std::unique_ptr<InputFile>> OpenInputFile(const fs::path& path)
{
    const auto fail = [&path](int err) {
        return Failure{FailureKind::SourceUnreadable, err, 0, PathToUtf8(path)};
    };
    const HANDLE h = ::CreateFileW(path.c_str(), GENERIC_READ,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                   OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        return fail(ErrnoOf(::GetLastError()));
    }
    BY_HANDLE_FILE_INFORMATION info{};
    if (!::GetFileInformationByHandle(h, &info)) {
        const int err = ErrnoOf(::GetLastError());
        ::CloseHandle(h);
        return fail(err);
    }
    if ((info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ||
        ::GetFileType(h) != FILE_TYPE_DISK) {
        ::CloseHandle(h);
        return fail((info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? EISDIR : EINVAL);
    }
    FileStamp stamp;
    StampOfHandle(h, stamp);
    return std::unique_ptr<InputFile>(std::make_unique<Win32InputFile>(h, stamp));
}

Result<std::FILE*> OpenStream(const fs::path& path, const char* mode)
{
    std::wstring wideMode;
    for (const char* c = mode; *c; ++c) {
        wideMode += static_cast<wchar_t>(*c);
    }
    if (wideMode.find(L'b') == std::wstring::npos) {
        wideMode += L'b';
    }
    errno = 0;
    if (std::FILE* file = ::_wfopen(path.c_str(), wideMode.c_str())) {
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
    DWORD attributes = FILE_ATTRIBUTE_NORMAL;
    if (permissionsOf) {
        const DWORD old = ::GetFileAttributesW(permissionsOf->c_str());
        if (old == INVALID_FILE_ATTRIBUTES) {
            return fail(ErrnoOf(::GetLastError()));
        }
        // Keep what a user may have set on the old file, except read-only: the new file must be
        // writable until it replaces the old one.
        attributes = old & (FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_HIDDEN |
                            FILE_ATTRIBUTE_NOT_CONTENT_INDEXED);
        if (attributes == 0) {
            attributes = FILE_ATTRIBUTE_NORMAL;
        }
    }
    const HANDLE h =
        ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, attributes, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        return fail(ErrnoOf(::GetLastError()));
    }
    const int fd = ::_open_osfhandle(reinterpret_cast<intptr_t>(h), 0);
    if (fd < 0) {
        ::CloseHandle(h);
        ::DeleteFileW(path.c_str());
        return fail(EMFILE);
    }
    std::FILE* file = ::_fdopen(fd, "wb");
    if (!file) {
        const int err = errno;
        ::_close(fd);
        ::DeleteFileW(path.c_str());
        return fail(err);
    }
    return file;
}

void StartWriteBack(std::FILE*, std::int64_t, std::int64_t) {}

Result<void> FlushToDisk(std::FILE* file)
{
    errno = 0;
    if (std::fflush(file) != 0) {
        return Failure{FailureKind::TargetCommit, errno != 0 ? errno : EIO};
    }
    const auto h = reinterpret_cast<HANDLE>(::_get_osfhandle(::_fileno(file)));
    if (!::FlushFileBuffers(h)) {
        return Failure{FailureKind::TargetCommit, ErrnoOf(::GetLastError())};
    }
    return {};
}

Result<void> ReplaceFile(const fs::path& from, const fs::path& to)
{
    if (!::MoveFileExW(from.c_str(), to.c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        return Failure{FailureKind::TargetCommit, ErrnoOf(::GetLastError()), 0, PathToUtf8(to)};
    }
    return {};
}

void RemoveFileQuietly(const fs::path& path)
{
    ::DeleteFileW(path.c_str());
}

bool IsWritableFolder(const fs::path& dir)
{
    // Windows reports no write permission for folders reliably: try to create a file there.
    const fs::path probe = dir / (L".kuvrion-probe-" + std::to_wstring(::GetCurrentProcessId()));
    const HANDLE h = ::CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                   FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        return false;
    }
    ::CloseHandle(h);
    return true;
}

fs::path RunningProgramFile(const char* argv0)
{
    std::wstring buffer(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n =
            ::GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (n == 0) {
            break;
        }
        if (n < buffer.size()) {
            buffer.resize(n);
            return fs::path(buffer);
        }
        buffer.resize(buffer.size() * 2);
    }
    std::error_code ec;
    if (argv0 && *argv0) {
        fs::path p = fs::absolute(PathFromUtf8(argv0), ec);
        if (!ec) {
            return p;
        }
    }
    return fs::current_path(ec) / "kuvrion.exe";
}

fs::path UserSettingsFolder()
{
    if (const wchar_t* appData = ::_wgetenv(L"APPDATA"); appData && *appData) {
        return fs::path(appData) / L"Kuvrion";
    }
    std::error_code ec;
    return fs::temp_directory_path(ec) / L"Kuvrion";
}

bool IsSystemInstallFolder(const fs::path&)
{
    // Under "Program Files" the folder is not writable for a user, which IsWritableFolder tells.
    return false;
}

std::optional<std::tm> LocalTime(std::time_t t)
{
    std::tm tm{};
    if (::localtime_s(&tm, &t) != 0) {
        return std::nullopt;
    }
    return tm;
}

std::uint64_t ProcessId()
{
    return ::GetCurrentProcessId();
}

bool StdErrIsTerminal()
{
    return ::_isatty(::_fileno(stderr)) != 0;
}

std::vector<std::string> CommandLineArguments(int, char**)
{
    std::vector<std::string> args;
    int count = 0;
    LPWSTR* wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    if (!wide) {
        return args;
    }
    for (int i = 1; i < count; ++i) {
        args.push_back(Narrow(wide[i]));
    }
    ::LocalFree(wide);
    return args;
}

void UseBinaryStandardStreams()
{
    ::_setmode(::_fileno(stdin), _O_BINARY);
    ::_setmode(::_fileno(stdout), _O_BINARY);
}

namespace {

volatile LONG g_stop = 0;

BOOL WINAPI OnConsoleControl(DWORD)
{
    ::InterlockedExchange(&g_stop, 1);
    return TRUE;
}

} // namespace

void CatchStopSignals()
{
    ::SetConsoleCtrlHandler(OnConsoleControl, TRUE);
}

bool StopRequested()
{
    return ::InterlockedCompareExchange(&g_stop, 0, 0) != 0;
}

Result<int> RunProgram(const std::vector<std::string>& args, const std::vector<std::string>& env)
{
    if (args.empty()) {
        return Failure{FailureKind::ProgramFailed, EINVAL};
    }
    // _wspawnvp joins the arguments with blanks: each one goes in quotes, its quotes escaped.
    std::vector<std::wstring> quoted;
    for (const std::string& a : args) {
        std::wstring q = L"\"";
        for (const wchar_t c : PathFromUtf8(a).wstring()) {
            if (c == L'"')
                q += L'\\';
            q += c;
        }
        quoted.push_back(q + L"\"");
    }
    std::vector<const wchar_t*> argv;
    for (const std::wstring& q : quoted)
        argv.push_back(q.c_str());
    argv.push_back(nullptr);
    for (const std::string& e : env)
        ::_wputenv(Widen(e).c_str()); // inherited by the program started next
    const intptr_t status = ::_wspawnvp(_P_WAIT, PathFromUtf8(args[0]).c_str(), argv.data());
    if (status < 0) {
        return Failure{FailureKind::ProgramFailed, errno, 0, args[0]};
    }
    return static_cast<int>(status);
}

ConsoleSetup::ConsoleSetup()
{
    const UINT codePage = ::GetConsoleOutputCP();
    if (codePage != 0 && codePage != CP_UTF8 && ::SetConsoleOutputCP(CP_UTF8)) {
        m_oldCodePage = codePage;
    }
    // Escape sequences need the virtual-terminal mode (Windows 10 and later); without it the
    // progress line is drawn without them.
    const HANDLE err = ::GetStdHandle(STD_ERROR_HANDLE);
    DWORD mode = 0;
    if (err == nullptr || err == INVALID_HANDLE_VALUE || !::GetConsoleMode(err, &mode)) {
        m_escapes = false;
    } else if ((mode & ENABLE_VIRTUAL_TERMINAL_PROCESSING) == 0) {
        m_escapes = ::SetConsoleMode(err, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0;
        m_modeChanged = m_escapes;
        m_oldMode = mode;
    }
}

ConsoleSetup::~ConsoleSetup()
{
    if (m_modeChanged) {
        ::SetConsoleMode(::GetStdHandle(STD_ERROR_HANDLE), static_cast<DWORD>(m_oldMode));
    }
    if (m_oldCodePage != 0) {
        ::SetConsoleOutputCP(m_oldCodePage);
    }
}

} // namespace kuvrion

#endif // _WIN32
