#include "app/TargetFile.h"

#include "base/AtomicFile.h"
#include "base/FileChecks.h"
#include "base/Platform.h"

#include <filesystem>

namespace kuvrion {

namespace {

// A destination that cannot take a new file under its name: a write-protected file or a folder.
bool BlockedTarget(const std::string& path)
{
    std::error_code ec;
    return IsWriteProtected(PathFromUtf8(path)) ||
           std::filesystem::is_directory(PathFromUtf8(path), ec);
}

} // namespace

FileWriter TextWriter(const std::string& text)
{
    return [&text](const Sink& sink) -> std::optional<Failure> {
        if (sink(text))
            return std::nullopt;
        return Failure{FailureKind::TargetWrite};
    };
}

std::optional<Failure> WriteTargetFile(Reporter& reporter, const std::string& path,
                                       const FileWriter& write, const WriteSteps& steps)
{
    if (BlockedTarget(path)) {
        return Failure{FailureKind::TargetBlocked, 0, 0, path};
    }
    AtomicFile out;
    if (auto opened = out.Open(PathFromUtf8(path)); !opened) {
        const std::string folder = ParentPath(path);
        const FailureKind what = folder.empty() || DirExists(folder)
                                     ? FailureKind::TargetOpen
                                     : FailureKind::TargetFolderMissing;
        return Failure{what, opened.error().err, 0, path};
    }
    reporter.SetBusy(true);
    // A stop asked for ends the write like a failing one, and the temporary file goes.
    bool cancelled = false;
    int writeErr = 0;
    std::optional<Failure> failure = write([&](std::string_view bytes) {
        cancelled = cancelled || reporter.Cancelled();
        if (cancelled)
            return false;
        auto written = out.Write(bytes);
        if (!written)
            writeErr = written.error().err;
        return written.has_value();
    });
    if (failure && failure->what == FailureKind::TargetWrite) {
        failure->err = writeErr;
        failure->path = path;
    }
    if (cancelled) {
        failure = Failure{FailureKind::Cancelled, 0, 0, path};
    }
    if (!failure && steps.check) {
        if (auto closed = out.Close(); !closed) {
            failure = Failure{FailureKind::TargetCommit, closed.error().err, 0, path};
        } else if (const bool passed = steps.check(PathToUtf8(out.TempPath()));
                   reporter.Cancelled()) {
            failure = Failure{FailureKind::Cancelled, 0, 0, path};
        } else if (!passed) {
            // The target keeps its last good content; the rejected file stays for a look.
            failure = Failure{FailureKind::CheckFailed, 0, 0, steps.rejectPath};
            if (auto kept = out.CommitTo(PathFromUtf8(steps.rejectPath)); !kept) {
                failure->err = kept.error().err;
                failure->path.clear();
            }
        }
    }
    if (!failure && steps.beforeRename) {
        failure = steps.beforeRename(PathToUtf8(out.TempPath()));
    }
    if (auto committed = failure ? Result<void>() : out.Commit(); !committed) {
        failure = Failure{FailureKind::TargetCommit, committed.error().err, 0, path};
        if (steps.renameFailed) {
            steps.renameFailed();
        }
    }
    if (failure) {
        out.Discard();
    }
    reporter.ShowStatus(0);
    reporter.SetBusy(false);
    return failure;
}

} // namespace kuvrion
