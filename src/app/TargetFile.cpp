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
    return [&text](const Sink& sink) -> Result<void> {
        if (sink(text))
            return {};
        return Failure{FailureKind::TargetWrite};
    };
}

Result<void> WriteTargetFile(Reporter& reporter, const std::string& path, const FileWriter& write,
                             const WriteSteps& steps)
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
    const Result<void> written = write([&](std::string_view bytes) {
        cancelled = cancelled || reporter.Cancelled();
        if (cancelled)
            return false;
        auto piece = out.Write(bytes);
        if (!piece)
            writeErr = piece.error().err;
        return piece.has_value();
    });
    // What stopped the write so far; the steps after it run only without one.
    std::optional<Failure> failure;
    if (!written) {
        failure = written.error();
    }
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
        if (auto ready = steps.beforeRename(PathToUtf8(out.TempPath())); !ready) {
            failure = ready.error();
        }
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
    if (failure) {
        return *failure;
    }
    return {};
}

} // namespace kuvrion
