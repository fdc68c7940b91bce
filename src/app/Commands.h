// Every command of the main window as an operation without windows: the same preconditions, the
// same effect on the shared state, status, progress and messages through a Reporter. The desktop
// program and the command-line tool both drive these.
#pragma once

#include "app/AppState.h"
#include "app/Reporter.h"
#include "app/Verification.h"
#include "marking/EnvelopeList.h"
#include "marking/ExportWriter.h"
#include "settings/Settings.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kuvrion {

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

    // Choose or drop the source / choose the destination. With `persist` the path (and the filter
    // index when given) is written to the settings file.
    void ChooseSource(const std::string& path, std::optional<std::int32_t> filterIndex,
                      bool persist = true);
    void DropFiles(const std::vector<std::string>& files); // first file only
    void ChooseDestination(const std::string& path, std::optional<std::int32_t> filterIndex,
                           bool persist = true);
    std::int32_t SourceFilterIndex() const;      // 1..2
    std::int32_t DestinationFilterIndex() const; // 1..2

    // Export-count field: every change, and leaving the field (bounds to 1..Count, 1 when none).
    void ExportCountChanged(std::string_view text);
    void ExportCountLeft();

    // The import pass. False when a failure stopped it or it refused the job (its message has been
    // shown).
    bool Import();
    // The last import refused the job: not PCL 5, or a duplex switch inside the job.
    bool ImportRefused() const { return m_importRefused; }
    // Only the page scan of the source (the command-line tool's "scan" and "skeleton"): connects
    // the job, sets the page count. False when the source cannot be opened or read.
    bool ScanSource();
    // Figures of the last export run.
    const ExportStats& LastExportStats() const { return m_lastExport; }
    // The export of the first nExportCount addressees to the destination. False on any refusal or
    // failure (its message has been shown); true after "Export wurde durchgeführt".
    bool Export();
    // Extras of the next exports: the manifest file (nullopt: beside the destination with ".csv"
    // when the setting "manifest" is on) and the envelopes of a reprint (empty: a full export of
    // the export count; else every addressee, only the envelopes marked true, numbered as in the
    // full export).
    void SetExportExtras(std::optional<std::string> manifestPath, std::vector<bool> keepEnvelopes);
    // The envelopes of the full export of the last import (every addressee).
    std::vector<Envelope> Envelopes() const;
    // The check of the last export's destination, run right after it was written.
    const VerifyRun& LastVerify() const { return m_lastVerify; }
    // The check of a marked job with the current settings (optionally against a source job).
    VerifyRun Verify(const std::string& marked, const std::optional<std::string>& source) const;

    // Escape skeleton: the path the dialog proposes, and the write after the dialog.
    std::string SkeletonPath() const;
    // With `persist` the path is stored as the next proposal (the command-line tool does not).
    bool SaveEscSkeleton(const std::string& path, bool persist = true);

    // Reference page: the options the dialog opens with, and its "&Ok".
    RefPageOptions RefPageDefaults() const;
    bool WriteReferencePage(const RefPageOptions& options, bool persist = true);

    // Log menu.
    void ToggleLog();
    // The log file to open; nullopt (after "Kein Logfile vorhanden") when there is none.
    std::optional<std::string> LogFileToOpen();
    // The manual to open; nullopt (after "Das Handbuch wurde nicht gefunden:") when there is none.
    std::optional<std::string> ManualToOpen();

    // The confirm step of each settings dialog: updates the state and writes its keys.
    void ApplyKeySettings(const std::string& beg, const std::string& end, std::int32_t idLen,
                          std::int32_t mode, bool rem);
    void ApplyOmeCode(const std::string& collect, const std::string& envelop,
                      const std::string& stop, std::int32_t supplyCount, std::int32_t seqchkCount,
                      const std::array<bool, 5>& marks);
    void ApplyOmeLayout(const std::array<float, 5>& xyabd);
    void ApplyPrintArea(const std::array<float, 6>& values);
    void ApplyOrganize(std::int32_t limit, bool on);
    void ApplyManifest(bool on);
    void ApplyFillChar(std::int32_t code);

    // Web update: remembered until the window closes.
    void RequestWebUpdate() { m_state.bRunUpdater = true; }
    // Closing: closes the log, stores the window position (twips) and the log switch.
    void Close(std::array<std::int32_t, 2> posTwips);
    // The updater's program and its five arguments.
    std::vector<std::string> UpdaterCommandLine() const;

    AppState& State() { return m_state; }
    const AppState& State() const { return m_state; }

private:
    void RefreshSource();
    void RefreshDestination();
    void SettingsWritten(bool ok);

    bool SourceUnchangedSinceImport();
    // Checks the written destination against the export just made; the message of the export.
    std::string VerifyExport();
    // Writes the manifest when one is asked for; false (message shown) when it cannot be written.
    bool WriteManifest();
    // The envelopes the next or last export writes, numbered as in the full export.
    std::vector<Envelope> ExportedEnvelopes() const;

    AppState& m_state;
    Reporter& m_reporter;
    ExportStats m_lastExport;
    VerifyRun m_lastVerify;
    std::optional<std::string> m_manifestPath;
    std::vector<bool> m_keepEnvelopes;
    bool m_importRefused = false;
};

} // namespace kuvrion
