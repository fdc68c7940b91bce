// The program's shared state: one object, created at start and passed by reference to every
// command and window. Nothing here is global.
#pragma once

#include "addressees/AdrKey.h"
#include "addressees/ImportLog.h"
#include "addressees/AddresseeList.h"
#include "app/ProgramPaths.h"
#include "base/Failure.h"
#include "pcljob/PclJob.h"
#include "settings/IniAccess.h"
#include "settings/Settings.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kuvrion {

struct AppState {
    ProgramPaths paths;
    IniAccess oIni;
    Settings cfg; // as in the settings file; cfg.sSrcFile / cfg.sDstFile: source and destination

    PclJob MyPcl;
    AddresseeList Persons;

    // Results of the last import.
    std::int32_t nJobPages = 0;
    std::int32_t nImpAssigned = 0;
    KeyFaultCounts keyFaultCounts{};
    bool bImportComplete =
        false; // the last import ran to its end (a failed one cannot be exported)
    // The key found on each page by the last import, and the key settings it was found with: the
    // export reuses them while those settings stay, instead of searching every page again.
    std::vector<KeySpan> keySpans;
    std::string keySpansSettings;
    bool bJobDuplex = false; // the imported job prints on both sides
    // The last export failed its check and was not put in the destination's place; shown until
    // the next export or import.
    bool bLastExportFailed = false;
    // Why the last import was refused or stopped; nullopt after one that completed, and before any.
    std::optional<Failure> lastImportFailure;

    // Stored values the load step refused or bounded (refused ones stop the import until their
    // dialog stores new ones).
    std::vector<SettingIssue> settingIssues;

    bool bSrcOK = false;           // the source names an existing file
    bool bDstOK = false;           // the destination's folder exists and it is not the source
    std::int32_t nExportCount = 0; // addressees to export, from the first

    ImportLog log;
    bool bLogAvailable = false; // a log file exists ("&Anzeigen..." enabled)
};

} // namespace kuvrion
