// The check of a marked job as a command: reads the job, checks it (and against the export of a
// source job when one is named) and words the problems it found. Why a job cannot be checked at
// all is a Failure, worded by the message table.
#pragma once

#include "base/Failure.h"
#include "marking/Verify.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace kuvrion {

struct Settings;
struct FeedRules;

struct VerifyRun {
    VerifyReport report;
    std::optional<Failure> failure; // why the job could not be checked: FileMissing,
                                    // SourceUnreadable, NotPcl5 (the marked job),
                                    // ImportIncomplete (the source job), EnvelopeList or
                                    // EnvelopeOutOfRange (the reprint's list) or Cancelled

    // The job was checked and no problem found.
    bool Passed() const { return !failure && report.problems.empty(); }
};

// How a running check reports and is stopped; every member may be empty.
struct VerifyHooks {
    // How far the check is: `done` of `total` (bytes while the job is scanned, pages when it is
    // read page by page).
    std::function<void(std::int64_t done, std::int64_t total)> progress;
    // Each page as it is checked (1-based).
    std::function<void(std::int32_t page)> page;
    // Asked as the check goes on: true stops it (failure Cancelled).
    std::function<bool()> cancelled;
};

// What a check knows beyond the settings.
struct VerifyOptions {
    // The sequence value of the job's first sheet; nullopt: the first sheet's own value.
    std::optional<std::uint32_t> seqStart;
    // With a source: the job is a reprint of these envelopes of its full export ("3,5-7")...
    std::optional<std::string> envelopes;
    // ... which numbered its sheets on (open loop) instead of keeping their values.
    bool renumber = false;
    // With a source: the feeder rules whose feed bars the envelopes must carry.
    const FeedRules* feed = nullptr;
};

// Reads `marked` and checks it with the settings `s`; with `source`, imports it with the same
// settings and compares sheets and envelopes with its full export (or the reprint `options`
// names, with the sequence values and feed bars its envelopes have). Writes nothing.
// `envelopes`, when given without a source, are the export's envelopes: the 2D code is checked
// against them, and the job's sheets and envelopes are compared with them.
VerifyRun VerifyJobFile(const std::string& marked, const Settings& s,
                        const std::optional<std::string>& source,
                        const std::vector<Envelope>* envelopes = nullptr,
                        const VerifyHooks& hooks = {}, const VerifyOptions& options = {});

// "code", "position", ... for the JSON output.
const char* VerifyKindName(VerifyKind kind);
// One problem in words, without the sheet: "Parität ungerade (gefunden 1010, erwartet 1001)".
std::string VerifyProblemText(const VerifyProblem& problem);
// "Blatt 3: " + the text, or "Job: " + the text for the whole job.
std::string VerifyProblemLine(const VerifyProblem& problem);
// "9 Blätter, 4 Kuverts geprüft: keine Fehler" or "... : 2 Fehler".
std::string VerifySummary(const VerifyReport& report);
// The summary and, with problems, one line per kind of problem in the order they first occur:
// the kind, how many, the first sheets as ranges and the first such problem in words (CR LF
// between lines): "Position: 553 Striche auf Blatt 1–9 weichen ab, z. B. Blatt 1: ...".
std::string VerifyMessage(const VerifyReport& report);

} // namespace kuvrion
