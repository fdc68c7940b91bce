// Every command of the main window as an operation without windows: the same preconditions, the
// same effect on the shared state, status, progress and messages through a Reporter. The desktop
// program and the command-line tool both drive these. A command that can fail returns its
// Outcome: the failure as a value and the message it showed for it (from the message table).
#pragma once

#include "app/AppState.h"
#include "app/Outcome.h"
#include "app/Reporter.h"
#include "app/Verification.h"
#include "base/Result.h"
#include "marking/EnvelopeList.h"
#include "marking/ExportWriter.h"
#include "marking/FeedPlan.h"
#include "marking/Manifest.h"
#include "settings/Settings.h"

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace kuvrion {

// What the key search sees on one page of the imported job.
struct PageView {
    std::string text;            // the page text, Windows-1252, escape sequences removed
    std::int64_t markerPos = 0;  // 1-based position of the start marker, 0 when it is absent
    std::int64_t markerLen = 0;  // its length
    std::string id;              // the ID found after it, empty when none
    std::int32_t fault = -1;     // the search's fault (AdrKeyFault), -1 when the key was found
    std::int32_t addressee = -1; // 0-based addressee the page was assigned to, -1 when none
};

// What the dialog "OME-Code" confirms.
struct OmeCodeValues {
    std::string collect, envelop, stop; // the base commands' and the stop mark's patterns
    std::int32_t supplyCount = 1;       // feed bars
    std::int32_t seqchkCount = 1;       // sequence bars
    bool useStop = false, useSupply = false, useSeqchk = false, useParity = false,
         useSecurity = false;
    std::optional<bool> seqContinue; // the sequence across jobs; nullopt: as stored
};

// The code's place and bar sizes in millimetres ("OME-Layout"): X, Y, A (gap), B (length), D
// (thickness).
struct OmeLayoutValues {
    float x = 0, y = 0, a = 0, b = 0, d = 0;
};

// The printable-area margins in millimetres ("PCL-Einstellungen"): PCL's own left and top, the
// printer's standard and the OME job's margins.
struct PrintAreaValues {
    float pclLeft = 0, pclTop = 0, stdLeft = 0, stdTop = 0, omeLeft = 0, omeTop = 0;
};

class Commands {
public:
    Commands(AppState& state, Reporter& reporter);

    // The load step: reads every setting into the state, checks source, destination, the log and
    // the web-update files, computes the code length. Writes nothing.
    void Load();

    // Enabling rules of the main window's commands.
    bool CanImport() const;           // source exists and the key settings are complete
    bool CanExport() const;           // addressees from a complete import and a valid destination
    bool CanShowImportStatus() const; // an import found pages
    bool CanSaveSkeleton() const;     // an import found pages
    bool CanShowLog() const { return m_state.bLogAvailable; }
    bool CanWebUpdate() const { return m_state.bWebUpdateAvailable; }
    // Why a command is not offered or a path is shown in red, in words; empty when nothing stands
    // in the way.
    std::string ImportReason() const;
    std::string ExportReason() const;
    std::string SourceReason() const;
    std::string DestinationReason() const;
    // The reading-rule check of the code's place on the sheet, one sentence per warning.
    std::vector<std::string> RuleWarnings() const;

    // Choose the source / the destination for this run (the command-line tool stops here).
    void ChooseSource(const std::string& path);
    void ChooseDestination(const std::string& path);
    // Store the chosen source / destination (and the file dialog's filter index when given) as
    // the next start's.
    void RememberSource(std::optional<std::int32_t> filterIndex);
    void RememberDestination(std::optional<std::int32_t> filterIndex);
    // The job named on the desktop program's command line becomes the source (and is
    // remembered). A file that does not exist leaves the source empty for this run (the settings
    // keep theirs) and says so.
    void UseCommandLineFile(const std::string& path);
    // The destination proposed while none is chosen: "<job>-OME.pcl" beside the source job; empty
    // when the source's folder does not exist.
    std::string SuggestedDestination() const;
    std::int32_t SourceFilterIndex() const;      // 1..2
    std::int32_t DestinationFilterIndex() const; // 1..2

    // The number of addressees to export, as entered (the import sets it to all of them).
    void SetExportCount(std::int32_t n);
    // Bounds the number to 1..Count of the addressees (1 when there are none) and returns it: when
    // the entry is finished.
    std::int32_t BoundExportCount();

    // The import pass. Refused (SourceMissing, KeyIncomplete) when CanImport() is false. Fails when
    // a failure stopped the pass, when it refused the job (NotPcl5, DuplexSwitch), and (silently,
    // like a job without pages) when the source could not be read: an import that read no job is
    // never a successful one.
    Outcome Import();
    // Only the page scan of the source (the command-line tool's "scan" and "skeleton"): connects
    // the job, sets the page count. Fails (SourceMissing, SourceUnreadable) when the source cannot
    // be opened or read.
    Outcome ScanSource();
    // Why the last import found no key: the start marker on no page (MarkerAbsent, or
    // MarkerNearby with a text like it from the first pages), or no ID after it (NoAddressees).
    Failure NoKeyFound() const;
    // Figures of the last export run.
    const ExportStats& LastExportStats() const { return m_lastExport; }
    // The export of the first nExportCount addressees to the destination. Refused when CanExport()
    // is false (NoAddressees, ImportIncomplete, DestinationIsSource, TargetFolderMissing) or the
    // source changed since the import; else the outcome of writing the destination. The written
    // job is checked before it replaces the destination: when the check finds a problem
    // (CheckFailed) the destination stays as it was and the checked job is kept beside it under
    // RejectedExportPath(); else the envelope list is written beside it when one is asked for
    // (ManifestWrite).
    Outcome Export();
    // Where an export that failed its check is kept: "<name>.fehlerhaft.pcl" beside `dst`.
    static std::string RejectedExportPath(const std::string& dst);
    // Extras of the next exports: the envelope list file (nullopt: beside the destination with
    // ".csv" when the setting "manifest" is on) and the envelopes of a reprint (empty: a full
    // export of the export count; else every addressee, only the envelopes marked true, numbered
    // as in the full export).
    void SetExportExtras(std::optional<std::string> manifestPath, std::vector<bool> keepEnvelopes);
    // The sequence of the next exports: the value of the first sheet (nullopt: 0, or where the
    // last export ended with seq_continue on), and whether a reprint numbers its sheets on from
    // there (open loop) instead of keeping the values of the full export (closed loop). A start
    // beyond the counter refuses the export (SeqStartRange).
    void SetSequenceOptions(std::optional<std::int64_t> start, bool renumber);
    // The points of an export a test may stop the program at, as a crash would.
    enum class ExportStep { BeforeRename, AfterRename };
    void SetExportStepHookForTests(std::function<void(ExportStep)> hook)
    {
        m_stepHook = std::move(hook);
    }
    // The state file's counter a sequence of these settings continues from (0 without
    // seq_continue).
    std::uint32_t NextSequenceValue() const;
    // The envelopes a reprint list such as "3,5-7" names, out of those of the full export. Refused
    // (EnvelopeList, EnvelopeOutOfRange) when the list is malformed or names another envelope.
    Outcome ParseReprintList(const std::string& list, std::vector<bool>& keep);
    // The envelopes of the full export of the last import (every addressee).
    std::vector<Envelope> Envelopes() const;
    // The check of the last export's destination, run right after it was written.
    const VerifyRun& LastVerify() const { return m_lastVerify; }
    // The check of a marked job with the current settings, optionally against the export of a
    // source job. Fails with CheckFailed when it found a problem (the report is in LastVerify()),
    // or with why the job cannot be checked.
    Outcome Verify(const std::string& marked, const std::optional<std::string>& source);
    // The same with what the check knows beyond the settings: the sequence start (refused beyond
    // the counter: SeqStartRange), a reprint's envelopes and numbering. The feeder rules come
    // from the settings (refused: FeedRuleInvalid, FeedIdsUnreadable).
    Outcome Verify(const std::string& marked, const std::optional<std::string>& source,
                   std::optional<std::int64_t> seqStart,
                   const std::optional<std::string>& envelopes, bool renumber);

    // The page text of page `page` (1-based) of the imported job as the key search sees it, with
    // what the import made of the page. nullopt when there is no such page or it cannot be read.
    std::optional<PageView> PageText(std::int32_t page) const;

    // Escape skeleton: the path the dialog proposes, and the write after the dialog.
    std::string SkeletonPath() const;
    // The path the dialog chose, stored as the next proposal.
    void RememberSkeletonPath(const std::string& path);
    // Refused (NoPages) when CanSaveSkeleton() is false, and when the source changed.
    Outcome SaveEscSkeleton(const std::string& path);

    // Reference page: the options the dialog opens with, and its "&Ok". Refused (NothingToDraw)
    // when neither grid nor marks are asked for.
    RefPageOptions RefPageDefaults() const;
    // Why the reference page dialog's "&Ok" is not offered for these options; empty when it is.
    std::string RefPageReason(const RefPageOptions& options) const;
    // Why the fill character dialog's "&Ok" is not offered for the character code `code` (-1:
    // none, or one without a Windows-1252 code); empty when it is.
    static std::string FillCharReason(std::int32_t code);
    // The dialog's options, stored before the file is written so that they stay when it fails.
    void RememberRefPageOptions(const RefPageOptions& options);
    Outcome WriteReferencePage(const RefPageOptions& options);

    // Log menu.
    void ToggleLog();
    // The log file to open; nullopt (after "Kein Logfile vorhanden") when there is none.
    std::optional<std::string> LogFileToOpen();
    // The bytes of the log file (Windows-1252) for the log window; nullopt (after "Kein Logfile
    // vorhanden") when there is none or it cannot be read.
    std::optional<std::string> LogText();
    // The manual to open; nullopt (after "Das Handbuch wurde nicht gefunden:") when there is none.
    std::optional<std::string> ManualToOpen();
    // No program on this computer could show the file `path` that ShowLog or OpenManual chose:
    // says so and where the file lies.
    void NoViewer(Action action, const std::string& path);

    // The confirm step of each settings dialog: updates the state and writes the dialog's keys in
    // one replacement of the settings file. When that fails, a warning says so and the file keeps
    // every key as it was.
    void ApplyKeySettings(const std::string& beg, const std::string& end, std::int32_t idLen,
                          std::int32_t mode, bool rem);
    void ApplyOmeCode(const OmeCodeValues& code);
    // The feeder dialog: the rule text of each feeder ("" for none). Refused (FeedRuleInvalid,
    // nothing stored) when one is no rule.
    Outcome ApplyFeedRules(const std::array<std::string, 4>& rules);
    void ApplyOmeLayout(const OmeLayoutValues& layout);
    void ApplyPrintArea(const PrintAreaValues& area);
    void ApplyOrganize(std::int32_t limit, bool on);
    void ApplyManifest(bool on);
    // The 2D code dialog: takes the [dmx] settings from `dmx`. Refused with the message (and
    // nothing stored) when the example sheet's content could not be written: DmxTemplate,
    // DmxTooWide, DmxTooLong, and DmxNearBars (the symbol or its quiet zone in the bars' clear
    // zone). Millimetres, quiet zone and job number are bounded. A place near an edge
    // (DmxLayoutCheck) is stored with a warning.
    Outcome ApplyDmx(const Settings& dmx);
    void ApplyFillChar(std::int32_t code);
    // The fill character for this run only (the command-line tool).
    void UseFillChar(std::int32_t code);

    // Web update: remembered until the window closes.
    void RequestWebUpdate() { m_state.bRunUpdater = true; }
    // Closing: closes the log, stores the window position (twips) and the log switch.
    void Close(std::array<std::int32_t, 2> posTwips);
    // The updater's program and its five arguments.
    std::vector<std::string> UpdaterCommandLine() const;

    // The shared state, to read: it changes only through the commands.
    const AppState& State() const { return m_state; }

private:
    std::optional<Failure> SourceFault() const;
    // The first stored key setting the load step refused (SettingInvalid), if any.
    // The first stored setting of `group` the load step refused, as the failure `what`.
    std::optional<Failure> RefusedSetting(SettingGroup group, FailureKind what) const;
    std::optional<Failure> RefusedSetting() const;
    // The first stored feeder rule the load step refused (FeedRuleInvalid), if any.
    std::optional<Failure> RefusedFeedRule() const;
    // The feeder rules with their ID lists, or why they cannot be used.
    std::optional<Failure> FeedRulesOrRefusal(FeedRules& rules) const;
    // Which stored settings the load step bounded, in words; empty when none.
    std::string CorrectedSettingsNotice() const;
    std::optional<Failure> DestinationFault() const;
    // The job of the last import is gone (deleted or renamed): refreshes the source state and
    // returns the failure to report.
    std::optional<Failure> SourceGone();
    void RefreshSource();
    void RefreshDestination();
    void SettingsWritten(const Result<void>& written);
    // A dialog's keys were confirmed: what the load step refused or bounded among them is
    // forgotten, and they are written.
    void StoreConfirmed(SettingGroup group);

    // Shows the message of `action`'s result (when it has one) and returns the outcome.
    Outcome Finish(Action action, std::optional<Failure> failure);
    // Shows `message` of a command that did what it was asked and returns that outcome.
    Outcome Tell(Message message);
    // The write path of every command that writes a file: refuses a blocked target, writes
    // through a temporary file beside it (busy meanwhile), commits or discards, and finishes.
    // `write` fills the file through the sink it is given and returns what stopped it.
    using Sink = std::function<bool(std::string_view)>;
    using FileWriter = std::function<std::optional<Failure>(const Sink&)>;
    Outcome WriteTarget(Action action, const std::string& path, const FileWriter& write);
    // The same write without the message. `check`, when given, judges the finished temporary file
    // (by its path) before it replaces the target: when it says no, the target stays as it was,
    // the file is kept under `rejectPath` and the result is CheckFailed with that path.
    using FileCheck = std::function<bool(const std::string&)>;
    // `beforeRename`, when given, runs with the temporary file's path after the check passed and
    // may still stop the write with a failure; `renameFailed` runs when the rename after it fails.
    struct RenameSteps {
        std::function<std::optional<Failure>(const std::string&)> beforeRename;
        std::function<void()> renameFailed;
    };
    std::optional<Failure> WriteFile(const std::string& path, const FileWriter& write,
                                     const FileCheck& check = {},
                                     const std::string& rejectPath = {},
                                     const RenameSteps& steps = {});
    // A writer that puts `text` into the file whole.
    static FileWriter TextWriter(const std::string& text);
    // Checks the written job `path` against the export just made, whose envelopes are
    // `envelopes`; the check's report in words.
    std::string VerifyExport(const std::string& path, const std::vector<Envelope>& envelopes);
    // The check's progress (status line, progress bar, counter) and stop, through the reporter.
    VerifyHooks CheckHooks();
    // Writes the list of `envelopes` when one is asked for.
    std::optional<Failure> WriteManifest(const std::vector<Envelope>& envelopes,
                                         const ManifestColumns& columns);

    AppState& m_state;
    Reporter& m_reporter;
    ExportStats m_lastExport;
    VerifyRun m_lastVerify;
    std::optional<std::string> m_manifestPath;
    std::vector<bool> m_keepEnvelopes;
    std::optional<std::int64_t> m_seqStart;
    bool m_renumber = false;
    std::function<void(ExportStep)> m_stepHook;
};

} // namespace kuvrion
