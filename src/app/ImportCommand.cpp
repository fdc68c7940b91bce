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
    reporter.StateChanged();
    if (!st.bSrcOK) {
        return OutcomeOf(Action::Scan,
                         Failure{FailureKind::SourceMissing, ENOENT, 0, st.cfg.sSrcFile});
    }
    if (!ok) {
        return OutcomeOf(Action::Scan,
                         Failure{FailureKind::SourceUnreadable, readErr, 0, st.cfg.sSrcFile});
    }
    return OutcomeOf(Action::Scan, std::nullopt);
}

Outcome RunImport(Session& session)
{
    AppState& st = session.State();
    Reporter& reporter = session.Report();
    if (!st.bSrcOK) {
        return OutcomeOf(Action::Import,
                         Failure{FailureKind::SourceMissing, ENOENT, 0, st.cfg.sSrcFile});
    }
    if (auto blocked = session.ImportBlocker()) {
        return OutcomeOf(Action::Import, std::move(blocked));
    }
    reporter.SetBusy(true);
    st.bLastExportFailed = false;
    st.nExportCount = 0;
    st.nJobPages = 0;
    st.nImpAssigned = 0;
    st.bImportComplete = false;
    st.bJobDuplex = false;
    st.keySpans.clear();
    reporter.StateChanged();

    ImportHooks hooks;
    hooks.words = ImportLogWording();
    hooks.onPagesKnown = [&](std::int32_t n) {
        st.nJobPages = n;
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

    st.log.Open(st.paths.LogFile(), st.cfg.bUseLog);
    if (st.cfg.bUseLog) {
        st.bLogAvailable = true;
        if (const std::string corrected = session.CorrectedSettingsNotice(); !corrected.empty()) {
            static_cast<void>(st.log.Write(Utf8ToCp1252(corrected) + "\r\n"));
        }
    }
    // The pass closes the log: a failure of its last flush is a failed log write like any other.
    ImportResult result = RunImportPass(st.MyPcl, st.cfg.sSrcFile, st.cfg, st.Persons,
                                        st.keyFaultCounts, st.log, std::time(nullptr), hooks);

    st.nJobPages = result.nJobPages;
    st.nImpAssigned = result.nImpAssigned;
    st.keySpans = std::move(result.keySpans);
    st.keySpansSettings = KeyFingerprint(st.cfg);
    if (!result.failure && st.nJobPages > 0) {
        st.nExportCount = st.Persons.Count();
        st.bImportComplete = true;
        st.bJobDuplex = st.MyPcl.Duplex() != DuplexMode::None;
    }
    reporter.ShowStatus(0);
    reporter.SetBusy(false);
    reporter.StateChanged();

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
        reporter.StateChanged();
        return OutcomeOf(Action::Import, std::move(result.failure));
    }
    if (st.nImpAssigned == 0) {
        // Not one key: the job's text is most often not text to the search (downloaded fonts,
        // graphics), or the marker is spelt otherwise in the job. The import itself went
        // through; the message says where to look.
        return Told(MessageFor(Action::Import, NoKeyFound(st)));
    }
    return OutcomeOf(Action::Import, std::nullopt);
}

Failure NoKeyFound(const AppState& st)
{
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

} // namespace kuvrion
