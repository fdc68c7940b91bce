// What the last import found, as the import status shows it: one row per kind of key fault, and
// whether any of them is a fault the operator must look at. The one place that decides that pages
// without a key are no fault when every page found its addressee (they are the following pages of
// multi-page letters).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kuvrion {

struct AppState;

struct KeyFaultRow {
    std::int32_t kind = 0;  // the key fault (AdrKeyFault)
    std::string caption;    // "Adress-ID zu kurz:", ... (UTF-8)
    std::int32_t pages = 0; // pages with that fault
    bool fault = false;     // the pages are a fault (else the row is as it should be)
};

std::vector<KeyFaultRow> KeyFaultRows(const AppState& state);
// Some row is a fault: the import status opens after the import.
bool ImportHasKeyFaults(const AppState& state);

} // namespace kuvrion
