#include "base/SystemError.h"

#include <cerrno>

namespace kuvrion {

std::string DescribeErrno(int err)
{
    switch (err) {
    case 0:
        return "Kein Fehler";
    case ENOSPC:
        return "Kein Speicherplatz mehr auf dem Gerät";
    case EACCES:
        return "Zugriff verweigert";
    case EPERM:
        return "Vorgang nicht erlaubt";
    case EROFS:
        return "Schreibgeschütztes Dateisystem";
    case ENOENT:
        return "Datei oder Ordner nicht gefunden";
    case EIO:
        return "Ein-/Ausgabefehler";
    case EISDIR:
        return "Ist ein Ordner";
    case ENOTDIR:
        return "Ist kein Ordner";
    case EEXIST:
        return "Datei existiert bereits";
#ifdef EDQUOT
    case EDQUOT:
        return "Speicherkontingent überschritten";
#endif
    case EFBIG:
        return "Datei zu groß";
    case EBUSY:
        return "Gerät oder Ressource belegt";
    case ETXTBSY:
        return "Datei wird gerade benutzt";
    case EMFILE:
    case ENFILE:
        return "Zu viele offene Dateien";
    case ENAMETOOLONG:
        return "Dateiname zu lang";
    case ELOOP:
        return "Zu viele Ebenen symbolischer Verknüpfungen";
    case ENOMEM:
        return "Nicht genügend Speicher";
    case EINVAL:
        return "Ungültiges Argument";
    case EXDEV:
        return "Verschieben zwischen Dateisystemen nicht möglich";
    case ENODEV:
    case ENXIO:
        return "Gerät nicht vorhanden";
    case EINTR:
        return "Vorgang unterbrochen";
    case EAGAIN:
        return "Ressource vorübergehend nicht verfügbar";
    default:
        return "Systemfehler " + std::to_string(err);
    }
}

} // namespace kuvrion
