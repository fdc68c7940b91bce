// Every text the commands show, from one table: the message of each command's result, the line
// the command-line tool prints when it was given input it cannot use, the descriptions of system
// errors and the status texts. Texts are UTF-8; a message box breaks lines at CR LF.
#pragma once

#include "base/Failure.h"
#include "addressees/ImportPass.h"
#include "marking/CodeRules.h"
#include "marking/Manifest.h"
#include "marking/SheetPlan.h"
#include "net/PrintPortListener.h"
#include "settings/Settings.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kuvrion {

enum class MessageKind { Plain, Information, Warning };

// The command whose result is worded.
enum class Action {
    Import,
    Scan,
    Export,
    Verify,
    Text, // the page text of the command-line tool
    Skeleton,
    RefPage,
    Settings,
    ShowLog,
    OpenManual,
    CommandLine,  // the job named on the desktop program's command line
    ImportReason, // why the import is not offered (tooltip and status line)
    ExportReason, // why the export is not offered, or why a path is shown in red
    Watch,        // a job of the watched folder
    Deliver,      // handing a marked job to a printer or a folder
    Listen,       // the print port
};

struct Message {
    std::string text; // empty: nothing is shown
    MessageKind kind = MessageKind::Plain;
};

// What `action` tells the user after `failure`, or after its success when there is none.
Message MessageFor(Action action, const std::optional<Failure>& failure);

// Why settings give no readable OME code: shown beside the field of the dialog that refuses them,
// and as the detail of the export's refusal.
std::string CodeFaultText(CodeFault fault);
// Why the key dialog cannot take its fields: shown beside them ("" for KeyFault::None).
std::string KeyFaultText(KeyFault fault);

// The words of the import log (Windows-1252).
const ImportLogWords& ImportLogWording();
// The words of the envelope list beside an export.
const ManifestWords& ManifestWording();

// Why a command is not offered while another one runs.
std::string BusyReasonText();
// What the counters of the status line say after the user stopped a command.
std::string CancelledText();

// Why the fill character dialog cannot take its field.
std::string FillCharFaultText();

// A warning of the reading-rule check, one sentence.
std::string RuleWarningText(RuleWarning warning);
// The sheet preview's note while the printer's margins are not entered (PrintAreaEntered).
std::string_view PrintAreaHintText();

// The line the command-line tool prints when `failure` means that the input it was given cannot
// be used (exit status 2); nullopt when the failure is one of the command itself.
std::optional<std::string> BadInputText(Action action, const Failure& failure);

// The stored settings the load step bounded, in one line ("Einstellungen in kuvrion.ini
// korrigiert: dummyasc=10 gilt als 32, ..."); empty when there are none. Refused ones are told
// by the import.
std::string CorrectedSettingsText(const std::string& file, const std::vector<SettingIssue>& issues);

// The outcome of the key search on one page, as the page-text window and `kuvrion-cli text` show
// it: `fault` the search's fault (nullopt: key found, with `id` as UTF-8 text), `addressee` the
// 0-based addressee the import gave the page (nullopt: none).
std::string PageOutcomeText(std::optional<std::int32_t> fault, const std::string& id,
                            std::optional<std::int32_t> addressee);
// The name of a key fault (AdrKeyFault): "Adress-ID zu kurz", ...; "" for another number.
std::string KeyFaultCaption(std::int32_t fault);

// The log line of the print port about one connection ("127.0.0.1:50312: Job port-....pcl
// angenommen (1234 Bytes)").
std::string PortEventText(const PortEvent& event);

// A short German description of an errno value ("Kein Speicherplatz mehr auf dem Gerät", ...).
std::string DescribeErrno(int err);

// The status texts, index 0..4: "Bereit", "Seiten werden geprüft...", "Adressaten werden
// gesammelt...", "Adressaten werden exportiert...", "Export wird geprüft...".
const char* StatusText(std::int32_t state);

} // namespace kuvrion
