#include "app/ExportCommand.h"

#include "app/SequenceState.h"
#include "app/TargetFile.h"
#include "base/FileChecks.h"
#include "base/Platform.h"
#include "marking/CodeRules.h"
#include "marking/FeedPlan.h"
#include "marking/Manifest.h"
#include "marking/SheetPlan.h"

#include <algorithm>
#include <cerrno>

namespace kuvrion {

namespace {

// Checks the written job `path` against the export just made, whose envelopes are `envelopes`;
// the check's report in words.
std::string CheckWrittenJob(Session& session, const std::string& path,
                            const std::vector<Envelope>& envelopes, VerifyRun& check)
{
    session.Report().ShowStatus(4);
    VerifyOptions options;
    if (!envelopes.empty() && envelopes.front().seqFirst) {
        options.seqStart = envelopes.front().seqFirst;
    }
    check = VerifyJobFile(path, session.State().cfg, std::nullopt, &envelopes,
                          CheckHooks(session.Report()), options);
    if (check.failure) {
        return MessageFor(Action::Verify, check.failure).text;
    }
    return VerifyMessage(check.report);
}

// Writes the list of `envelopes` when one is asked for; fails with ManifestWrite.
Result<void> WriteManifest(Session& session, const std::string& dst,
                           const std::optional<std::string>& asked,
                           const std::vector<Envelope>& envelopes, const ManifestColumns& columns)
{
    const Settings& c = session.State().cfg;
    std::string path;
    if (asked) {
        path = *asked;
    } else if (c.manifest) {
        path = PathToUtf8(PathFromUtf8(dst).replace_extension(".csv"));
    } else {
        return {};
    }
    const std::string text = ManifestText(envelopes, ManifestWording(), &c, columns);
    if (auto written = WriteTargetFile(session.Report(), path, TextWriter(text)); !written) {
        Failure failure = written.error();
        failure.what = FailureKind::ManifestWrite;
        failure.path = path;
        return failure;
    }
    return {};
}

// Why the export cannot start; nullopt when it can.
std::optional<Failure> ExportRefusal(Session& session, const std::string& dst, bool destinationOk)
{
    AppState& st = session.State();
    if (st.addressees.Count() < 1) {
        return Failure{FailureKind::NoAddressees};
    }
    if (!st.importComplete) {
        return Failure{FailureKind::ImportIncomplete};
    }
    if (!destinationOk) {
        return SameFile(dst, st.cfg.sourceFile)
                   ? Failure{FailureKind::DestinationIsSource, 0, 0, dst}
                   : Failure{FailureKind::TargetFolderMissing, ENOENT, 0, dst};
    }
    if (std::optional<Failure> gone = session.SourceGone()) {
        return gone;
    }
    if (st.job.SourceChanged()) {
        return Failure{FailureKind::SourceChanged, 0, 0, st.cfg.sourceFile};
    }
    if (const auto fault = CodeFaultOf(st.cfg)) {
        return Failure{FailureKind::CodeUnusable, 0, 0, dst, CodeFaultText(*fault)};
    }
    return std::nullopt;
}

} // namespace

ExportOutcome RunExport(Session& session, const ExportRequest& request)
{
    AppState& st = session.State();
    Reporter& reporter = session.Report();
    ExportOutcome out;
    const auto finish = [&out](std::optional<Failure> failure) {
        static_cast<Outcome&>(out) = OutcomeOf(Action::Export, std::move(failure));
        return out;
    };
    const std::string dst = request.destination.value_or(st.cfg.destinationFile);
    // The chosen destination is judged as it was when chosen.
    const bool destinationOk =
        request.destination ? !session.DestinationFault(dst) : st.destinationOk;
    if (std::optional<Failure> refused = ExportRefusal(session, dst, destinationOk)) {
        return finish(std::move(refused));
    }
    const std::vector<bool>& keep = request.keepEnvelopes;
    const bool reprint = !keep.empty();
    const bool renumber = request.renumber;
    const bool closedLoop = reprint && !renumber;

    // The feeders each envelope gets, decided on the envelopes of the full export.
    const Result<FeedRules> rules = session.FeedRulesOrRefusal();
    if (!rules) {
        return finish(rules.error());
    }
    const std::int32_t count = reprint ? st.addressees.Count() : st.exportCount;
    std::vector<Envelope> full =
        ListEnvelopes(st.addressees, count, st.cfg, st.job.Duplex() != DuplexMode::None);
    const Result<std::vector<std::string>> patterns = FeedPatterns(st.job, full, *rules);
    if (!patterns) {
        Failure unread = patterns.error();
        unread.path = st.cfg.sourceFile;
        return finish(std::move(unread));
    }
    const std::vector<std::string>& feed = *patterns;
    for (std::size_t e = 0; e < full.size(); ++e) {
        full[e].feed = feed[e];
    }

    // Where the sequence starts, and whether the state file learns where it ended.
    const std::int32_t bits = st.cfg.useSeqchk ? st.cfg.seqchkCount : 0;
    const std::optional<std::int64_t>& seqStart = request.seqStart;
    if (std::optional<Failure> refused = SeqStartRefusal(st.cfg, seqStart)) {
        return finish(std::move(refused));
    }
    SequenceState state(st.paths.StateFile());
    const std::string job = JobFingerprint(st.cfg.sourceFile, st.job.FileSize());
    const bool continues = bits > 0 && st.cfg.seqContinue;
    std::uint32_t start = 0;
    if (seqStart) {
        start = static_cast<std::uint32_t>(*seqStart);
    } else if (continues && closedLoop) {
        const std::optional<std::uint32_t> original = state.JobStart(bits, job);
        if (!original) {
            return finish(Failure{FailureKind::SeqUnknown});
        }
        start = *original;
    } else if (continues) {
        start = state.Next(bits);
    }
    if (bits > 0 && !renumber) {
        NumberSequence(full, start, bits);
    }
    std::vector<Envelope> envelopes = std::move(full);
    if (reprint) {
        std::erase_if(envelopes, [&keep](const Envelope& e) {
            const auto at = static_cast<std::size_t>(e.number - 1);
            return at >= keep.size() || !keep[at];
        });
        if (bits > 0 && renumber) {
            NumberSequence(envelopes, start, bits);
        }
    }
    // A closed-loop reprint gives values already given: the counter stays.
    const bool stores = continues && !closedLoop;

    st.lastExportFailed = false;
    std::string checked;
    WriteSteps steps;
    steps.check = [&](const std::string& written) {
        checked = CheckWrittenJob(session, written, envelopes, out.check);
        return out.check.Passed();
    };
    steps.rejectPath = RejectedExportPath(dst);
    if (stores) {
        steps.beforeRename = [&](const std::string& temp) -> Result<void> {
            if (auto begun =
                    state.Begin(bits, out.stats.seqFirst, out.stats.sheets, PathFromUtf8(temp));
                !begun) {
                return Failure{FailureKind::StateWrite, begun.error().err, 0,
                               PathToUtf8(state.File())};
            }
            if (request.stepHook) {
                request.stepHook(ExportStep::BeforeRename);
            }
            return {};
        };
        // A failed rename gave no values: the marker goes (should that fail too, the next export
        // continues after this one's range, which repeats no value).
        steps.renameFailed = [&] { static_cast<void>(state.Abandon(bits)); };
    }
    const ExportRun run{start, renumber, &feed};
    const Result<void> written = WriteTargetFile(
        reporter, dst,
        [&](const Sink& sink) {
            reporter.ShowTotal(st.addressees.Count());
            reporter.ShowStatus(3);
            reporter.SetProgressMaximum(count);
            return ExportJob(
                st.job, st.addressees, count, st.cfg, sink,
                [&reporter](std::int32_t i) {
                    reporter.ShowCurrent(i);
                    reporter.SetProgressValue(i);
                    reporter.ProcessEvents();
                },
                out.stats, KeyFingerprint(st.cfg) == st.keySpansSettings ? &st.keySpans : nullptr,
                reprint ? &keep : nullptr, &run);
        },
        steps);
    if (!written) {
        Failure failure = written.error();
        if (failure.what == FailureKind::CheckFailed) {
            failure.detail = checked;
            st.lastExportFailed = true;
            reporter.StateChanged();
        }
        return finish(std::move(failure));
    }
    if (request.stepHook) {
        request.stepHook(ExportStep::AfterRename);
    }
    if (stores) {
        // Should this write fail, the marker left behind puts the counter after this export.
        static_cast<void>(
            state.Done(bits, out.stats.seqNext, reprint ? std::string() : job, start));
    }
    ManifestColumns columns;
    if (bits > 0 && (st.cfg.seqContinue || seqStart || reprint)) {
        columns.seqBits = bits;
    }
    if (reprint && columns.seqBits > 0) {
        columns.renumbered = renumber;
    }
    if (!rules->Empty()) {
        columns.feeders = static_cast<std::int32_t>(rules->feeders.size());
    }
    if (auto manifest = WriteManifest(session, dst, request.manifestPath, envelopes, columns);
        !manifest) {
        return finish(manifest.error());
    }
    Message done = MessageFor(Action::Export, std::nullopt);
    done.text += "\r\n" + checked;
    static_cast<Outcome&>(out) = Told(std::move(done));
    return out;
}

VerifyHooks CheckHooks(Reporter& reporter)
{
    VerifyHooks hooks;
    hooks.progress = [&reporter](std::int64_t done, std::int64_t total) {
        reporter.SetProgressMaximum(static_cast<double>(total));
        reporter.SetProgressValue(static_cast<double>(done));
        reporter.ProcessEvents();
    };
    hooks.page = [&reporter](std::int32_t page) { reporter.ShowCurrent(page); };
    hooks.cancelled = [&reporter] { return reporter.Cancelled(); };
    return hooks;
}

std::optional<Failure> SeqStartRefusal(const Settings& s, std::optional<std::int64_t> seqStart)
{
    const std::int32_t bits = s.useSeqchk ? s.seqchkCount : 0;
    const std::int64_t largest = (std::int64_t{1} << std::clamp(bits, 0, 30)) - 1;
    if (!seqStart || (*seqStart >= 0 && *seqStart <= largest)) {
        return std::nullopt;
    }
    return Failure{FailureKind::SeqStartRange, 0, static_cast<std::int32_t>(largest), {},
                   std::to_string(*seqStart)};
}

std::string RejectedExportPath(const std::string& dst)
{
    return PathToUtf8(PathFromUtf8(dst).replace_extension(".fehlerhaft.pcl"));
}

std::uint32_t NextSequenceValue(const Session& session)
{
    const Settings& c = session.State().cfg;
    if (!c.useSeqchk || !c.seqContinue) {
        return 0;
    }
    return SequenceState(session.State().paths.StateFile()).Next(c.seqchkCount);
}

std::vector<Envelope> FullExportEnvelopes(const Session& session)
{
    const AppState& st = session.State();
    return ListEnvelopes(st.addressees, st.addressees.Count(), st.cfg,
                         st.job.Duplex() != DuplexMode::None);
}

} // namespace kuvrion
