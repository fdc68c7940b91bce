#include "app/ImportCommand.h"

#include "addressees/AdrKey.h"
#include "addressees/ImportPass.h"
#include "base/ByteText.h"
#include "base/Platform.h"

#include <algorithm>
#include <cerrno>
#include <ctime>

namespace kuvrion {

Outcome RunScan(Session& session)
{
    AppState& st = session.State();
    Reporter& reporter = session.Report();
    st.jobPages = 0;
    st.importComplete = false;
    st.jobDuplex = false;
    st.addressees.Clear();
    st.keySpans.clear();
    int readErr = 0;
    if (st.sourceOk) {
        if (auto connected = st.job.Connect(st.cfg.sourceFile); !connected) {
            readErr = connected.error().err;
        }
    }
    const bool ok = st.sourceOk && readErr == 0;
    st.jobPages = ok ? st.job.Pages() : 0;
    reporter.StateChanged();
    if (!st.sourceOk) {
        return OutcomeOf(Action::Scan,
                         Failure{FailureKind::SourceMissing, ENOENT, 0, st.cfg.sourceFile});
    }
    if (!ok) {
        return OutcomeOf(Action::Scan,
                         Failure{FailureKind::SourceUnreadable, readErr, 0, st.cfg.sourceFile});
    }
    return OutcomeOf(Action::Scan, std::nullopt);
}

Outcome RunImport(Session& session)
{
    AppState& st = session.State();
    Reporter& reporter = session.Report();
    if (!st.sourceOk) {
        return OutcomeOf(Action::Import,
                         Failure{FailureKind::SourceMissing, ENOENT, 0, st.cfg.sourceFile});
    }
    if (auto blocked = session.ImportBlocker()) {
        return OutcomeOf(Action::Import, std::move(blocked));
    }
    reporter.SetBusy(true);
    st.lastExportFailed = false;
    st.exportCount = 0;
    st.jobPages = 0;
    st.assignedPages = 0;
    st.importComplete = false;
    st.jobDuplex = false;
    st.keySpans.clear();
    reporter.StateChanged();

    ImportHooks hooks;
    hooks.words = ImportLogWording();
    hooks.onPagesKnown = [&](std::int32_t n) {
        st.jobPages = n;
        reporter.StateChanged();
    };
    hooks.onCollectStart = [&](std::int32_t n) {
        reporter.SetProgressValue(0);
        reporter.SetProgressMaximum(n);
        reporter.ShowTotal(n);
        reporter.ShowStatus(2);
    };
    hooks.onPage = [&](std::int32_t i) {
        reporter.ProcessEvents();
        reporter.SetProgressValue(i);
        reporter.ShowCurrent(i);
    };
    hooks.cancelled = [&reporter] { return reporter.Cancelled(); };
    hooks.refusalText = [](const Failure& refusal) {
        return MessageFor(Action::Import, refusal).text;
    };

    st.log.Open(st.paths.LogFile(), st.cfg.useLog);
    if (st.cfg.useLog) {
        st.logAvailable = true;
        if (const std::string corrected = session.CorrectedSettingsNotice(); !corrected.empty()) {
            static_cast<void>(st.log.Write(Utf8ToCp1252(corrected) + "\r\n"));
        }
    }
    // The pass closes the log: a failure of its last flush is a failed log write like any other.
    ImportResult result = RunImportPass(st.job, st.cfg.sourceFile, st.cfg, st.addressees,
                                        st.keyFaultCounts, st.log, std::time(nullptr), hooks);

    st.jobPages = result.jobPages;
    st.assignedPages = result.assignedPages;
    st.keySpans = std::move(result.keySpans);
    st.keySpansSettings = KeyFingerprint(st.cfg);
    if (!result.failure && st.jobPages > 0) {
        st.exportCount = st.addressees.Count();
        st.importComplete = true;
        st.jobDuplex = st.job.Duplex() != DuplexMode::None;
    }
    reporter.ShowStatus(0);
    reporter.SetBusy(false);
    reporter.StateChanged();

    if (!result.failure && st.jobPages == 0) {
        // A job without pages (an empty file, a text without page ends) is nothing to work with.
        result.failure = Failure{FailureKind::NoPages, 0, 0, st.cfg.sourceFile};
    }
    // The pass knows which file failed; the message names it.
    if (result.failure && result.failure->what == FailureKind::LogWrite) {
        result.failure->path = PathToUtf8(st.paths.LogFile());
    } else if (result.failure && result.failure->what == FailureKind::PageRead) {
        result.failure->path = st.cfg.sourceFile;
    }
    // A stopped import counts as not run: nothing to explain later.
    st.lastImportFailure = result.failure && result.failure->what != FailureKind::Cancelled
                               ? result.failure
                               : std::nullopt;
    if (result.failure) {
        reporter.StateChanged();
        return OutcomeOf(Action::Import, std::move(result.failure));
    }
    if (st.assignedPages == 0) {
        // Not one key: the job's text is most often not text to the search (downloaded fonts,
        // graphics), or the marker is spelt otherwise in the job. The import itself went
        // through; the message says where to look.
        return Told(MessageFor(Action::Import, NoKeyFound(st)));
    }
    return OutcomeOf(Action::Import, std::nullopt);
}

Failure NoKeyFound(const AppState& st)
{
    Failure failure{FailureKind::NoAddressees, 0, 0, st.cfg.sourceFile};
    if (st.keyFaultCounts[kKeyNotFound] != st.jobPages) {
        return failure; // the marker is there; the IDs after it are not
    }
    failure.what = FailureKind::MarkerAbsent;
    // A marker spelt with other punctuation or case shows on the first pages, if at all.
    constexpr std::int32_t kPagesLookedAt = 200;
    std::string bytes;
    for (std::int32_t page = 1; page <= std::min(st.jobPages, kPagesLookedAt); ++page) {
        if (!st.job.ReadPage(page, bytes)) {
            break;
        }
        const std::string nearest = NearestMarkerText(GetPageText(bytes), st.cfg.keyBegin);
        if (!nearest.empty()) {
            failure.what = FailureKind::MarkerNearby;
            failure.detail = Cp1252ToUtf8(nearest);
            break;
        }
    }
    return failure;
}

} // namespace kuvrion
