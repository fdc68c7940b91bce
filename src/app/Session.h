// One front end's work on the shared state: the load step, the chosen source and destination, the
// export count, and what stands in the way of a command. The commands themselves live in one unit
// each (ImportCommand, ExportCommand, ReprintCommand, VerifyCommand, SkeletonCommand,
// ReferencePageCommand, PageTextCommand, SettingsCommands) and take the session; each returns its
// Outcome and shows nothing itself.
#pragma once

#include "app/AppState.h"
#include "app/Reporter.h"
#include "base/Failure.h"
#include "base/Result.h"
#include "marking/FeedPlan.h"
#include "settings/Settings.h"

#include <cstdint>
#include <optional>
#include <string>

namespace kuvrion {

class Session {
public:
    // Both must outlive the session.
    Session(AppState& state, Reporter& reporter);

    // The shared state, to read; it changes only through the commands.
    const AppState& State() const { return m_state; }
    AppState& State() { return m_state; }
    Reporter& Report() { return m_reporter; }

    // The load step: reads every setting into the state, checks source, destination and the log,
    // computes the code length, and notes which stored settings were bounded. Writes nothing.
    void Load();

    // Choose the source / the destination for this run (remembering them is the window's).
    void ChooseSource(const std::string& path);
    void ChooseDestination(const std::string& path);

    // The number of addressees to export, as entered (the import sets it to all of them).
    void SetExportCount(std::int32_t n);
    // Bounds the number to 1..Count of the addressees (1 when there are none) and returns it: when
    // the entry is finished.
    std::int32_t BoundExportCount();

    // What stands in the way, as the failure the command would report; nullopt when nothing does.
    // The source: none chosen (FileMissing) or not there (SourceMissing).
    std::optional<Failure> SourceFault() const;
    // A destination: none (FileMissing), the source itself (DestinationIsSource), or no folder to
    // put it in (TargetFolderMissing).
    std::optional<Failure> DestinationFault(const std::string& dst) const;
    // The chosen destination, as it was when chosen.
    std::optional<Failure> DestinationFault() const;
    // The import: the source, a stored key setting refused at load (SettingInvalid), incomplete
    // key settings (KeyIncomplete).
    std::optional<Failure> ImportBlocker() const;
    // The export: no complete import (ImportRefused with why, ImportIncomplete), no addressees
    // (NoAddressees), the destination.
    std::optional<Failure> ExportBlocker() const;
    bool CanImport() const { return !ImportBlocker(); }
    bool CanExport() const { return !ExportBlocker(); }

    // The first stored setting of `group` the load step refused, as the failure `what`.
    std::optional<Failure> RefusedSetting(SettingGroup group, FailureKind what) const;
    // The feeder rules with their ID lists; fails with why they cannot be used (FeedRuleInvalid,
    // FeedIdsUnreadable).
    Result<FeedRules> FeedRulesOrRefusal() const;
    // Which stored settings the load step bounded, in words; empty when none.
    std::string CorrectedSettingsNotice() const;
    // The job of the last import is gone (deleted or renamed): refreshes the source state and
    // returns the failure to report.
    std::optional<Failure> SourceGone();

private:
    void RefreshSource();
    void RefreshDestination();

    AppState& m_state;
    Reporter& m_reporter;
};

// The key settings the page text search depends on, as one text to compare.
std::string KeyFingerprint(const Settings& c);

} // namespace kuvrion
