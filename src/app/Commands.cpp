#include "app/Commands.h"

#include "addressees/AdrKey.h"
#include "addressees/ImportPass.h"
#include "app/ImportSummary.h"
#include "app/SequenceState.h"
#include "base/AtomicFile.h"
#include "base/ByteText.h"
#include "base/FileChecks.h"
#include "base/Numbers.h"
#include "base/Platform.h"
#include "base/Version.h"
#include "marking/CodeRules.h"
#include "marking/DmxSymbol.h"
#include "marking/Manifest.h"
#include "marking/RefJob.h"
#include "marking/SheetPlan.h"
#include "pcljob/EscSkeleton.h"
#include "settings/SettingsCatalogue.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace fs = std::filesystem;

namespace kuvrion {

namespace {

// The key settings the page text search depends on, as one text to compare.
std::string KeyFingerprint(const Settings& c)
{
    std::string f = c.sAdrKeyBeg;
    f += '\0';
    f += c.sAdrKeyEnd;
    f += '\0';
    f += std::to_string(c.nAdrIdLen) + '/' + std::to_string(c.nAdrKeyMode);
    return f;
}

// A destination that cannot take a new file under its name: a write-protected file or a folder.
bool BlockedTarget(const std::string& path)
{
    std::error_code ec;
    return IsWriteProtected(PathFromUtf8(path)) || fs::is_directory(PathFromUtf8(path), ec);
}

} // namespace

Commands::Commands(AppState& state, Reporter& reporter) : m_state(state), m_reporter(reporter)
{
    m_state.MyPcl.SetProgressHandler(
        [this](std::int32_t nStatus, std::int64_t nValue, bool& bCancel) {
            switch (nStatus) {
            case 0:
                m_reporter.SetProgressValue(0);
                m_reporter.SetProgressMaximum(static_cast<double>(nValue));
                m_reporter.ShowStatus(1);
                m_reporter.ShowTotal(0);
                break;
            case 1:
                m_reporter.ProcessEvents();
                m_reporter.SetProgressValue(static_cast<double>(nValue));
                m_reporter.ShowTotal(m_state.MyPcl.Pages());
                bCancel = m_reporter.Cancelled();
                break;
            default:
                m_reporter.SetProgressValue(0);
                m_reporter.ShowStatus(0);
                break;
            }
        });
}

void Commands::Load()
{
    AppState& st = m_state;
    st.oIni.IniFile(PathToUtf8(st.paths.settingsFile));
    st.nJobPages = 0;
    st.bLogAvailable = FileExists(PathToUtf8(st.paths.LogFile()));
    st.bRunUpdater = false;
    // The updater is only offered when both of its files lie in the program's folder.
    st.bWebUpdateAvailable = FileExists(PathToUtf8(st.paths.programDir / "Zephrin.exe")) &&
                             FileExists(PathToUtf8(st.paths.programDir / "UNZIP.COM"));
    st.settingIssues.clear();
    st.cfg = LoadSettings(st.oIni, &st.settingIssues);
    RefreshSource();
    RefreshDestination();
    m_reporter.ShowStatus(0);
    if (const std::string corrected = CorrectedSettingsNotice(); !corrected.empty()) {
        m_reporter.ShowNotice(corrected);
    }
    m_reporter.StateChanged();
}

bool Commands::CanImport() const
{
    return m_state.bSrcOK && m_state.cfg.bAdrKeyValid && !RefusedSetting();
}

std::optional<Failure> Commands::RefusedSetting(SettingGroup group, FailureKind what) const
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

std::optional<Failure> Commands::RefusedSetting() const
{
    return RefusedSetting(SettingGroup::Keys, FailureKind::SettingInvalid);
}

std::optional<Failure> Commands::RefusedFeedRule() const
{
    return RefusedSetting(SettingGroup::Feed, FailureKind::FeedRuleInvalid);
}

std::optional<Failure> Commands::FeedRulesOrRefusal(FeedRules& rules) const
{
    if (std::optional<Failure> refused = RefusedFeedRule()) {
        return refused;
    }
    return LoadFeedRules(m_state.cfg, m_state.paths.dataDir, rules);
}

std::string Commands::CorrectedSettingsNotice() const
{
    return CorrectedSettingsText(PathToUtf8(m_state.paths.settingsFile.filename()),
                                 m_state.settingIssues);
}

bool Commands::CanExport() const
{
    return m_state.Persons.Count() >= 1 && m_state.bDstOK && m_state.bImportComplete;
}

bool Commands::CanShowImportStatus() const
{
    return m_state.nJobPages != 0;
}

bool Commands::CanSaveSkeleton() const
{
    return m_state.nJobPages != 0 && m_state.MyPcl.Connected();
}

std::optional<Failure> Commands::SourceFault() const
{
    if (m_state.cfg.sSrcFile.empty())
        return Failure{FailureKind::FileMissing};
    if (!m_state.bSrcOK)
        return Failure{FailureKind::SourceMissing, ENOENT, 0, m_state.cfg.sSrcFile};
    return std::nullopt;
}

std::optional<Failure> Commands::DestinationFault() const
{
    const std::string& dst = m_state.cfg.sDstFile;
    if (dst.empty())
        return Failure{FailureKind::FileMissing};
    if (m_state.bDstOK)
        return std::nullopt;
    if (SameFile(dst, m_state.cfg.sSrcFile))
        return Failure{FailureKind::DestinationIsSource, 0, 0, dst};
    return Failure{FailureKind::TargetFolderMissing, ENOENT, 0, ParentPath(dst)};
}

std::string Commands::SourceReason() const
{
    const auto fault = SourceFault();
    return fault ? MessageFor(Action::ImportReason, fault).text : std::string();
}

std::string Commands::DestinationReason() const
{
    const auto fault = DestinationFault();
    return fault ? MessageFor(Action::ExportReason, fault).text : std::string();
}

std::string Commands::ImportReason() const
{
    if (const auto fault = SourceFault())
        return MessageFor(Action::ImportReason, fault).text;
    if (const auto refused = RefusedSetting())
        return MessageFor(Action::ImportReason, refused).text;
    if (!m_state.cfg.bAdrKeyValid)
        return MessageFor(Action::ImportReason, Failure{FailureKind::KeyIncomplete}).text;
    return {};
}

std::string Commands::ExportReason() const
{
    if (!m_state.bImportComplete && m_state.lastImportFailure) {
        std::string why = MessageFor(Action::Import, m_state.lastImportFailure).text;
        for (std::size_t at; (at = why.find("\r\n")) != std::string::npos;)
            why.replace(at, 2, " ");
        return MessageFor(Action::ExportReason,
                          Failure{FailureKind::ImportRefused, 0, 0, {}, std::move(why)})
            .text;
    }
    if (!m_state.bImportComplete)
        return MessageFor(Action::ExportReason, Failure{FailureKind::ImportIncomplete}).text;
    if (m_state.Persons.Count() < 1)
        return MessageFor(Action::ExportReason, Failure{FailureKind::NoAddressees}).text;
    return DestinationReason();
}

std::vector<std::string> Commands::RuleWarnings() const
{
    std::vector<std::string> texts;
    for (const RuleWarning w : CheckRules(m_state.cfg))
        texts.push_back(RuleWarningText(w));
    return texts;
}

std::optional<Failure> Commands::SourceGone()
{
    // The file the pages come from is the one imported, whatever the source field names now.
    const std::string& imported = m_state.MyPcl.FileName();
    if (!m_state.MyPcl.Connected() || imported.empty() || FileExists(imported))
        return std::nullopt;
    RefreshSource();
    RefreshDestination();
    m_reporter.StateChanged();
    return Failure{FailureKind::SourceMissing, ENOENT, 0, imported};
}

void Commands::RefreshSource()
{
    m_state.bSrcOK = FileExists(m_state.cfg.sSrcFile);
}

void Commands::RefreshDestination()
{
    // An export over its own source would destroy the job while it is read, so the destination
    // must differ from the source under any spelling of the same file.
    const std::string& dst = m_state.cfg.sDstFile;
    m_state.bDstOK = DirExists(ParentPath(dst)) && !SameFile(dst, m_state.cfg.sSrcFile);
}

void Commands::ChooseSource(const std::string& path)
{
    m_state.cfg.sSrcFile = path;
    RefreshSource();
    RefreshDestination();
    m_reporter.StateChanged();
}

void Commands::RememberSource(std::optional<std::int32_t> filterIndex)
{
    static_cast<void>(WriteSourceFile(m_state.oIni, m_state.cfg.sSrcFile, filterIndex));
}

void Commands::UseCommandLineFile(const std::string& path)
{
    if (FileExists(path)) {
        ChooseSource(path);
        RememberSource(std::nullopt);
        return;
    }
    ChooseSource({});
    Finish(Action::CommandLine, Failure{FailureKind::FileMissing, ENOENT, 0, path});
}

void Commands::ChooseDestination(const std::string& path)
{
    m_state.cfg.sDstFile = path;
    RefreshDestination();
    m_reporter.StateChanged();
}

void Commands::RememberDestination(std::optional<std::int32_t> filterIndex)
{
    static_cast<void>(WriteDestinationFile(m_state.oIni, m_state.cfg.sDstFile, filterIndex));
}

std::string Commands::SuggestedDestination() const
{
    const std::string& src = m_state.cfg.sSrcFile;
    if (src.empty() || !DirExists(ParentPath(src))) {
        return {};
    }
    fs::path suggested = PathFromUtf8(src);
    suggested.replace_filename(suggested.stem().u8string() + u8"-OME.pcl");
    return PathToUtf8(suggested);
}

std::int32_t Commands::SourceFilterIndex() const
{
    return ReadFilterIndex(m_state.oIni, false);
}

std::int32_t Commands::DestinationFilterIndex() const
{
    return ReadFilterIndex(m_state.oIni, true);
}

void Commands::SetExportCount(std::int32_t n)
{
    m_state.nExportCount = n;
}

std::int32_t Commands::BoundExportCount()
{
    m_state.nExportCount = Clamp(m_state.nExportCount, 1, std::max(m_state.Persons.Count(), 1));
    m_reporter.StateChanged();
    return m_state.nExportCount;
}

Outcome Commands::ScanSource()
{
    AppState& st = m_state;
    st.nJobPages = 0;
    st.bImportComplete = false;
    st.bJobDuplex = false;
    st.Persons.Clear();
    st.keySpans.clear();
    int readErr = 0;
    if (st.bSrcOK) {
        if (auto connected = st.MyPcl.Connect(st.cfg.sSrcFile); !connected) {
            readErr = connected.error().err;
        }
    }
    const bool ok = st.bSrcOK && readErr == 0;
    st.nJobPages = ok ? st.MyPcl.Pages() : 0;
    m_reporter.StateChanged();
    if (!st.bSrcOK) {
        return Finish(Action::Scan,
                      Failure{FailureKind::SourceMissing, ENOENT, 0, st.cfg.sSrcFile});
    }
    if (!ok) {
        return Finish(Action::Scan,
                      Failure{FailureKind::SourceUnreadable, readErr, 0, st.cfg.sSrcFile});
    }
    return Finish(Action::Scan, std::nullopt);
}

Outcome Commands::Import()
{
    AppState& st = m_state;
    if (!st.bSrcOK) {
        return Finish(Action::Import,
                      Failure{FailureKind::SourceMissing, ENOENT, 0, st.cfg.sSrcFile});
    }
    // A stored key setting the dialogs would refuse is not guessed at: any value in its place
    // would group the pages differently.
    if (std::optional<Failure> refused = RefusedSetting()) {
        return Finish(Action::Import, std::move(refused));
    }
    if (!st.cfg.bAdrKeyValid) {
        return Finish(Action::Import, Failure{FailureKind::KeyIncomplete});
    }
    m_reporter.SetBusy(true);
    st.bLastExportFailed = false;
    st.nExportCount = 0;
    st.nJobPages = 0;
    st.nImpAssigned = 0;
    st.bImportComplete = false;
    st.bJobDuplex = false;
    st.keySpans.clear();
    m_reporter.StateChanged();

    ImportHooks hooks;
    hooks.words = ImportLogWording();
    hooks.onPagesKnown = [&](std::int32_t n) {
        st.nJobPages = n;
        m_reporter.StateChanged();
    };
    hooks.onCollectStart = [&](std::int32_t n) {
        m_reporter.SetProgressValue(0);
        m_reporter.SetProgressMaximum(n);
        m_reporter.ShowTotal(n);
        m_reporter.ShowStatus(2);
    };
    hooks.onPage = [&](std::int32_t i) {
        m_reporter.ProcessEvents();
        m_reporter.SetProgressValue(i);
        m_reporter.ShowCurrent(i);
    };
    hooks.cancelled = [this] { return m_reporter.Cancelled(); };
    hooks.refusalText = [](const Failure& refusal) {
        return MessageFor(Action::Import, refusal).text;
    };

    st.log.Open(st.paths.LogFile(), st.cfg.bUseLog);
    if (st.cfg.bUseLog) {
        st.bLogAvailable = true;
        if (const std::string corrected = CorrectedSettingsNotice(); !corrected.empty()) {
            static_cast<void>(st.log.Write(Utf8ToCp1252(corrected) + "\r\n"));
        }
    }
    // The pass closes the log: a failure of its last flush is a failed log write like any other.
    ImportResult result = RunImportPass(st.MyPcl, st.cfg.sSrcFile, st.cfg, st.Persons, st.keyFaultCounts,
                                        st.log, std::time(nullptr), hooks);

    st.nJobPages = result.nJobPages;
    st.nImpAssigned = result.nImpAssigned;
    st.keySpans = std::move(result.keySpans);
    st.keySpansSettings = KeyFingerprint(st.cfg);
    if (!result.failure && st.nJobPages > 0) {
        st.nExportCount = st.Persons.Count();
        st.bImportComplete = true;
        st.bJobDuplex = st.MyPcl.Duplex() != DuplexMode::None;
    }
    m_reporter.ShowStatus(0);
    m_reporter.SetBusy(false);
    m_reporter.StateChanged();

    if (!result.failure && st.nJobPages == 0) {
        // A job without pages (an empty file, a text without page ends) is nothing to work with.
        result.failure = Failure{FailureKind::NoPages, 0, 0, st.cfg.sSrcFile};
    }
    // The pass knows which file failed; the message names it.
    if (result.failure && result.failure->what == FailureKind::LogWrite) {
        result.failure->path = PathToUtf8(st.paths.LogFile());
    } else if (result.failure && result.failure->what == FailureKind::PageRead) {
        result.failure->path = st.cfg.sSrcFile;
    }
    // A stopped import counts as not run: nothing to explain later.
    st.lastImportFailure = result.failure && result.failure->what != FailureKind::Cancelled
                               ? result.failure
                               : std::nullopt;
    if (result.failure) {
        m_reporter.StateChanged();
        return Finish(Action::Import, std::move(result.failure));
    }
    if (ImportHasKeyFaults(st)) {
        m_reporter.ShowImportStatus();
    }
    if (st.nImpAssigned == 0) {
        // Not one key: the job's text is most often not text to the search (downloaded fonts,
        // graphics), or the marker is spelt otherwise in the job. The import itself went
        // through; the message says where to look.
        return Tell(MessageFor(Action::Import, NoKeyFound()));
    }
    return Finish(Action::Import, std::nullopt);
}

Failure Commands::NoKeyFound() const
{
    const AppState& st = m_state;
    Failure failure{FailureKind::NoAddressees, 0, 0, st.cfg.sSrcFile};
    if (st.keyFaultCounts[kKeyNotFound] != st.nJobPages) {
        return failure; // the marker is there; the IDs after it are not
    }
    failure.what = FailureKind::MarkerAbsent;
    // A marker spelt with other punctuation or case shows on the first pages, if at all.
    constexpr std::int32_t kPagesLookedAt = 200;
    std::string bytes;
    for (std::int32_t page = 1; page <= std::min(st.nJobPages, kPagesLookedAt); ++page) {
        if (!st.MyPcl.ReadPage(page, bytes)) {
            break;
        }
        const std::string nearest = NearestMarkerText(GetPageText(bytes), st.cfg.sAdrKeyBeg);
        if (!nearest.empty()) {
            failure.what = FailureKind::MarkerNearby;
            failure.detail = Cp1252ToUtf8(nearest);
            break;
        }
    }
    return failure;
}

Outcome Commands::Finish(Action action, std::optional<Failure> failure)
{
    Message message = MessageFor(action, failure);
    if (!message.text.empty()) {
        m_reporter.ShowMessage(message.text, message.kind);
    }
    return {std::move(failure), std::move(message.text), message.kind};
}

Outcome Commands::Tell(Message message)
{
    m_reporter.ShowMessage(message.text, message.kind);
    return {std::nullopt, std::move(message.text), message.kind};
}

Commands::FileWriter Commands::TextWriter(const std::string& text)
{
    return [&text](const Sink& sink) -> std::optional<Failure> {
        if (sink(text))
            return std::nullopt;
        return Failure{FailureKind::TargetWrite};
    };
}

Outcome Commands::WriteTarget(Action action, const std::string& path, const FileWriter& write)
{
    return Finish(action, WriteFile(path, write));
}

std::optional<Failure> Commands::WriteFile(const std::string& path, const FileWriter& write,
                                           const FileCheck& check, const std::string& rejectPath,
                                           const RenameSteps& steps)
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
    m_reporter.SetBusy(true);
    // A stop asked for ends the write like a failing one, and the temporary file goes.
    bool cancelled = false;
    int writeErr = 0;
    std::optional<Failure> failure = write([&](std::string_view bytes) {
        cancelled = cancelled || m_reporter.Cancelled();
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
    if (!failure && check) {
        if (auto closed = out.Close(); !closed) {
            failure = Failure{FailureKind::TargetCommit, closed.error().err, 0, path};
        } else if (const bool passed = check(PathToUtf8(out.TempPath())); m_reporter.Cancelled()) {
            failure = Failure{FailureKind::Cancelled, 0, 0, path};
        } else if (!passed) {
            // The target keeps its last good content; the rejected file stays for a look.
            failure = Failure{FailureKind::CheckFailed, 0, 0, rejectPath};
            if (auto kept = out.CommitTo(PathFromUtf8(rejectPath)); !kept) {
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
    m_reporter.ShowStatus(0);
    m_reporter.SetBusy(false);
    return failure;
}

Outcome Commands::Export()
{
    AppState& st = m_state;
    const std::string& dst = st.cfg.sDstFile;
    if (st.Persons.Count() < 1) {
        return Finish(Action::Export, Failure{FailureKind::NoAddressees});
    }
    if (!st.bImportComplete) {
        return Finish(Action::Export, Failure{FailureKind::ImportIncomplete});
    }
    if (!st.bDstOK) {
        return Finish(Action::Export,
                      SameFile(dst, st.cfg.sSrcFile)
                          ? Failure{FailureKind::DestinationIsSource, 0, 0, dst}
                          : Failure{FailureKind::TargetFolderMissing, ENOENT, 0, dst});
    }
    if (std::optional<Failure> gone = SourceGone()) {
        return Finish(Action::Export, gone);
    }
    if (st.MyPcl.SourceChanged()) {
        return Finish(Action::Export, Failure{FailureKind::SourceChanged, 0, 0, st.cfg.sSrcFile});
    }
    if (const auto fault = CodeFaultOf(st.cfg)) {
        return Finish(Action::Export,
                      Failure{FailureKind::CodeUnusable, 0, 0, dst, CodeFaultText(*fault)});
    }
    const bool reprint = !m_keepEnvelopes.empty();
    const bool closedLoop = reprint && !m_renumber;

    // The feeders each envelope gets, decided on the envelopes of the full export.
    FeedRules rules;
    if (std::optional<Failure> refused = FeedRulesOrRefusal(rules)) {
        return Finish(Action::Export, std::move(refused));
    }
    const std::int32_t count = reprint ? st.Persons.Count() : st.nExportCount;
    std::vector<Envelope> full =
        ListEnvelopes(st.Persons, count, st.cfg, st.MyPcl.Duplex() != DuplexMode::None);
    std::vector<std::string> feed;
    if (std::optional<Failure> unread = FeedPatterns(st.MyPcl, full, rules, feed)) {
        unread->path = st.cfg.sSrcFile;
        return Finish(Action::Export, std::move(unread));
    }
    for (std::size_t e = 0; e < full.size(); ++e) {
        full[e].feed = feed[e];
    }

    // Where the sequence starts, and whether the state file learns where it ended.
    const std::int32_t bits = st.cfg.use_seqchk ? st.cfg.seqchk_count : 0;
    const std::int64_t largest = (std::int64_t{1} << std::clamp(bits, 0, 30)) - 1;
    if (m_seqStart && (*m_seqStart < 0 || *m_seqStart > largest)) {
        return Finish(Action::Export, Failure{FailureKind::SeqStartRange,
                                              0,
                                              static_cast<std::int32_t>(largest),
                                              {},
                                              std::to_string(*m_seqStart)});
    }
    SequenceState state(st.paths.StateFile());
    const std::string job = JobFingerprint(st.cfg.sSrcFile, st.MyPcl.FileSize());
    const bool continues = bits > 0 && st.cfg.seq_continue;
    std::uint32_t start = 0;
    if (m_seqStart) {
        start = static_cast<std::uint32_t>(*m_seqStart);
    } else if (continues && closedLoop) {
        const std::optional<std::uint32_t> original = state.JobStart(bits, job);
        if (!original) {
            return Finish(Action::Export, Failure{FailureKind::SeqUnknown});
        }
        start = *original;
    } else if (continues) {
        start = state.Next(bits);
    }
    if (bits > 0 && !m_renumber) {
        NumberSequence(full, start, bits);
    }
    std::vector<Envelope> envelopes = std::move(full);
    if (reprint) {
        std::erase_if(envelopes, [this](const Envelope& e) {
            const auto at = static_cast<std::size_t>(e.number - 1);
            return at >= m_keepEnvelopes.size() || !m_keepEnvelopes[at];
        });
        if (bits > 0 && m_renumber) {
            NumberSequence(envelopes, start, bits);
        }
    }
    // A closed-loop reprint gives values already given: the counter stays.
    const bool stores = continues && !closedLoop;

    m_lastVerify = {};
    st.bLastExportFailed = false;
    std::string checked;
    const auto passes = [&](const std::string& written) {
        checked = VerifyExport(written, envelopes);
        return m_lastVerify.status == VerifyRun::Status::Ok;
    };
    RenameSteps steps;
    if (stores) {
        steps.beforeRename = [&](const std::string& temp) -> std::optional<Failure> {
            if (auto begun = state.Begin(bits, m_lastExport.seqFirst, m_lastExport.sheets,
                                         PathFromUtf8(temp));
                !begun) {
                return Failure{FailureKind::StateWrite, begun.error().err, 0,
                               PathToUtf8(state.File())};
            }
            if (m_stepHook) {
                m_stepHook(ExportStep::BeforeRename);
            }
            return std::nullopt;
        };
        // A failed rename gave no values: the marker goes (should that fail too, the next export
        // continues after this one's range, which repeats no value).
        steps.renameFailed = [&] { static_cast<void>(state.Abandon(bits)); };
    }
    const ExportRun run{start, m_renumber, &feed};
    std::optional<Failure> failure = WriteFile(
        dst,
        [&](const Sink& sink) {
            m_reporter.ShowTotal(st.Persons.Count());
            m_reporter.ShowStatus(3);
            m_reporter.SetProgressMaximum(count);
            return ExportJob(
                st.MyPcl, st.Persons, count, st.cfg, sink,
                [this](std::int32_t i) {
                    m_reporter.ShowCurrent(i);
                    m_reporter.SetProgressValue(i);
                    m_reporter.ProcessEvents();
                },
                m_lastExport,
                KeyFingerprint(st.cfg) == st.keySpansSettings ? &st.keySpans : nullptr,
                reprint ? &m_keepEnvelopes : nullptr, &run);
        },
        passes, RejectedExportPath(dst), steps);
    if (failure && failure->what == FailureKind::CheckFailed) {
        failure->detail = checked;
        st.bLastExportFailed = true;
        m_reporter.StateChanged();
    }
    if (failure) {
        return Finish(Action::Export, failure);
    }
    if (m_stepHook) {
        m_stepHook(ExportStep::AfterRename);
    }
    // A failed write leaves the marker, which puts the counter after this export next time.
    if (stores) {
        // Should this write fail, the marker left behind puts the counter after this export.
        static_cast<void>(state.Done(bits, m_lastExport.seqNext, reprint ? std::string() : job, start));
    }
    ManifestColumns columns;
    if (bits > 0 && (st.cfg.seq_continue || m_seqStart || reprint)) {
        columns.seqBits = bits;
    }
    if (reprint && columns.seqBits > 0) {
        columns.renumbered = m_renumber;
    }
    if (!rules.Empty()) {
        columns.feeders = static_cast<std::int32_t>(rules.feeders.size());
    }
    if (std::optional<Failure> manifest = WriteManifest(envelopes, columns)) {
        return Finish(Action::Export, manifest);
    }
    Message done = MessageFor(Action::Export, std::nullopt);
    done.text += "\r\n" + checked;
    return Tell(std::move(done));
}

VerifyHooks Commands::CheckHooks()
{
    VerifyHooks hooks;
    hooks.progress = [this](std::int64_t done, std::int64_t total) {
        m_reporter.SetProgressMaximum(static_cast<double>(total));
        m_reporter.SetProgressValue(static_cast<double>(done));
        m_reporter.ProcessEvents();
    };
    hooks.page = [this](std::int32_t page) { m_reporter.ShowCurrent(page); };
    hooks.cancelled = [this] { return m_reporter.Cancelled(); };
    return hooks;
}

std::string Commands::VerifyExport(const std::string& path, const std::vector<Envelope>& envelopes)
{
    m_reporter.ShowStatus(4);
    VerifyOptions options;
    if (!envelopes.empty() && envelopes.front().seqFirst) {
        options.seqStart = envelopes.front().seqFirst;
    }
    m_lastVerify =
        VerifyJobFile(path, m_state.cfg, std::nullopt, &envelopes, CheckHooks(), options);
    if (m_lastVerify.failure) {
        return MessageFor(Action::Verify, m_lastVerify.failure).text;
    }
    return VerifyMessage(m_lastVerify.report);
}

std::string Commands::RejectedExportPath(const std::string& dst)
{
    return PathToUtf8(PathFromUtf8(dst).replace_extension(".fehlerhaft.pcl"));
}

void Commands::SetExportExtras(std::optional<std::string> manifestPath,
                               std::vector<bool> keepEnvelopes)
{
    m_manifestPath = std::move(manifestPath);
    m_keepEnvelopes = std::move(keepEnvelopes);
}

void Commands::SetSequenceOptions(std::optional<std::int64_t> start, bool renumber)
{
    m_seqStart = start;
    m_renumber = renumber;
}

std::uint32_t Commands::NextSequenceValue() const
{
    const Settings& c = m_state.cfg;
    if (!c.use_seqchk || !c.seq_continue) {
        return 0;
    }
    return SequenceState(m_state.paths.StateFile()).Next(c.seqchk_count);
}

Outcome Commands::ParseReprintList(const std::string& list, std::vector<bool>& keep)
{
    const auto total = static_cast<std::int32_t>(Envelopes().size());
    EnvelopeChoice choice = ParseEnvelopeList(list, total);
    if (choice.error == EnvelopeListError::Malformed) {
        return Finish(Action::Export, Failure{FailureKind::EnvelopeList, 0, 0, {}, list});
    }
    if (choice.error == EnvelopeListError::OutOfRange) {
        return Finish(
            Action::Export,
            Failure{.what = FailureKind::EnvelopeOutOfRange, .detail = list, .count = total});
    }
    keep = std::move(choice.keep);
    return {};
}

std::vector<Envelope> Commands::Envelopes() const
{
    return ListEnvelopes(m_state.Persons, m_state.Persons.Count(), m_state.cfg,
                         m_state.MyPcl.Duplex() != DuplexMode::None);
}

std::optional<Failure> Commands::WriteManifest(const std::vector<Envelope>& envelopes,
                                               const ManifestColumns& columns)
{
    std::string path;
    if (m_manifestPath) {
        path = *m_manifestPath;
    } else if (m_state.cfg.bManifest) {
        path = PathToUtf8(PathFromUtf8(m_state.cfg.sDstFile).replace_extension(".csv"));
    } else {
        return std::nullopt;
    }
    const std::string text = ManifestText(envelopes, ManifestWording(), &m_state.cfg, columns);
    std::optional<Failure> failure = WriteFile(path, TextWriter(text));
    if (failure) {
        failure->what = FailureKind::ManifestWrite;
        failure->path = path;
    }
    return failure;
}

Outcome Commands::Verify(const std::string& marked, const std::optional<std::string>& source)
{
    return Verify(marked, source, std::nullopt, std::nullopt, false);
}

Outcome Commands::Verify(const std::string& marked, const std::optional<std::string>& source,
                         std::optional<std::int64_t> seqStart,
                         const std::optional<std::string>& envelopes, bool renumber)
{
    const Settings& c = m_state.cfg;
    const std::int64_t largest =
        (std::int64_t{1} << std::clamp(c.use_seqchk ? c.seqchk_count : 0, 0, 30)) - 1;
    if (seqStart && (*seqStart < 0 || *seqStart > largest)) {
        m_lastVerify = {VerifyRun::Status::BadInput,
                        {},
                        Failure{FailureKind::SeqStartRange,
                                0,
                                static_cast<std::int32_t>(largest),
                                {},
                                std::to_string(*seqStart)}};
        return Finish(Action::Verify, m_lastVerify.failure);
    }
    FeedRules rules;
    if (std::optional<Failure> refused = FeedRulesOrRefusal(rules)) {
        m_lastVerify = {VerifyRun::Status::BadInput, {}, refused};
        return Finish(Action::Verify, std::move(refused));
    }
    VerifyOptions options;
    if (seqStart) {
        options.seqStart = static_cast<std::uint32_t>(*seqStart);
    }
    options.envelopes = envelopes;
    options.renumber = renumber;
    options.feed = rules.Empty() ? nullptr : &rules;
    m_reporter.SetBusy(true);
    m_reporter.ShowStatus(4);
    m_lastVerify = VerifyJobFile(marked, m_state.cfg, source, nullptr, CheckHooks(), options);
    m_reporter.ShowStatus(0);
    m_reporter.SetBusy(false);
    if (m_lastVerify.failure) {
        return Finish(Action::Verify, m_lastVerify.failure);
    }
    const std::string text = VerifyMessage(m_lastVerify.report);
    if (m_lastVerify.status != VerifyRun::Status::Ok) {
        return Finish(Action::Verify, Failure{FailureKind::CheckFailed, 0, 0, marked, text});
    }
    return Tell({text, MessageKind::Information});
}

std::optional<PageView> Commands::PageText(std::int32_t page) const
{
    const AppState& st = m_state;
    std::string bytes;
    if (page < 1 || page > st.nJobPages || !st.MyPcl.Connected() ||
        !st.MyPcl.ReadPage(page, bytes)) {
        return std::nullopt;
    }
    PageView view;
    view.text = GetPageText(bytes);
    KeyFaultCounts counts{};
    if (const auto key = FindAdrKey(view.text, st.cfg, &counts)) {
        view.markerPos = key->span.pos;
        view.markerLen = static_cast<std::int64_t>(st.cfg.sAdrKeyBeg.size());
        view.id = key->id;
    }
    for (std::size_t f = 0; f < counts.size(); ++f) {
        if (counts[f] != 0) {
            view.fault = static_cast<std::int32_t>(f);
        }
    }
    for (std::int32_t i = 0; i < st.Persons.Count() && view.addressee < 0; ++i) {
        const auto& pages = st.Persons.PersonByIndex(i).PageList();
        if (std::find(pages.begin(), pages.end(), page) != pages.end()) {
            view.addressee = i;
        }
    }
    return view;
}

std::string Commands::SkeletonPath() const
{
    return ReadSkeletonPath(m_state.oIni, PathToUtf8(m_state.paths.SkeletonFile()));
}

void Commands::RememberSkeletonPath(const std::string& path)
{
    static_cast<void>(WriteSkeletonPath(m_state.oIni, path));
}

Outcome Commands::SaveEscSkeleton(const std::string& path)
{
    AppState& st = m_state;
    if (!CanSaveSkeleton()) {
        return Finish(Action::Skeleton, Failure{FailureKind::NoPages, 0, 0, st.cfg.sSrcFile});
    }
    if (std::optional<Failure> gone = SourceGone()) {
        return Finish(Action::Skeleton, gone);
    }
    if (st.MyPcl.SourceChanged()) {
        return Finish(Action::Skeleton, Failure{FailureKind::SourceChanged, 0, 0, st.cfg.sSrcFile});
    }
    return WriteTarget(Action::Skeleton, path, [&](const Sink& sink) -> std::optional<Failure> {
        if (auto written = WriteEscSkeleton(st.MyPcl, st.nJobPages, st.cfg.dummyasc, sink);
            !written) {
            return written.error();
        }
        return std::nullopt;
    });
}

RefPageOptions Commands::RefPageDefaults() const
{
    return ReadRefPageOptions(m_state.oIni, PathToUtf8(m_state.paths.RefPageFile()));
}

std::string Commands::RefPageReason(const RefPageOptions& options) const
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

std::string Commands::FillCharReason(std::int32_t code)
{
    return code >= Catalogued("dummyasc").min ? std::string() : FillCharFaultText();
}

void Commands::RememberRefPageOptions(const RefPageOptions& options)
{
    static_cast<void>(WriteRefPageOptions(m_state.oIni, options));
}

Outcome Commands::WriteReferencePage(const RefPageOptions& options)
{
    if (!options.grid && !options.marks) {
        return Finish(Action::RefPage, Failure{FailureKind::NothingToDraw});
    }
    const std::string job = BuildRefJob(m_state.cfg, options.grid, options.marks);
    return WriteTarget(Action::RefPage, options.path, TextWriter(job));
}

void Commands::ToggleLog()
{
    m_state.cfg.bUseLog = !m_state.cfg.bUseLog;
    m_reporter.StateChanged();
}

std::optional<std::string> Commands::LogFileToOpen()
{
    const std::string log = PathToUtf8(m_state.paths.LogFile());
    if (FileExists(log)) {
        return log;
    }
    Finish(Action::ShowLog, Failure{FailureKind::FileMissing, ENOENT, 0, log});
    return std::nullopt;
}

std::optional<std::string> Commands::LogText()
{
    const std::optional<std::string> log = LogFileToOpen();
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

std::optional<std::string> Commands::ManualToOpen()
{
    const std::string name = std::string(kProductName) + ".pdf";
    // Beside the program (a build folder, the Windows package), or where an installation under a
    // prefix puts it (<prefix>/bin/kuvrion, <prefix>/share/doc/kuvrion/Kuvrion.pdf).
    const fs::path& dir = m_state.paths.programDir;
    for (const fs::path& candidate :
         {dir / "doc" / name, dir / name,
          (dir / ".." / "share" / "doc" / "kuvrion" / name).lexically_normal()}) {
        if (FileExists(PathToUtf8(candidate))) {
            return PathToUtf8(candidate);
        }
    }
    Finish(Action::OpenManual, Failure{FailureKind::FileMissing, ENOENT, 0, name});
    return std::nullopt;
}

void Commands::NoViewer(Action action, const std::string& path)
{
    Finish(action, Failure{FailureKind::NoViewer, 0, 0, path});
}

void Commands::StoreConfirmed(SettingGroup group)
{
    std::erase_if(m_state.settingIssues, [group](const SettingIssue& issue) {
        const SettingDef* row = FindSetting(issue.key);
        return row && row->group == group;
    });
    SettingsWritten(WriteSettings(m_state.oIni, m_state.cfg, group));
}

void Commands::SettingsWritten(const Result<void>& written)
{
    if (!written) {
        // The store knows the system's reason; the message names the whole path.
        Failure failure = written.error();
        failure.path = PathToUtf8(m_state.paths.settingsFile);
        Finish(Action::Settings, std::move(failure));
    }
}

void Commands::ApplyKeySettings(const std::string& beg, const std::string& end, std::int32_t idLen,
                                std::int32_t mode, bool rem)
{
    Settings& c = m_state.cfg;
    c.sAdrKeyBeg = beg;
    c.sAdrKeyEnd = end;
    c.nAdrIdLen = idLen;
    c.nAdrKeyMode = mode;
    c.bAdrKeyRem = rem;
    c.bAdrKeyValid = AdrKeyValid(beg, end, idLen, mode);
    // The dialog's values replace whatever was refused or bounded among its keys.
    StoreConfirmed(SettingGroup::Keys);
    m_reporter.StateChanged();
}

void Commands::ApplyOmeCode(const OmeCodeValues& code)
{
    Settings& c = m_state.cfg;
    c.collect_code = code.collect;
    c.envelop_code = code.envelop;
    c.stop_code = code.stop;
    c.supply_count = Bound(Catalogued("supply_count"), code.supplyCount);
    c.seqchk_count = Bound(Catalogued("seqchk_count"), code.seqchkCount);
    c.use_stop = code.useStop;
    c.use_supply = code.useSupply;
    c.use_seqchk = code.useSeqchk;
    c.use_parity = code.useParity;
    c.use_security = code.useSecurity;
    const std::optional<bool>& seqContinue = code.seqContinue;
    ComputeCodeLength(c);
    SettingsWritten(WriteSettings(m_state.oIni, c, SettingGroup::OmeCode));
    // A file that never had the switch keeps it out until it is turned on.
    if (seqContinue && *seqContinue != c.seq_continue) {
        c.seq_continue = *seqContinue;
        SettingsWritten(WriteSettings(m_state.oIni, c, SettingGroup::Sequence));
    }
}

Outcome Commands::ApplyFeedRules(const std::array<std::string, 4>& rules)
{
    Settings& c = m_state.cfg;
    for (std::int32_t k = 1; k <= kFeeders; ++k) {
        const std::string& rule = rules[static_cast<std::size_t>(k - 1)];
        if (!rule.empty() && !ParseFeedRule(rule)) {
            return Finish(Action::Settings,
                          Failure{FailureKind::FeedRuleInvalid, 0, 0,
                                  PathToUtf8(m_state.paths.settingsFile.filename()),
                                  "feed" + std::to_string(k) + "=" + Cp1252ToUtf8(rule)});
        }
    }
    for (std::int32_t k = 1; k <= kFeeders; ++k) {
        FeedRuleSetting(c, k) = rules[static_cast<std::size_t>(k - 1)];
    }
    StoreConfirmed(SettingGroup::Feed);
    return {};
}

void Commands::ApplyOmeLayout(const OmeLayoutValues& layout)
{
    Settings& c = m_state.cfg;
    c.ome_x = layout.x;
    c.ome_y = layout.y;
    c.ome_a = layout.a;
    c.ome_b = layout.b;
    c.ome_d = layout.d;
    SettingsWritten(WriteSettings(m_state.oIni, c, SettingGroup::OmeLayout));
}

void Commands::ApplyPrintArea(const PrintAreaValues& area)
{
    Settings& c = m_state.cfg;
    c.pclleftmm = Bound(Catalogued("pclleftmm"), area.pclLeft);
    c.pcltopmm = Bound(Catalogued("pcltopmm"), area.pclTop);
    c.stdleftmm = area.stdLeft;
    c.stdtopmm = area.stdTop;
    c.omeleftmm = area.omeLeft;
    c.ometopmm = area.omeTop;
    SettingsWritten(WriteSettings(m_state.oIni, c, SettingGroup::PrintArea));
}

void Commands::ApplyOrganize(std::int32_t limit, bool on)
{
    Settings& c = m_state.cfg;
    c.nEnvLimit = static_cast<std::int16_t>(Bound(Catalogued("envlimit"), limit));
    c.bEnvLimit = on;
    SettingsWritten(WriteSettings(m_state.oIni, c, SettingGroup::Organize));
}

Outcome Commands::ApplyDmx(const Settings& dmx)
{
    std::string example;
    if (std::optional<Failure> refused = DmxExample(dmx, example)) {
        return Finish(Action::Settings, std::move(refused));
    }
    Settings c = m_state.cfg;
    c.use_dmx = dmx.use_dmx;
    c.dmx_x = dmx.dmx_x;
    c.dmx_y = dmx.dmx_y;
    c.dmx_module = Bound(Catalogued("dmx_module"), dmx.dmx_module);
    c.dmx_quiet = Bound(Catalogued("dmx_quiet"), dmx.dmx_quiet);
    c.dmx_clear = dmx.dmx_clear;
    c.dmx_template = dmx.dmx_template;
    c.dmx_job = Bound(Catalogued("dmx_job"), dmx.dmx_job);
    // A symbol in the bars' clear zone would be read as bars: every check of such an export
    // fails, so the place is refused. One near the edge is stored with a warning.
    const std::optional<FailureKind> misplaced = DmxLayoutCheck(c);
    if (misplaced == FailureKind::DmxNearBars) {
        return Finish(Action::Settings, Failure{*misplaced});
    }
    m_state.cfg = std::move(c);
    SettingsWritten(WriteSettings(m_state.oIni, m_state.cfg, SettingGroup::Dmx));
    if (misplaced) {
        return Tell(MessageFor(Action::Settings, Failure{*misplaced}));
    }
    return {};
}

void Commands::ApplyManifest(bool on)
{
    if (m_state.cfg.bManifest != on) {
        m_state.cfg.bManifest = on;
        SettingsWritten(WriteSettings(m_state.oIni, m_state.cfg, SettingGroup::Organize));
    }
}

void Commands::UseFillChar(std::int32_t code)
{
    m_state.cfg.dummyasc = Bound(Catalogued("dummyasc"), code);
}

void Commands::ApplyFillChar(std::int32_t code)
{
    UseFillChar(code);
    SettingsWritten(WriteSettings(m_state.oIni, m_state.cfg, SettingGroup::FillChar));
}

void Commands::Close(std::array<std::int32_t, 2> posTwips)
{
    static_cast<void>(m_state.log.Close());
    m_state.cfg.winmainpos = posTwips;
    static_cast<void>(WriteSettings(m_state.oIni, m_state.cfg, SettingGroup::Window));
}

std::vector<std::string> Commands::UpdaterCommandLine() const
{
    const Version v;
    return {PathToUtf8(m_state.paths.programDir / "Zephrin.exe"),
            std::string(kProductName),
            std::string(kProductName),
            std::to_string(v.major),
            std::to_string(v.minor),
            std::to_string(v.revision)};
}

} // namespace kuvrion
