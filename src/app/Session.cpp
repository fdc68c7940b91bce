#include "app/Session.h"

#include "app/Messages.h"
#include "base/FileChecks.h"
#include "base/Numbers.h"
#include "base/Platform.h"
#include "settings/SettingsCatalogue.h"

#include <algorithm>
#include <cerrno>

namespace kuvrion {

std::string KeyFingerprint(const Settings& c)
{
    std::string f = c.keyBegin;
    f += '\0';
    f += c.keyEnd;
    f += '\0';
    f += std::to_string(c.idLength) + '/' + std::to_string(c.keyMode);
    return f;
}

Session::Session(AppState& state, Reporter& reporter) : m_state(state), m_reporter(reporter)
{
    m_state.job.SetProgressHandler(
        [this](std::int32_t status, std::int64_t progress, bool& cancel) {
            switch (status) {
            case 0:
                m_reporter.SetProgressValue(0);
                m_reporter.SetProgressMaximum(static_cast<double>(progress));
                m_reporter.ShowStatus(1);
                m_reporter.ShowTotal(0);
                break;
            case 1:
                m_reporter.ProcessEvents();
                m_reporter.SetProgressValue(static_cast<double>(progress));
                m_reporter.ShowTotal(m_state.job.Pages());
                cancel = m_reporter.Cancelled();
                break;
            default:
                m_reporter.SetProgressValue(0);
                m_reporter.ShowStatus(0);
                break;
            }
        });
}

void Session::Load()
{
    AppState& st = m_state;
    st.ini.IniFile(PathToUtf8(st.paths.settingsFile));
    st.jobPages = 0;
    st.logAvailable = FileExists(PathToUtf8(st.paths.LogFile()));
    st.settingIssues.clear();
    st.cfg = LoadSettings(st.ini, &st.settingIssues);
    RefreshSource();
    RefreshDestination();
    m_reporter.ShowStatus(0);
    if (const std::string corrected = CorrectedSettingsNotice(); !corrected.empty()) {
        m_reporter.ShowNotice(corrected);
    }
    m_reporter.StateChanged();
}

void Session::ChooseSource(const std::string& path)
{
    m_state.cfg.sourceFile = path;
    RefreshSource();
    RefreshDestination();
    m_reporter.StateChanged();
}

void Session::ChooseDestination(const std::string& path)
{
    m_state.cfg.destinationFile = path;
    RefreshDestination();
    m_reporter.StateChanged();
}

void Session::SetExportCount(std::int32_t n)
{
    m_state.exportCount = n;
}

std::int32_t Session::BoundExportCount()
{
    m_state.exportCount = Clamp(m_state.exportCount, 1, std::max(m_state.addressees.Count(), 1));
    m_reporter.StateChanged();
    return m_state.exportCount;
}

std::optional<Failure> Session::SourceFault() const
{
    if (m_state.cfg.sourceFile.empty())
        return Failure{FailureKind::FileMissing};
    if (!m_state.sourceOk)
        return Failure{FailureKind::SourceMissing, ENOENT, 0, m_state.cfg.sourceFile};
    return std::nullopt;
}

std::optional<Failure> Session::DestinationFault(const std::string& dst) const
{
    if (dst.empty())
        return Failure{FailureKind::FileMissing};
    // An export over its own source would destroy the job while it is read, so the destination
    // must differ from the source under any spelling of the same file.
    if (SameFile(dst, m_state.cfg.sourceFile))
        return Failure{FailureKind::DestinationIsSource, 0, 0, dst};
    if (!DirExists(ParentPath(dst)))
        return Failure{FailureKind::TargetFolderMissing, ENOENT, 0, ParentPath(dst)};
    return std::nullopt;
}

std::optional<Failure> Session::DestinationFault() const
{
    const std::string& dst = m_state.cfg.destinationFile;
    if (dst.empty())
        return Failure{FailureKind::FileMissing};
    if (m_state.destinationOk)
        return std::nullopt;
    if (SameFile(dst, m_state.cfg.sourceFile))
        return Failure{FailureKind::DestinationIsSource, 0, 0, dst};
    return Failure{FailureKind::TargetFolderMissing, ENOENT, 0, ParentPath(dst)};
}

std::optional<Failure> Session::ImportBlocker() const
{
    if (auto fault = SourceFault())
        return fault;
    // A stored key setting the dialogs would refuse is not guessed at: any value in its place
    // would group the pages differently.
    if (auto refused = RefusedSetting(SettingGroup::Keys, FailureKind::SettingInvalid))
        return refused;
    if (!m_state.cfg.keyValid)
        return Failure{FailureKind::KeyIncomplete};
    return std::nullopt;
}

std::optional<Failure> Session::ExportBlocker() const
{
    if (!m_state.importComplete && m_state.lastImportFailure) {
        std::string why = MessageFor(Action::Import, m_state.lastImportFailure).text;
        for (std::size_t at; (at = why.find("\r\n")) != std::string::npos;)
            why.replace(at, 2, " ");
        return Failure{FailureKind::ImportRefused, 0, 0, {}, std::move(why)};
    }
    if (!m_state.importComplete)
        return Failure{FailureKind::ImportIncomplete};
    if (m_state.addressees.Count() < 1)
        return Failure{FailureKind::NoAddressees};
    return DestinationFault();
}

std::optional<Failure> Session::RefusedSetting(SettingGroup group, FailureKind what) const
{
    for (const SettingIssue& issue : m_state.settingIssues) {
        const SettingDef* row = FindSetting(issue.key);
        if (issue.refused && row && row->group == group) {
            return Failure{what, 0, 0, PathToUtf8(m_state.paths.settingsFile.filename()),
                           issue.key + "=" + issue.found};
        }
    }
    return std::nullopt;
}

Result<FeedRules> Session::FeedRulesOrRefusal() const
{
    if (auto refused = RefusedSetting(SettingGroup::Feed, FailureKind::FeedRuleInvalid)) {
        return *refused;
    }
    return LoadFeedRules(m_state.cfg, m_state.paths.dataDir);
}

std::string Session::CorrectedSettingsNotice() const
{
    return CorrectedSettingsText(PathToUtf8(m_state.paths.settingsFile.filename()),
                                 m_state.settingIssues);
}

std::optional<Failure> Session::SourceGone()
{
    // The file the pages come from is the one imported, whatever the source field names now.
    const std::string& imported = m_state.job.FileName();
    if (!m_state.job.Connected() || imported.empty() || FileExists(imported))
        return std::nullopt;
    RefreshSource();
    RefreshDestination();
    m_reporter.StateChanged();
    return Failure{FailureKind::SourceMissing, ENOENT, 0, imported};
}

void Session::RefreshSource()
{
    m_state.sourceOk = FileExists(m_state.cfg.sourceFile);
}

void Session::RefreshDestination()
{
    m_state.destinationOk = !DestinationFault(m_state.cfg.destinationFile);
}

} // namespace kuvrion
