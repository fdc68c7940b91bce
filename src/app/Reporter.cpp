#include "app/Reporter.h"

namespace kuvrion {

const char* StatusText(std::int32_t state)
{
    switch (state) {
    case 1:
        return "Seiten werden geprüft...";
    case 2:
        return "Adressaten werden gesammelt...";
    case 3:
        return "Adressaten werden exportiert...";
    default:
        return "Bereit";
    }
}

} // namespace kuvrion
