#include "app/Messages.h"

#include "settings/SettingsCatalogue.h"

#include <array>
#include <cerrno>
#include <cstring>
#include <string_view>
#include <utility>

namespace kuvrion {

namespace {

using enum FailureKind;
using enum MessageKind;

// One row per result a command words. `text` is the message; `badInput`, when set, is what the
// command-line tool prints instead, because for it the failure means unusable input. In both,
// {path}, {page}, {sheet}, {count} and {error} stand for the failure's file, page number, sheet
// number, count and system error.
struct Row {
    Action action;
    std::optional<FailureKind> failure; // nullopt: the command succeeded
    MessageKind kind;
    std::string_view text;
    std::string_view badInput = {};
};

constexpr std::string_view kSourceMissing = "Quelldatei nicht gefunden: {path}";
constexpr std::string_view kSourceUnreadable =
    "Quelldatei konnte nicht gelesen werden: {path}{cause}";
constexpr std::string_view kSourceDeleted =
    "Die Quelldatei wurde seit dem Import gelöscht oder umbenannt: {path}";
constexpr std::string_view kCodeUnusable =
    "Export nicht möglich: Die OME-Einstellungen ergeben keinen lesbaren Code.\r\n{detail}";
constexpr std::string_view kSettingInvalid =
    "Einstellung {detail} in {path} ist ungültig: erlaubt ist {allowed}. Bitte unter "
    "Einstellungen / Adressatenschlüssel korrigieren.";
constexpr std::string_view kFeedRuleInvalid =
    "Einstellung {detail} in {path} ist ungültig: erlaubt ist text:Text, ids:Datei oder sheets: "
    "mit >=, <= oder = und einer Blattzahl von 1 bis 32767. Bitte unter Einstellungen / OME / "
    "Code, „Zufuhr...“ korrigieren.";
constexpr std::string_view kFeedIdsUnreadable =
    "Die ID-Liste der Zufuhr {page} konnte nicht gelesen werden: {path}{cause}";
constexpr std::string_view kSeqStartRange =
    "Der Startwert der Folgeprüfung {detail} passt nicht in den Zähler: erlaubt ist 0 bis {page}.";
constexpr std::string_view kNoPages = "Der Druckjob enthält keine Seiten: {path}";
constexpr std::string_view kSourceChanged =
    "Die Quelldatei wurde seit dem Import geändert. Bitte erneut importieren.";
// Jobs the import refuses before reading a page, since their marked job would be wrong.
constexpr std::string_view kNotPcl5 =
    "Der Druckjob ist kein PCL-5-Druckjob (erkannt: {detail}). Bitte "
    "im Druckertreiber PCL 5 wählen und erneut drucken.";
constexpr std::string_view kDuplexSwitch =
    "Der Druckjob wechselt innerhalb des Jobs zwischen Simplex und Duplex; das wird nicht "
    "unterstützt.";
constexpr std::string_view kVerifyNotPcl5 =
    "Der Druckjob ist kein PCL-5-Druckjob (erkannt: {detail}): {path}";
constexpr std::string_view kSourceRefused = "Der Quelljob kann nicht importiert werden: {path}";
constexpr std::string_view kEnvelopeList =
    "Die Kuvertliste ist fehlerhaft (Beispiel: 3,5-7): {detail}";
constexpr std::string_view kEnvelopeOutOfRange =
    "Die Kuvertliste nennt ein Kuvert, das der Job nicht hat (Kuverts 1 bis {count}): {detail}";
constexpr std::string_view kTargetNotCreated =
    "Zieldatei konnte nicht angelegt werden: {path}{cause}";
constexpr std::string_view kSkeletonFailed =
    "Esc-Skelett konnte nicht geschrieben werden:\r\n{error}";
constexpr std::string_view kSkeletonFileFailed =
    "Esc-Skelett konnte nicht geschrieben werden: {path}\r\n{error}";
constexpr std::string_view kRefFileNotCreated =
    "Referenzdatei konnte nicht angelegt werden: {path}{cause}";
constexpr std::string_view kRefPageFailed =
    "Referenzseite konnte nicht geschrieben werden: {path}\r\n{error}";
constexpr std::string_view kDmxTemplate =
    "Das Muster des 2D-Codes ist fehlerhaft: {detail}. Erlaubt sind Text und die Felder ENV, "
    "SHEET, SHEETS, CLOSE, SEQ, JOB und ID in geschweiften Klammern, wahlweise mit Doppelpunkt "
    "und einer Stellenzahl von 1 bis 20.";
constexpr std::string_view kDmxTooWide =
    "Der 2D-Code kann nicht geschrieben werden: Auf Blatt {sheet} ist ein Wert breiter als sein "
    "Feld ({detail}). Bitte die Stellenzahl im Muster erhöhen.";
constexpr std::string_view kDmxTooLong =
    "Der 2D-Code kann nicht geschrieben werden: Der Inhalt für Blatt {sheet} ist mit {detail} "
    "Zeichen zu lang für das größte Symbol. Bitte das Muster kürzen.";
constexpr std::string_view kDmxOutside =
    "Der 2D-Code liegt links oder oberhalb des bedruckbaren Bereichs. Bitte seine Position "
    "prüfen (Einstellungen, OME, 2D-Code).";
constexpr std::string_view kDmxUnavailable =
    "Dieses Programm wurde ohne 2D-Code gebaut. Bitte den 2D-Code in den Einstellungen "
    "ausschalten.";

// Two texts as one, at compile time.
template <std::size_t N1, std::size_t N2>
constexpr std::array<char, N1 + N2 - 1> Join(const char (&a)[N1], const char (&b)[N2])
{
    std::array<char, N1 + N2 - 1> out{};
    for (std::size_t i = 0; i + 1 < N1; ++i)
        out[i] = a[i];
    for (std::size_t i = 0; i < N2; ++i)
        out[N1 - 1 + i] = b[i];
    return out;
}
template <std::size_t N> constexpr std::string_view Text(const std::array<char, N>& joined)
{
    return {joined.data(), N - 1};
}

// Where to look when the pages give the key search no text.
constexpr char kDriverHint[] =
    "Unter „Datei / Seitentext...“ (Kommandozeile: „kuvrion-cli text JOB“) sehen Sie, welchen "
    "Text Kuvrion auf einer Seite liest. Viele Druckertreiber senden Text als Grafik oder in "
    "nachgeladenen Schriften; stellen Sie im Treiber „Druckerschriften verwenden“ bzw. „Text "
    "als Zeichen senden“ ein und drucken Sie erneut.";
constexpr auto kNoAddressees =
    Join("Auf keiner Seite wurde der Adressatenschlüssel gefunden: {path}\r\n", kDriverHint);
constexpr auto kMarkerAbsent =
    Join("Die Startkennung des Adressatenschlüssels kommt auf keiner Seite vor: {path}\r\n",
         kDriverHint);
constexpr auto kMarkerNearby =
    Join("Die Startkennung des Adressatenschlüssels kommt auf keiner Seite vor: {path}\r\n"
         "Ähnlichster Text in den Seiten: „{detail}“. Bitte die Startkennung unter "
         "Einstellungen / Adressatenschlüssel prüfen.\r\n",
         kDriverHint);
constexpr std::string_view kDeliveryTarget =
    "Unbekanntes Ziel (erlaubt sind ein Ordner, file:, socket://, ipp:// und lpd://): {detail}";
constexpr std::string_view kListenFailed =
    "Der Druckport {detail} kann nicht geöffnet werden: {error}";

constexpr std::string_view kAllowList =
    "Kein Netz und keine Adresse (Beispiel: 192.168.10.0/24): {detail}";

// Rows with an empty text are failures the desktop program shows otherwise: it offers the command
// only when they cannot happen, or (an unreadable job) shows the import's 0 pages.
constexpr Row kRows[] = {
    {Action::Scan, SourceMissing, Plain, "", kSourceMissing},
    {Action::Scan, SourceUnreadable, Plain, "", kSourceUnreadable},

    {Action::Import, SourceMissing, Plain, "", kSourceMissing},
    {Action::Import, SourceUnreadable, Warning, kSourceUnreadable, kSourceUnreadable},
    {Action::Import, NoPages, Warning, kNoPages, kNoPages},
    // Not failures of the import: it ran, but found no key on any page.
    {Action::Import, NoAddressees, Warning, Text(kNoAddressees)},
    {Action::Import, MarkerAbsent, Warning, Text(kMarkerAbsent)},
    {Action::Import, MarkerNearby, Warning, Text(kMarkerNearby)},
    {Action::Import, KeyIncomplete, Plain, "",
     "Der Adressatenschlüssel ist nicht vollständig eingestellt (Startkennung und Endekennung "
     "oder feste ID-Länge, Abschnitt [keys])."},
    {Action::Import, SettingInvalid, Warning, kSettingInvalid, kSettingInvalid},
    {Action::Import, NotPcl5, Warning, kNotPcl5, kNotPcl5},
    {Action::Import, DuplexSwitch, Warning, kDuplexSwitch, kDuplexSwitch},
    {Action::Import, LogWrite, Plain,
     "Das Logfile konnte nicht geschrieben werden: {path}\r\n{error}"},
    {Action::Import, PageRead, Plain,
     "Seite {page} konnte nicht gelesen werden: {path}\r\n{error}"},
    {Action::Import, TooManyPages, Plain,
     "Seite {page}: Ein Adressat kann höchstens 32767 Seiten haben."},
    {Action::Import, OutOfMemory, Plain, "Nicht genügend Arbeitsspeicher für den Import."},
    {Action::Import, Cancelled, Plain, "Import abgebrochen: es wurde nichts übernommen."},

    {Action::Export, {}, Plain, "Export wurde durchgeführt"},
    {Action::Export, NoAddressees, Warning,
     "Im Druckjob wurde kein Adressat gefunden: nichts zu exportieren."},
    {Action::Export, ImportIncomplete, Plain, ""},
    {Action::Export, DestinationIsSource, Warning, "", "Die Zieldatei ist die Quelldatei: {path}"},
    {Action::Export, TargetFolderMissing, Warning, kTargetNotCreated,
     "Der Ordner der Zieldatei existiert nicht: {path}"},
    {Action::Export, SourceChanged, Warning, kSourceChanged},
    {Action::Export, SourceMissing, Warning, kSourceDeleted},
    // Settings that give no readable code (detail: which).
    {Action::Export, CodeUnusable, Warning, kCodeUnusable,
     "Export nicht möglich: Die OME-Einstellungen ergeben keinen lesbaren Code. {detail}"},
    {Action::Export, TargetBlocked, Warning, "Zieldatei ist schreibgeschützt: {path}"},
    {Action::Export, TargetOpen, Warning, kTargetNotCreated},
    {Action::Export, TargetWrite, Warning,
     "Export fehlgeschlagen:\r\nDie Zieldatei konnte nicht geschrieben werden: {path}{cause}"},
    {Action::Export, TargetCommit, Warning,
     "Export fehlgeschlagen:\r\nDie Zieldatei konnte nicht fertig geschrieben werden: "
     "{path}{cause}"},
    {Action::Export, PageRead, Warning,
     "Export fehlgeschlagen:\r\nSeite {page} konnte nicht gelesen werden: {error}"},
    {Action::Export, PageMissing, Warning,
     "Export fehlgeschlagen:\r\nSeite {page} konnte nicht gelesen werden: Die Seite ist nicht im "
     "Job."},
    {Action::Export, OutOfMemory, Warning,
     "Export fehlgeschlagen:\r\nNicht genügend Arbeitsspeicher für den Export."},

    {Action::Export, Cancelled, Plain, "Export abgebrochen: die Zieldatei blieb unverändert."},
    {Action::Export, CheckFailed, Warning,
     "Export nicht übernommen: Die Prüfung fand Fehler, die Zieldatei blieb unverändert. Der "
     "geprüfte Job liegt zur Ansicht hier: {path}\r\n{detail}"},
    {Action::Export, ManifestWrite, Warning,
     "Export wurde durchgeführt, aber die Begleitliste konnte nicht geschrieben werden:\r\n"
     "{path}\r\n{error}"},
    {Action::Export, EnvelopeList, Warning, kEnvelopeList, kEnvelopeList},
    {Action::Export, EnvelopeOutOfRange, Warning, kEnvelopeOutOfRange, kEnvelopeOutOfRange},
    {Action::Export, SeqStartRange, Warning, kSeqStartRange, kSeqStartRange},
    {Action::Export, SeqUnknown, Warning,
     "Nachdruck nicht möglich: Die Folgewerte des Erstdrucks sind nicht bekannt, weil die "
     "Sequenz über Jobs fortgesetzt wird und zuletzt ein anderer Job exportiert wurde. Bitte den "
     "Startwert des Erstdrucks angeben (Begleitliste, Spalte „Folge von“ des ersten Kuverts) "
     "oder neu nummerieren.",
     "Nachdruck nicht möglich: Die Folgewerte des Erstdrucks sind nicht bekannt. Bitte --seq-start "
     "mit dem Startwert des Erstdrucks angeben (Begleitliste, Spalte „Folge von“ des ersten "
     "Kuverts) oder --renumber."},
    {Action::Export, StateWrite, Warning,
     "Export nicht übernommen: Der Stand der Folgeprüfung konnte nicht gespeichert werden, die "
     "Zieldatei blieb unverändert: {path}{cause}"},
    {Action::Export, FeedRuleInvalid, Warning, kFeedRuleInvalid, kFeedRuleInvalid},
    {Action::Export, FeedIdsUnreadable, Warning, kFeedIdsUnreadable, kFeedIdsUnreadable},
    {Action::Export, DmxTemplate, Warning, kDmxTemplate, kDmxTemplate},
    {Action::Export, DmxTooWide, Warning, kDmxTooWide, kDmxTooWide},
    {Action::Export, DmxTooLong, Warning, kDmxTooLong, kDmxTooLong},
    {Action::Export, DmxOutside, Warning, kDmxOutside, kDmxOutside},
    {Action::Export, DmxUnavailable, Warning, kDmxUnavailable, kDmxUnavailable},

    {Action::Verify, CheckFailed, Warning, "{detail}"},
    {Action::Verify, FileMissing, Warning, "Datei nicht gefunden: {path}",
     "Datei nicht gefunden: {path}"},
    {Action::Verify, SourceUnreadable, Warning, "Datei konnte nicht gelesen werden: {path}",
     "Datei konnte nicht gelesen werden: {path}"},
    {Action::Verify, NotPcl5, Warning, kVerifyNotPcl5, kVerifyNotPcl5},
    {Action::Verify, ImportIncomplete, Warning, kSourceRefused, kSourceRefused},
    {Action::Verify, Cancelled, Plain, "Prüfung abgebrochen: {path}",
     "Prüfung abgebrochen: {path}"},
    {Action::Verify, SeqStartRange, Warning, kSeqStartRange, kSeqStartRange},
    {Action::Verify, FeedRuleInvalid, Warning, kFeedRuleInvalid, kFeedRuleInvalid},
    {Action::Verify, FeedIdsUnreadable, Warning, kFeedIdsUnreadable, kFeedIdsUnreadable},
    {Action::Verify, EnvelopeList, Warning, kEnvelopeList, kEnvelopeList},
    {Action::Verify, EnvelopeOutOfRange, Warning, kEnvelopeOutOfRange, kEnvelopeOutOfRange},

    {Action::Text, PageMissing, Plain, "", "Seite {page} gibt es im Druckjob nicht: {path}"},

    {Action::Skeleton, {}, Plain, "Esc-Skelett wurde gespeichert."},
    {Action::Skeleton, NoPages, Plain, "", "Der Druckjob enthält keine Seiten: {path}"},
    {Action::Skeleton, SourceChanged, Warning, kSourceChanged},
    {Action::Skeleton, SourceMissing, Warning, kSourceDeleted},
    {Action::Skeleton, TargetBlocked, Plain, "'{path}'\r\nist schreibgeschützt"},
    {Action::Skeleton, TargetFolderMissing, Warning, kSkeletonFileFailed},
    {Action::Skeleton, TargetOpen, Warning, kSkeletonFileFailed},
    {Action::Skeleton, TargetWrite, Warning, kSkeletonFileFailed},
    {Action::Skeleton, TargetCommit, Warning, kSkeletonFileFailed},
    {Action::Skeleton, PageRead, Warning, kSkeletonFailed},
    {Action::Skeleton, Cancelled, Plain, "Esc-Skelett abgebrochen: die Datei blieb unverändert."},

    {Action::RefPage, {}, Plain, "Referenzseite wurde erzeugt"},
    {Action::RefPage, NothingToDraw, Warning, "",
     "Raster und OME-Markierungen sind beide ausgeschaltet: es gibt nichts zu schreiben."},
    {Action::RefPage, TargetFolderMissing, Warning, kRefFileNotCreated,
     "Der Ordner der Referenzdatei existiert nicht: {path}"},
    {Action::RefPage, TargetBlocked, Warning, "Referenzdatei ist schreibgeschützt: {path}"},
    {Action::RefPage, TargetOpen, Warning, kRefFileNotCreated},
    {Action::RefPage, TargetWrite, Warning, kRefPageFailed},
    {Action::RefPage, TargetCommit, Warning, kRefPageFailed},

    {Action::Settings, SettingsWrite, Warning,
     "Die Einstellungen konnten nicht gespeichert werden:\r\n{path}{cause}"},
    {Action::Settings, FileMissing, Plain, "", "Einstellungsdatei nicht gefunden: {path}"},
    {Action::Settings, FeedRuleInvalid, Warning, kFeedRuleInvalid},
    {Action::Settings, DmxTemplate, Warning, kDmxTemplate},
    {Action::Settings, DmxTooWide, Warning,
     "Ein Wert ist breiter als sein Feld ({detail}). Bitte die Stellenzahl im Muster erhöhen."},
    {Action::Settings, DmxTooLong, Warning,
     "Der Inhalt ist mit {detail} Zeichen zu lang für das größte Symbol. Bitte das Muster "
     "kürzen."},
    {Action::Settings, DmxNearBars, Warning,
     "Der 2D-Code reicht mit seiner Ruhezone in die Freizone der OME-Striche (2 mm um die "
     "Strichspalte): der Leser hielte ihn für Striche. Bitte den 2D-Code weiter von den Strichen "
     "entfernt platzieren; die Einstellungen wurden nicht gespeichert."},
    {Action::Settings, DmxNearEdge, Warning,
     "Der 2D-Code liegt weniger als 5 mm vom Blattrand (A4). Die Einstellungen wurden "
     "gespeichert; bitte die Lage prüfen."},
    {Action::ShowLog, FileMissing, Plain, "Kein Logfile vorhanden"},
    {Action::OpenManual, FileMissing, Plain, "Das Handbuch wurde nicht gefunden:\r\n{path}"},
    // No program on this computer opens the file.
    {Action::ShowLog, NoViewer, Warning,
     "Kein Programm zum Anzeigen von Textdateien gefunden. Das Logfile liegt hier: {path}"},
    {Action::OpenManual, NoViewer, Warning,
     "Kein Programm zum Anzeigen von PDF-Dateien gefunden. Das Handbuch liegt hier: {path}"},

    {Action::CommandLine, FileMissing, Warning, "Die Datei wurde nicht gefunden: {path}"},

    // Reasons of a disabled command or a red path; FileMissing: nothing chosen yet.
    {Action::ImportReason, FileMissing, Plain, "Bitte zuerst eine Quelldatei wählen"},
    {Action::ImportReason, SourceMissing, Plain, "Quelldatei nicht gefunden: {path}"},
    {Action::ImportReason, SettingInvalid, Plain, kSettingInvalid},
    {Action::ImportReason, KeyIncomplete, Plain, "Bitte zuerst den Adressatenschlüssel einstellen"},
    {Action::ExportReason, ImportIncomplete, Plain, "Bitte zuerst importieren"},
    {Action::ExportReason, ImportRefused, Plain,
     "Kein Export möglich, der letzte Import wurde abgelehnt: {detail}"},
    {Action::ExportReason, NoAddressees, Plain, "Im Druckjob wurde kein Adressat gefunden"},
    {Action::ExportReason, FileMissing, Plain, "Bitte zuerst eine Zieldatei wählen"},
    {Action::ExportReason, DestinationIsSource, Plain, "Ziel ist die Quelldatei"},
    {Action::ExportReason, TargetFolderMissing, Plain, "Ordner fehlt: {path}"},

    {Action::Watch, TargetFolderMissing, Warning,
     "Der Ordner konnte nicht angelegt werden: {path}\r\n{error}",
     "Der überwachte Ordner existiert nicht: {path}"},
    {Action::Watch, DestinationIsSource, Warning, "",
     "Ausgabe-, Erledigt- und Fehlerordner dürfen nicht der überwachte Ordner sein: {path}"},
    {Action::Watch, JournalWrite, Warning,
     "Das Journal konnte nicht geschrieben werden: {path}\r\n{error}"},
    {Action::Watch, JobMove, Warning, "Der Job konnte nicht verschoben werden: {path}\r\n{error}"},

    {Action::Deliver, {}, Plain, "Der Job wurde übergeben."},
    {Action::Deliver, FileMissing, Warning, "Datei nicht gefunden: {path}",
     "Datei nicht gefunden: {path}"},
    {Action::Deliver, DeliveryTarget, Warning, kDeliveryTarget, kDeliveryTarget},
    {Action::Deliver, NoDeliveryTarget, Warning,
     "Kein Ziel für markierte Jobs eingestellt (Abschnitt [deliver], Schlüssel to=): {path}"},
    {Action::Deliver, PrinterRefused, Warning, "Der Drucker {path} ist nicht erreichbar: {error}"},
    {Action::Deliver, PrinterTimeout, Warning,
     "Der Drucker {path} hat den Job nicht rechtzeitig angenommen."},
    {Action::Deliver, DeliveryFailed, Warning, "Die Übergabe an {path} ist abgebrochen: {error}"},
    {Action::Deliver, DeliveryInDoubt, Warning,
     "Die Übergabe von {path} wurde unterbrochen, der Job ist vielleicht schon gedruckt. Er wird "
     "nicht noch einmal gesendet: bitte am Drucker prüfen und den Job bei Bedarf erneut in den "
     "Ordner legen."},

    {Action::Listen, ListenFailed, Warning, kListenFailed, kListenFailed},
    {Action::Listen, TargetFolderMissing, Warning, "", "Der Spool-Ordner existiert nicht: {path}"},
    {Action::Listen, AllowList, Warning, kAllowList, kAllowList},
};

const Row* FindRow(Action action, std::optional<FailureKind> failure)
{
    for (const Row& row : kRows) {
        if (row.action == action && row.failure == failure)
            return &row;
    }
    return nullptr;
}

// What a setting's dialog accepts, for the setting named in "key=value".
std::string AllowedText(std::string_view keyValue)
{
    const SettingDef* row = FindSetting(keyValue.substr(0, keyValue.find('=')));
    if (!row)
        return {};
    return "eine ganze Zahl von " + std::to_string(row->min) + " bis " + std::to_string(row->max);
}

std::string Fill(std::string_view text, const std::optional<Failure>& failure)
{
    std::string out;
    while (!text.empty()) {
        const std::size_t open = text.find('{');
        const std::size_t close = text.find('}', open);
        out.append(text.substr(0, open));
        if (open == std::string_view::npos || close == std::string_view::npos)
            break;
        const std::string_view name = text.substr(open + 1, close - open - 1);
        if (failure && name == "path")
            out += failure->path;
        else if (failure && name == "page")
            out += std::to_string(failure->page);
        else if (failure && name == "sheet")
            out += std::to_string(failure->sheet);
        else if (failure && name == "count")
            out += std::to_string(failure->count);
        else if (failure && name == "detail")
            out += failure->detail;
        else if (failure && name == "allowed")
            out += AllowedText(failure->detail);
        else if (failure && name == "cause" && failure->err != 0)
            out += " (" + DescribeErrno(failure->err) + ")";
        else if (failure && name == "error")
            out += DescribeErrno(failure->err);
        text.remove_prefix(close + 1);
    }
    return out;
}

constexpr std::pair<CodeFault, std::string_view> kCodeFaults[] = {
    {CodeFault::CollectEmpty, "Sammeln: Bitte einen Code eingeben (z. B. 10)."},
    {CodeFault::EnvelopEmpty, "Kuvertieren: Bitte einen Code eingeben (z. B. 11)."},
    {CodeFault::CollectNoBar, "Sammeln: Der Code setzt keinen Strich."},
    {CodeFault::EnvelopNoBar, "Kuvertieren: Der Code setzt keinen Strich."},
    {CodeFault::SamePattern,
     "Sammeln und Kuvertieren haben denselben Code: die Maschine kann sie nicht unterscheiden."},
    {CodeFault::NoLength, "Die Breite B muss größer als 0 mm sein."},
    {CodeFault::NoThickness, "Die Dicke D muss größer als 0 mm sein."},
    {CodeFault::LeftOfPrintArea,
     "Die Striche liegen links vom bedruckbaren Bereich und würden nicht gedruckt: mindestens 1 mm "
     "jedes Strichs muss rechts vom Rand liegen (X größer wählen)."},
};

constexpr std::pair<RuleWarning, std::string_view> kRuleWarnings[] = {
    {RuleWarning::ThinBar, "Striche dünner als 0,2 mm (D) erkennen viele Leser nicht."},
    {RuleWarning::NarrowPitch, "Der Strichabstand A + D liegt unter 2,54 mm."},
    {RuleWarning::ShortBar, "Gedruckte Striche sind kürzer als 5 mm."},
    {RuleWarning::NearTop, "Der Code liegt weniger als 15 mm unter der Oberkante."},
    {RuleWarning::NearBottom, "Der Code reicht näher als 30 mm an die Unterkante."},
    {RuleWarning::Cut, "Striche werden vom bedruckbaren Bereich abgeschnitten."},
    {RuleWarning::Dropped, "Striche liegen links vom bedruckbaren Bereich und werden weggelassen."},
    {RuleWarning::Moved,
     "Der Code beginnt über dem bedruckbaren Bereich und wird nach unten verschoben."},
    {RuleWarning::SideClearance, "Zwischen Code und Blattrand bleiben weniger als 3 mm frei."},
};

// The text a table gives `key`; "" for a key it lacks.
template <class Key, std::size_t N>
std::string TextOf(const std::pair<Key, std::string_view> (&table)[N], Key key)
{
    for (const auto& [k, text] : table) {
        if (k == key)
            return std::string(text);
    }
    return {};
}

} // namespace

std::string RuleWarningText(RuleWarning warning)
{
    return TextOf(kRuleWarnings, warning);
}

std::string_view PrintAreaHintText()
{
    return "Rand des Druckers nicht eingetragen (0 mm): Auf PCL-Druckern stehen die Striche dann "
           "meist gut 6 mm weiter rechts und um den oberen Rand des Jobs tiefer als gezeichnet. "
           "Rand unter „PCL-Einstellungen“ eintragen und mit der Referenzseite prüfen.";
}

std::string CodeFaultText(CodeFault fault)
{
    return TextOf(kCodeFaults, fault);
}

std::string KeyFaultText(KeyFault fault)
{
    switch (fault) {
    case KeyFault::NoStartMarker:
        return "Bitte eine Startkennung eingeben.";
    case KeyFault::NoEndMarker:
        return "Bitte eine Endekennung eingeben (oder eine feste ID-Länge wählen).";
    case KeyFault::NoIdLength:
        return "Bitte eine ID-Länge von 1 bis 99 eingeben.";
    case KeyFault::None:
        break;
    }
    return {};
}

Message MessageFor(Action action, const std::optional<Failure>& failure)
{
    const Row* row = FindRow(action, failure ? std::optional(failure->what) : std::nullopt);
    if (!row) {
        // A failure never passes unnoticed, even one no row words.
        return failure ? Message{DescribeErrno(failure->err), Warning} : Message{};
    }
    return {Fill(row->text, failure), row->kind};
}

std::optional<std::string> BadInputText(Action action, const Failure& failure)
{
    const Row* row = FindRow(action, failure.what);
    if (!row || row->badInput.empty())
        return std::nullopt;
    return Fill(row->badInput, failure);
}

const ImportLogWords& ImportLogWording()
{
    static const ImportLogWords words{"Log:",   "Quelle:",     "Import:",     "Seiten:",
                                      "Abbruch:", "Duplex:",   "kurze Kante", "lange Kante",
                                      "Seite\tAdrID\tAdrS.\tKey", "Adr.:"};
    return words;
}

const ManifestWords& ManifestWording()
{
    static const ManifestWords words{
        "Kuvert;Adressat;Blätter;Seiten;Quellseiten;Erstes Blatt;Letztes Blatt",
        "2D-Code", "Folge von", "Folge bis", "Folge", "wie Erstdruck", "neu", "Zufuhr", "Summe"};
    return words;
}

std::string BusyReasonText()
{
    return "Bitte warten, bis der laufende Vorgang fertig ist (Esc bricht ihn ab).";
}

std::string CancelledText()
{
    return "abgebrochen";
}

std::string FillCharFaultText()
{
    return "Bitte ein druckbares Zeichen als Füllzeichen eingeben.";
}

std::string CorrectedSettingsText(const std::string& file, const std::vector<SettingIssue>& issues)
{
    std::string list;
    for (const SettingIssue& issue : issues) {
        if (issue.refused)
            continue;
        if (!list.empty())
            list += ", ";
        list += issue.key + "=" + issue.found + " gilt als " + issue.used;
    }
    if (list.empty())
        return {};
    return "Einstellungen in " + file + " korrigiert: " + list;
}

std::string KeyFaultCaption(std::int32_t fault)
{
    static constexpr std::string_view kFaults[] = {"Adress-ID zu kurz", "Adress-ID fehlt",
                                                   "Schlüssel-Endekennung fehlt",
                                                   "Schlüssel nicht gefunden"};
    static_assert(std::size(kFaults) == std::tuple_size_v<KeyFaultCounts>);
    return fault >= 0 && fault < static_cast<std::int32_t>(std::size(kFaults))
               ? std::string(kFaults[fault])
               : std::string();
}

std::string PageOutcomeText(std::optional<std::int32_t> fault, const std::string& id,
                            std::optional<std::int32_t> addressee)
{
    std::string out = fault ? KeyFaultCaption(*fault) : std::string();
    if (out.empty())
        out = "Schlüssel gefunden, ID „" + id + "“";
    if (!addressee)
        return out + " – keinem Adressaten zugewiesen";
    if (id.empty())
        return out + " – als Folgeseite an Adressat " + std::to_string(*addressee + 1) +
               " angehängt";
    return out + " – Adressat " + std::to_string(*addressee + 1);
}

std::string PortEventText(const PortEvent& event)
{
    using enum PortEvent::Kind;
    const std::string bytes = std::to_string(event.bytes) + " Bytes";
    std::string what;
    switch (event.kind) {
    case Spooled:
        what = "Job " + event.file + " angenommen (" + bytes + ")";
        break;
    case NotAllowed:
        what = "abgewiesen: Adresse nicht erlaubt (--allow)";
        break;
    case TooMany:
        what = "abgewiesen: zu viele gleichzeitige Verbindungen";
        break;
    case TooLarge:
        what = "Job verworfen: größer als erlaubt (--max-bytes, " + bytes + ")";
        break;
    case Idle:
        what = "Job verworfen: keine Daten mehr seit der Wartezeit (" + bytes + ")";
        break;
    case Broken:
        what = "Job verworfen: Verbindung abgebrochen (" + bytes + "): " + DescribeErrno(event.err);
        break;
    case Empty:
        what = "Verbindung ohne Daten geschlossen";
        break;
    case SpoolFailed:
        what = "Job verworfen: konnte nicht gespeichert werden: " + DescribeErrno(event.err);
        break;
    }
    return event.peer + ": " + what;
}

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
    case ECONNREFUSED:
        return "Verbindung abgelehnt";
    case ECONNRESET:
        return "Verbindung von der Gegenseite zurückgesetzt";
    case EPIPE:
        return "Verbindung von der Gegenseite geschlossen";
    case ETIMEDOUT:
        return "Zeitüberschreitung";
    case EHOSTUNREACH:
    case ENETUNREACH:
        return "Rechner nicht erreichbar";
    case EADDRINUSE:
        return "Adresse wird bereits verwendet";
    case EADDRNOTAVAIL:
        return "Adresse nicht verfügbar";
    default:
        // No German text for it: the C library's own words.
        return "Systemfehler " + std::to_string(err) + " (" + std::strerror(err) + ")";
    }
}

const char* StatusText(std::int32_t state)
{
    switch (state) {
    case 1:
        return "Seiten werden geprüft...";
    case 2:
        return "Adressaten werden gesammelt...";
    case 3:
        return "Adressaten werden exportiert...";
    case 4:
        return "Export wird geprüft...";
    default:
        return "Bereit";
    }
}

} // namespace kuvrion
