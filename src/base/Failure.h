// A failure of the core as a value: what failed, the system error number and where it applies (the
// file, the page of a job or the sheet of a marked one, the byte offset). Functions that can fail
// return it in a Result (Result.h). The core never words a failure; the command layer turns it
// into the message the user sees.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace kuvrion {

enum class FailureKind : std::uint8_t {
    // The source job.
    SourceMissing,    // the source names no existing file
    SourceUnreadable, // the source cannot be opened or scanned
    SourceChanged,    // the source changed since the import
    NoPages,          // the job holds no page
    NotPcl5,          // the job is in another printer language (detail: the language found)
    DuplexSwitch,     // the job switches between simplex and duplex or selects sides itself
    PageRead,         // a page could not be read (err, page, offset)
    PageMissing,      // a page of an addressee is not in the job (page)
    // The import.
    KeyIncomplete,    // the key settings are incomplete
    SettingInvalid,   // a stored key setting the dialogs would refuse (path: the settings file's
                      // name; detail: "key=value")
    TooManyPages,     // an addressee would get more pages than it can hold (page)
    LogWrite,         // the import log could not be written (err)
    NoAddressees,     // the import found no addressee
    MarkerAbsent,     // the start marker occurs on no page, nor anything like it
    MarkerNearby,     // the start marker occurs on no page, but a text like it does (detail: that
                      // text, UTF-8)
    ImportIncomplete, // the last import did not run to its end
    ImportRefused,    // the last import was refused or stopped (detail: its message)
    // A file to be written (path).
    DestinationIsSource, // the destination names the source job
    NothingToDraw,       // a reference page with neither grid nor marks
    TargetFolderMissing, // the target's folder does not exist (err)
    TargetBlocked,       // a write-protected file or a folder stands in the target's place
    TargetOpen,          // the temporary file beside the target could not be created (err)
    TargetWrite,         // writing the temporary file failed (err)
    TargetCommit,        // completing or renaming the temporary file failed (err)
    // The proof of a marked job, the envelope list and the reprint.
    CheckFailed,        // the check of a marked job found problems (detail: the check's report)
    ManifestWrite,      // the envelope list beside the export could not be written (err, path)
    EnvelopeList,       // a reprint list that is not a list of envelope numbers (detail: the list)
    EnvelopeOutOfRange, // a reprint list names an envelope the export does not fill (detail: the
                        // list; count: the number of envelopes there are)
    // The sequence across exports and the selective feed.
    SeqStartRange,     // a sequence start beyond the counter (detail: the value; page: the largest)
    SeqUnknown,        // a closed-loop reprint whose full export's sequence start is not known
    StateWrite,        // the state file could not be written (err, path)
    FeedRuleInvalid,   // a stored feeder rule that is no rule (path: the settings file's name;
                       // detail: "key=value")
    FeedIdsUnreadable, // the ID list of a feeder rule cannot be read (err, path; page: the feeder)
    // The 2D code beside the bars.
    DmxTemplate,    // a content template that is not text and fields (detail: the template)
    DmxTooWide,     // a value wider than its field (sheet; detail: "{ENV:2}=123")
    DmxTooLong,     // content beyond the largest symbol (sheet; detail: its length)
    DmxOutside,     // the symbol lies left of or above the print area
    DmxUnavailable, // the program was built without the 2D code library
    DmxNearBars,    // a warning: the symbol reaches into the clear zone of the bars
    DmxNearEdge,    // a warning: the symbol lies within 5 mm of an edge of the sheet
    // Other files.
    SettingsWrite, // the settings file could not be written (path)
    FileMissing,   // a file to be opened does not exist (path)
    NoViewer,      // no program on this computer opens the file (path)
    ProgramFailed, // a program could not be started or did not end normally (err, path)
    CodeUnusable,  // the OME settings give no readable code (detail: why)
    // Jobs without hands: the watched folder, delivery to a printer, the print port.
    JournalWrite,   // the journal could not be written (err, path)
    JobMove,        // a job could not be moved between the folders of a watched folder (err, path)
    DeliveryTarget, // a delivery target that is no folder and no known printer address (detail)
    PrinterRefused, // the printer refused the connection or cannot be reached (err, path: address)
    PrinterTimeout, // the printer did not take the job in time (path: address)
    DeliveryFailed, // sending to the printer or copying into the folder broke off (err, path)
    ListenFailed,   // the print port could not be opened (err, detail: address and port)
    AllowList,      // an entry of an allow list that is no address or network (detail)
    NoDeliveryTarget, // the settings name no target for marked jobs ([deliver] to=; path)
    DeliveryInDoubt,  // a delivery began before a stop and may have printed; not sent again (path)
    OutOfMemory,
    Cancelled, // the user stopped the command; nothing it would have written was kept
};

struct Failure {
    FailureKind what;
    int err = 0;             // the system error number (errno), 0 when no system call failed
    std::int32_t page = 0;   // the 1-based number of the job page where it applies, 0 when none
    std::string path = {};   // the file it concerns, where the message names it
    std::string detail = {}; // what else the message names (the language of a refused job)
    std::int32_t sheet = 0;  // the 1-based number of the sheet of a marked job, 0 when none
    std::int32_t count = 0;  // a number of things the message names (envelopes there are)
    std::optional<std::int64_t> offset = {}; // the 0-based byte offset in `path` where it applies
};

} // namespace kuvrion
