// The few operations whose system calls differ between Linux and Windows: file names, reading a
// job at an offset, the change stamp of a file, creating, flushing and replacing files, the
// program's and the user's folders, local time and the console. Platform_posix.cpp and
// Platform_win32.cpp implement them side by side; the build compiles the one of its system.
//
// File names travel as UTF-8 text everywhere in the program; they become system names only here.
// No function throws; a failure comes back in a Result, with the errno value and the operation:
// SourceUnreadable (opening or reading a file to read; the offset of a failed read),
// TargetOpen, TargetWrite and TargetCommit (creating, writing, and flushing or replacing a file to
// write), ProgramFailed (running a program). The caller, which knows what the file is for, names
// the failure anew where its message needs another kind.
#pragma once

#include "base/Result.h"

#include <cstdint>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kuvrion {

// UTF-8 text <-> path. Use these for every file name that comes from or goes to text (settings,
// command line, messages); a plain std::filesystem::path(std::string) reads the bytes in the
// system's narrow code page on Windows.
std::filesystem::path PathFromUtf8(std::string_view utf8);
std::string PathToUtf8(const std::filesystem::path& path);

// What tells one state of a file from another: size, modification and change time, identity. The
// change time is part of it because a program may overwrite a file in place and set its
// modification time back; device and inode (volume and file index) tell a file replaced under
// the same name.
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

// The stamp of the file `path` names now; nullopt when it cannot be read.
std::optional<FileStamp> StampOfFile(const std::filesystem::path& path);

// A regular file opened read-only for reads at any offset; closed when destroyed. Reads may come
// from two threads at once.
class InputFile {
public:
    virtual ~InputFile() = default;
    // Reads up to `n` bytes at `offset`; the count read (less only at the end of the file).
    virtual Result<std::int64_t> ReadAt(std::int64_t offset, char* buf, std::int64_t n) = 0;
    // The stamp when it was opened.
    virtual const FileStamp& Stamp() const = 0;
};
// Fails when the file cannot be opened or is not a regular file (EISDIR for a folder, EINVAL for
// a pipe or a device; a named pipe never blocks the open).
Result<std::unique_ptr<InputFile>> OpenInputFile(const std::filesystem::path& path);

// Opens a stdio stream in binary mode ("rb", "wb", "ab"), which the caller closes.
Result<std::FILE*> OpenStream(const std::filesystem::path& path, const char* mode);

// Appends `bytes` to a stream; fails when not all of them could be written.
Result<void> WriteToStream(std::FILE* file, std::string_view bytes);

// A fault for tests, the same on every system: while one lives, WriteToStream writes nothing and
// fails with EFBIG when a stream would grow past `bytes`, as writes fail past a file-size limit.
// One at a time.
class WriteLimitForTests {
public:
    explicit WriteLimitForTests(std::int64_t bytes);
    ~WriteLimitForTests();
    WriteLimitForTests(const WriteLimitForTests&) = delete;
    WriteLimitForTests& operator=(const WriteLimitForTests&) = delete;
};

// Creates `path`, which must not exist, for writing in binary mode. With `permissionsOf` the new
// file gets the permission bits of that existing file, else the usual ones for a new file. The
// caller closes the stream. Fails with EEXIST when the name is taken.
Result<std::FILE*> CreateNewFile(const std::filesystem::path& path,
                                 const std::filesystem::path* permissionsOf);
// Hands `length` bytes from `offset` of a stream that were already flushed to the disk without
// waiting (a hint; does nothing where the system has no such call).
void StartWriteBack(std::FILE* file, std::int64_t offset, std::int64_t length);
// Flushes the stream and waits until the disk holds its data.
Result<void> FlushToDisk(std::FILE* file);
// Renames `from` over `to`, replacing it, durable once it succeeds.
Result<void> ReplaceFile(const std::filesystem::path& from, const std::filesystem::path& to);
// Removes a file; errors are ignored (used to drop temporary files).
void RemoveFileQuietly(const std::filesystem::path& path);

// Whether the user may create files in the folder `dir`.
bool IsWritableFolder(const std::filesystem::path& dir);
// The running program's own file, or `argv0` made absolute when that cannot be found.
std::filesystem::path RunningProgramFile(const char* argv0);
// The per-user folder for the program's settings: %APPDATA%\Kuvrion on Windows, else
// $XDG_CONFIG_HOME/Kuvrion or ~/.config/Kuvrion.
std::filesystem::path UserSettingsFolder();
// Whether the program lies in a system-wide installation folder, where it keeps no settings.
bool IsSystemInstallFolder(const std::filesystem::path& dir);

// The local time of `t`; nullopt when it cannot be converted.
std::optional<std::tm> LocalTime(std::time_t t);
// The process id, to make names of temporary files unique.
std::uint64_t ProcessId();
// Whether standard error is a terminal (the command-line tool then draws its progress line).
bool StdErrIsTerminal();

// The arguments of a command-line program as UTF-8 text, without the program's name. On Windows
// they come from the wide command line, since `argv` holds them in the ANSI code page, which
// cannot spell every file name.
std::vector<std::string> CommandLineArguments(int argc, char** argv);

// Standard input and output carry bytes unchanged (Windows would turn LF into CR LF and stop
// reading at a Ctrl+Z byte).
void UseBinaryStandardStreams();

// From now on SIGTERM and Ctrl+C (on Windows Ctrl+C, Ctrl+Break and closing the console) do not
// end the process but make StopRequested() true, so a service ends after its current job.
void CatchStopSignals();
bool StopRequested();

// Runs a program (a path, or a name found on the PATH) with `args` (args[0] is its name) and the
// environment variables `env` ("NAME=value") added to this process's, and waits for it. Its exit
// status; fails when it could not be started or did not end normally.
Result<int> RunProgram(const std::vector<std::string>& args, const std::vector<std::string>& env);

// The console of a command-line program while it lives: UTF-8 output, and escape sequences on
// standard error where the console can turn them on; the old settings come back at the end.
class ConsoleSetup {
public:
    ConsoleSetup();
    ~ConsoleSetup();
    ConsoleSetup(const ConsoleSetup&) = delete;
    ConsoleSetup& operator=(const ConsoleSetup&) = delete;

    // Whether standard error understands escape sequences (else the progress line is plain text).
    bool Escapes() const { return m_escapes; }

private:
    bool m_escapes = true;
#ifdef _WIN32
    unsigned m_oldCodePage = 0;  // the console's output code page, 0 when unchanged
    unsigned long m_oldMode = 0; // the console mode of standard error...
    bool m_modeChanged = false;  // ... when it was changed
#endif
};

} // namespace kuvrion
