#include "app/SkeletonCommand.h"

#include "app/TargetFile.h"
#include "base/Platform.h"
#include "pcljob/EscSkeleton.h"

namespace kuvrion {

bool CanSaveSkeleton(const Session& session)
{
    return session.State().jobPages != 0 && session.State().job.Connected();
}

std::string SkeletonPath(const Session& session)
{
    const AppState& st = session.State();
    return ReadSkeletonPath(st.ini, PathToUtf8(st.paths.SkeletonFile()));
}

void RememberSkeletonPath(Session& session, const std::string& path)
{
    static_cast<void>(WriteSkeletonPath(session.State().ini, path));
}

Outcome RunSkeleton(Session& session, const std::string& path)
{
    AppState& st = session.State();
    if (!CanSaveSkeleton(session)) {
        return OutcomeOf(Action::Skeleton, Failure{FailureKind::NoPages, 0, 0, st.cfg.sourceFile});
    }
    if (std::optional<Failure> gone = session.SourceGone()) {
        return OutcomeOf(Action::Skeleton, std::move(gone));
    }
    if (st.job.SourceChanged()) {
        return OutcomeOf(Action::Skeleton,
                         Failure{FailureKind::SourceChanged, 0, 0, st.cfg.sourceFile});
    }
    const FileWriter skeleton = [&st](const Sink& sink) {
        return WriteEscSkeleton(st.job, st.jobPages, st.cfg.fillChar, sink);
    };
    if (auto written = WriteTargetFile(session.Report(), path, skeleton); !written) {
        return OutcomeOf(Action::Skeleton, written.error());
    }
    return OutcomeOf(Action::Skeleton, std::nullopt);
}

} // namespace kuvrion
