#include "app/ReferencePageCommand.h"

#include "app/TargetFile.h"
#include "base/FileChecks.h"
#include "base/Platform.h"
#include "marking/RefJob.h"

#include <cerrno>

namespace kuvrion {

RefPageOptions RefPageDefaults(const Session& session)
{
    const AppState& st = session.State();
    return ReadRefPageOptions(st.ini, PathToUtf8(st.paths.RefPageFile()));
}

void RememberRefPageOptions(Session& session, const RefPageOptions& options)
{
    static_cast<void>(WriteRefPageOptions(session.State().ini, options));
}

std::string RefPageReason(const RefPageOptions& options)
{
    if (!DirExists(ParentPath(options.path))) {
        return MessageFor(Action::ExportReason, Failure{FailureKind::TargetFolderMissing, ENOENT, 0,
                                                        ParentPath(options.path)})
            .text;
    }
    if (!options.grid && !options.marks) {
        return BadInputText(Action::RefPage, Failure{FailureKind::NothingToDraw}).value_or("");
    }
    return {};
}

Outcome RunReferencePage(Session& session, const RefPageOptions& options)
{
    if (!options.grid && !options.marks) {
        return OutcomeOf(Action::RefPage, Failure{FailureKind::NothingToDraw});
    }
    const std::string job = BuildRefJob(session.State().cfg, options.grid, options.marks);
    if (auto written = WriteTargetFile(session.Report(), options.path, TextWriter(job)); !written) {
        return OutcomeOf(Action::RefPage, written.error());
    }
    return OutcomeOf(Action::RefPage, std::nullopt);
}

} // namespace kuvrion
