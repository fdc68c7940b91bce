#include "app/MarkJob.h"

#include "app/AppState.h"
#include "app/ExportCommand.h"
#include "app/ImportCommand.h"
#include "app/Session.h"
#include "base/FileChecks.h"
#include "base/Platform.h"

#include <cerrno>

namespace fs = std::filesystem;

namespace kuvrion {

namespace {

// The hidden name a marked job is written under until its check passed: a leading "." and a
// trailing ".tmp", which every watcher of the folder skips.
fs::path Staged(const fs::path& target, const std::string& ext)
{
    fs::path name = target.parent_path() / ("." + PathToUtf8(target.stem()) + ext);
    name += kStagedMark;
    return name;
}

} // namespace

std::string OneLine(const std::string& text)
{
    std::string line;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text.compare(i, 2, "\r\n") == 0) {
            line += (line.empty() || line.back() == ':') ? " " : " - ";
            ++i;
        } else {
            line += text[i];
        }
    }
    return line;
}

std::string MarkResult::Text() const
{
    if (!failure) {
        return {};
    }
    if (const auto text = BadInputText(action, *failure)) {
        return *text;
    }
    return OneLine(MessageFor(action, failure).text);
}

MarkResult MarkJob(const MarkRequest& request)
{
    MarkResult result;
    AppState state;
    Reporter silent;
    Session session(state, silent);
    state.paths = LocateProgramPaths(request.programDir, request.settingsFile.empty()
                                                             ? fs::path()
                                                             : PathFromUtf8(request.settingsFile));
    if (!request.settingsFile.empty() && !FileExists(request.settingsFile)) {
        result.action = Action::Settings;
        result.failure = Failure{FailureKind::FileMissing, ENOENT, 0, request.settingsFile};
        return result;
    }
    session.Load();
    session.ChooseSource(request.job);
    const Outcome imported = RunImport(session);
    result.pages = state.jobPages;
    if (!imported.Ok()) {
        result.action = Action::Import;
        result.failure = imported.failure;
        result.failure->path = request.job;
        return result;
    }
    if (state.assignedPages == 0) {
        result.action = Action::Import;
        result.failure = Failure{FailureKind::NoAddressees, 0, 0, request.job};
        return result;
    }

    const fs::path target = PathFromUtf8(request.marked);
    const fs::path stagedJob = Staged(target, PathToUtf8(target.extension()));
    const fs::path stagedList = Staged(target, ".csv");
    session.ChooseDestination(PathToUtf8(stagedJob));
    session.BoundExportCount();
    const bool withList = state.cfg.manifest;
    ExportRequest exportRequest;
    if (withList) {
        exportRequest.manifestPath = PathToUtf8(stagedList);
    }
    const ExportOutcome exported = RunExport(session, exportRequest);
    result.stats = exported.stats;
    if (!exported.Ok()) {
        RemoveFileQuietly(stagedJob);
        RemoveFileQuietly(stagedList);
        result.failure = exported.failure;
        if (result.failure->path.empty() || result.failure->path == PathToUtf8(stagedJob)) {
            result.failure->path = request.marked;
        }
        return result;
    }
    // The envelope list first: a job under its own name always has its list beside it.
    if (withList) {
        fs::path list = target;
        list.replace_extension(".csv");
        if (auto replaced = ReplaceFile(stagedList, list); !replaced) {
            RemoveFileQuietly(stagedJob);
            RemoveFileQuietly(stagedList);
            result.failure =
                Failure{FailureKind::ManifestWrite, replaced.error().err, 0, PathToUtf8(list)};
            return result;
        }
        result.manifest = PathToUtf8(list);
    }
    if (auto replaced = ReplaceFile(stagedJob, target); !replaced) {
        RemoveFileQuietly(stagedJob);
        result.failure =
            Failure{FailureKind::TargetCommit, replaced.error().err, 0, request.marked};
    }
    return result;
}

} // namespace kuvrion
