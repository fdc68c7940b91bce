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
    IniAccess ini;
    Settings cfg; // as in the settings file; cfg.sourceFile / cfg.destinationFile: source and
                  // destination

    PclJob job;
    AddresseeList addressees;

    // Results of the last import.
    std::int32_t jobPages = 0;
    std::int32_t assignedPages = 0;
    KeyFaultCounts keyFaultCounts{};
    bool importComplete = false; // the last import ran to its end (a failed one cannot be exported)
    // The key found on each page by the last import, and the key settings it was found with: the
    // export reuses them while those settings stay, instead of searching every page again.
    std::vector<KeySpan> keySpans;
    std::string keySpansSettings;
    bool jobDuplex = false; // the imported job prints on both sides
    // The last export failed its check and was not put in the destination's place; shown until
    // the next export or import.
    bool lastExportFailed = false;
    // Why the last import was refused or stopped; nullopt after one that completed, and before any.
    std::optional<Failure> lastImportFailure;

    // Stored values the load step refused or bounded (refused ones stop the import until their
    // dialog stores new ones).
    std::vector<SettingIssue> settingIssues;

    bool sourceOk = false;        // the source names an existing file
    bool destinationOk = false;   // the destination's folder exists and it is not the source
    std::int32_t exportCount = 0; // addressees to export, from the first

    ImportLog log;
    bool logAvailable = false; // a log file exists ("&Anzeigen..." enabled)
};

} // namespace kuvrion
