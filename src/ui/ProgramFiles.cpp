#include "ProgramFiles.h"

#include "MessageBox.h"
#include "app/Outcome.h"
#include "base/FileChecks.h"
#include "base/Platform.h"
#include "base/Version.h"

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace fs = std::filesystem;

namespace kuvrion {

namespace {

constexpr const char* kUpdater = "Zephrin.exe";
constexpr const char* kUnzipper = "UNZIP.COM";

void Tell(QWidget* parent, Action action, Failure failure)
{
    MessageBox::Tell(parent, OutcomeOf(action, std::move(failure)));
}

} // namespace

std::optional<std::string> LogFileToOpen(QWidget* parent, const ProgramPaths& paths)
{
    const std::string log = PathToUtf8(paths.LogFile());
    if (FileExists(log)) {
        return log;
    }
    Tell(parent, Action::ShowLog, Failure{FailureKind::FileMissing, ENOENT, 0, log});
    return std::nullopt;
}

std::optional<std::string> LogText(QWidget* parent, const ProgramPaths& paths)
{
    const std::optional<std::string> log = LogFileToOpen(parent, paths);
    if (!log) {
        return std::nullopt;
    }
    std::ifstream in(PathFromUtf8(*log), std::ios::binary);
    std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    if (in.bad()) {
        return std::nullopt;
    }
    return bytes;
}

std::optional<std::string> ManualToOpen(QWidget* parent, const ProgramPaths& paths)
{
    if (const auto manual = paths.Manual()) {
        return PathToUtf8(*manual);
    }
    Tell(parent, Action::OpenManual, Failure{FailureKind::FileMissing, ENOENT, 0, ManualName()});
    return std::nullopt;
}

void NoViewer(QWidget* parent, Action action, const std::string& path)
{
    Tell(parent, action, Failure{FailureKind::NoViewer, 0, 0, path});
}

bool WebUpdateAvailable(const ProgramPaths& paths)
{
    return FileExists(PathToUtf8(paths.programDir / kUpdater)) &&
           FileExists(PathToUtf8(paths.programDir / kUnzipper));
}

std::vector<std::string> UpdaterCommandLine(const ProgramPaths& paths)
{
    const Version v;
    return {PathToUtf8(paths.programDir / kUpdater),
            std::string(kProductName),
            std::string(kProductName),
            std::to_string(v.major),
            std::to_string(v.minor),
            std::to_string(v.revision)};
}

} // namespace kuvrion
