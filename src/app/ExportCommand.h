// The export: the addressees of the last import written as a marked job, checked before it
// replaces the destination, with the envelope list beside it when one is asked for. A reprint
// (ReprintCommand) is an export of chosen envelopes.
#pragma once

#include "app/Outcome.h"
#include "app/Session.h"
#include "app/Verification.h"
#include "marking/EnvelopeList.h"
#include "marking/ExportWriter.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace kuvrion {

// The points of an export a test may stop the program at, as a crash would.
enum class ExportStep { BeforeRename, AfterRename };

struct ExportRequest {
    // The marked job's file; nullopt: the chosen destination.
    std::optional<std::string> destination;
    // The envelope list's file; nullopt: beside the destination with ".csv" when the setting
    // "manifest" is on.
    std::optional<std::string> manifestPath;
    // The sequence value of the first sheet; nullopt: 0, or where the last export ended with
    // seq_continue on. A start beyond the counter refuses the export (SeqStartRange).
    std::optional<std::int64_t> seqStart;
    // Empty: a full export of the export count. Else every addressee, only the envelopes marked
    // true, numbered as in the full export (a reprint).
    std::vector<bool> keepEnvelopes;
    // A reprint numbers its sheets on from the start (open loop) instead of keeping the values of
    // the full export (closed loop).
    bool renumber = false;
    // Called at each step of the write, for the tests that stop there.
    std::function<void(ExportStep)> stepHook;
};

struct ExportOutcome : Outcome {
    ExportStats stats; // the figures of the job written
    VerifyRun check;   // the check of the written job
};

// Refused (NoAddressees, ImportIncomplete, DestinationIsSource, TargetFolderMissing) as
// ExportBlocker() says, when the source is gone or changed since the import, when the settings
// give no readable code (CodeUnusable) or the feeder rules cannot be used; else the outcome of
// writing the destination. When the check of the written job finds a problem (CheckFailed) the
// destination stays as it was and the checked job is kept beside it under RejectedExportPath();
// else the envelope list is written beside it when one is asked for (ManifestWrite).
ExportOutcome RunExport(Session& session, const ExportRequest& request = {});

// Where an export that failed its check is kept: "<name>.fehlerhaft.pcl" beside `dst`.
std::string RejectedExportPath(const std::string& dst);

// A first sheet's sequence value the settings' sequence bars cannot hold (SeqStartRange, with the
// largest value they can); nullopt when there is none or it fits.
std::optional<Failure> SeqStartRefusal(const Settings& s, std::optional<std::int64_t> seqStart);

// The state file's counter a sequence of these settings continues from (0 without
// seq_continue).
std::uint32_t NextSequenceValue(const Session& session);

// The envelopes of the full export of the last import (every addressee).
std::vector<Envelope> FullExportEnvelopes(const Session& session);

// The check's progress (status line, progress bar, counter) and stop, through the reporter.
VerifyHooks CheckHooks(Reporter& reporter);

} // namespace kuvrion
