// The confirm step of each settings dialog: updates the state and writes the dialog's keys in one
// replacement of the settings file. When that fails, the outcome says so (SettingsWrite with the
// system's reason) and the file keeps every key as it was.
#pragma once

#include "app/Outcome.h"
#include "app/Session.h"
#include "settings/Settings.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>

namespace kuvrion {

// What the dialog "Adressaten-Schlüssel" confirms.
struct KeySettingsValues {
    std::string begin, end; // start and end marker, Windows-1252
    std::int32_t idLength = 0;
    std::int32_t mode = 0;
    bool removeKey = false;
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

// What the dialog "Organisieren" confirms.
struct OrganizeValues {
    std::int32_t envelopeLimit = 0;
    bool limitOn = false;
    bool manifest = false;
};

// The code's place, the print area: put into `s` as the dialogs show them before they are stored.
void PutOmeLayout(Settings& s, const OmeLayoutValues& layout);
void PutPrintArea(Settings& s, const PrintAreaValues& area);

Outcome ApplyKeySettings(Session& session, const KeySettingsValues& key);
Outcome ApplyOmeCode(Session& session, const OmeCodeValues& code);
// The rule text of each feeder ("" for none). Refused (FeedRuleInvalid, nothing stored) when one
// is no rule.
Outcome ApplyFeedRules(Session& session, const std::array<std::string, 4>& rules);
Outcome ApplyOmeLayout(Session& session, const OmeLayoutValues& layout);
Outcome ApplyPrintArea(Session& session, const PrintAreaValues& area);
Outcome ApplyOrganize(Session& session, const OrganizeValues& organize);
// Takes the [dmx] settings from `dmx`. Refused (nothing stored) when the example sheet's content
// could not be written: DmxTemplate, DmxTooWide, DmxTooLong, and DmxNearBars (the symbol or its
// quiet zone in the bars' clear zone). Millimetres, quiet zone and job number are bounded. A
// place near an edge (DmxLayoutCheck) is stored with a warning.
Outcome ApplyDmx(Session& session, const Settings& dmx);
Outcome ApplyFillChar(Session& session, std::int32_t code);
// The fill character for this run only (the command-line tool).
void UseFillChar(Session& session, std::int32_t code);
// Why the fill character dialog's "&Ok" is not offered for the character code `code` (-1: none,
// or one without a Windows-1252 code); empty when it is.
std::string FillCharReason(std::int32_t code);

} // namespace kuvrion
