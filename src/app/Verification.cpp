#include "app/Verification.h"

#include "addressees/ImportLog.h"
#include "addressees/ImportPass.h"
#include "addressees/cKVPersons.h"
#include "base/FileChecks.h"
#include "pcljob/cPclMod.h"
#include "settings/Settings.h"

#include <cstdio>
#include <ctime>

namespace kuvrion {

namespace {

// The texts of the check.
constexpr const char* kNotFound = "Datei nicht gefunden: ";
constexpr const char* kUnreadable = "Datei konnte nicht gelesen werden: ";
constexpr const char* kNotPcl5 = "Der Druckjob ist kein PCL-5-Druckjob: ";
constexpr const char* kSourceRefused = "Der Quelljob kann nicht importiert werden: ";
constexpr const char* kNoProblems = "keine Fehler";
constexpr const char* kSheet = "Blatt ";
constexpr const char* kJob = "Job";
constexpr const char* kListMalformed = "Die Kuvertliste ist fehlerhaft (Beispiel: 3,5-7): ";
constexpr const char* kListOutOfRange = "Die Kuvertliste nennt ein Kuvert, das der Job nicht hat "
                                        "(Kuverts 1 bis ";

std::string Comma(std::string text)
{
    for (char& c : text) {
        if (c == '.')
            c = ',';
    }
    return text;
}

std::string FoundExpected(const VerifyProblem& p)
{
    std::string out = " (gefunden " + (p.found.empty() ? std::string("-") : p.found);
    if (!p.expected.empty())
        out += ", erwartet " + p.expected;
    return out + ")";
}

std::string Plural(std::int64_t n, const char* one, const char* many)
{
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

} // namespace

VerifyRun VerifyJobFile(const std::string& marked, const Settings& s,
                        const std::optional<std::string>& source)
{
    VerifyRun run;
    auto bad = [&run](std::string text) {
        run.status = VerifyRun::Status::BadInput;
        run.failure = std::move(text);
        return run;
    };
    if (!FileExists(marked))
        return bad(kNotFound + marked);
    if (source && !FileExists(*source))
        return bad(kNotFound + *source);

    cPclMod pcl;
    if (!pcl.Connect(marked, cPclMod::ForeignJob::Stop))
        return bad(kUnreadable + marked);
    if (!pcl.Language().IsPcl5())
        return bad(kNotPcl5 + marked);
    if (!VerifyMarkedJob(pcl, s, run.report))
        return bad(kUnreadable + marked);

    if (source) {
        cPclMod srcPcl;
        cKVPersons persons;
        ImpErrCounters errors{};
        ImportLog noLog;
        const ImportResult imported =
            RunImportPass(srcPcl, *source, s, persons, errors, noLog, std::time(nullptr), {});
        if (imported.refusal != ImportRefusal::None || imported.failed || !srcPcl.Connected())
            return bad(kSourceRefused + *source);
        CompareWithExport(run.report, ExpectedEnvelopeSheets(persons, persons.Count(), s,
                                                             srcPcl.Duplex() != DuplexMode::None));
    }
    run.status = run.report.problems.empty() ? VerifyRun::Status::Ok : VerifyRun::Status::Problems;
    return run;
}

const char* VerifyKindName(VerifyKind kind)
{
    switch (kind) {
    case VerifyKind::Code:
        return "code";
    case VerifyKind::Position:
        return "position";
    case VerifyKind::ForeignMark:
        return "foreign-mark";
    case VerifyKind::Orientation:
        return "orientation";
    case VerifyKind::Sequence:
        return "sequence";
    case VerifyKind::EnvelopeLimit:
        return "envelope-limit";
    case VerifyKind::SourceMismatch:
        return "source-mismatch";
    }
    return "code";
}

std::string VerifyProblemText(const VerifyProblem& p)
{
    switch (p.detail) {
    case VerifyDetail::NoCode:
        return "kein OME-Code gefunden (erwartet " + p.expected + ")";
    case VerifyDetail::BaseCode:
        return "Grundbefehl ist weder Sammeln noch Kuvertieren" + FoundExpected(p);
    case VerifyDetail::ReservedBar:
        return "falscher OME-Code" + FoundExpected(p);
    case VerifyDetail::Parity:
        return "Parität ungerade" + FoundExpected(p);
    case VerifyDetail::Security:
        return "Sicherheitsstrich fehlt" + FoundExpected(p);
    case VerifyDetail::Unclosed:
        return "der Job endet mit einem Kuvert, das kein Blatt schließt (gefunden " + p.found + ")";
    case VerifyDetail::Landscape:
        return "Blatt nicht im Hochformat gedruckt (Ausrichtung " + p.found +
               "): die Striche landen an anderer Stelle";
    case VerifyDetail::TopMargin:
        return "oberer Rand " + Comma(p.found) + " mm statt " + Comma(p.expected) +
               " mm wie die übrigen Blätter: die Striche landen an anderer Stelle";
    case VerifyDetail::SheetCount:
        return p.found + " Blätter, der Export des Quelljobs ergibt " + p.expected;
    case VerifyDetail::EnvelopeCount:
        return p.found + " Kuverts, der Export des Quelljobs ergibt " + p.expected;
    case VerifyDetail::EnvelopeSheets:
        return "das Kuvert ab diesem Blatt hat " + p.found +
               " Blätter, der Export des Quelljobs ergibt " + p.expected;
    case VerifyDetail::None:
        break;
    }
    switch (p.kind) {
    case VerifyKind::Position: {
        char buf[16];
        std::snprintf(buf, sizeof buf, "%.2f", p.distanceMm);
        return "Strich " + Comma(buf) + " mm neben seiner Stelle (gefunden bei " + Comma(p.found) +
               " mm, erwartet " + Comma(p.expected) + " mm)";
    }
    case VerifyKind::ForeignMark:
        return "gefüllte Fläche der Seite in der Freizone der OME-Spalte (bei " + Comma(p.found) +
               " mm): ein Leser hielte sie für einen Strich";
    case VerifyKind::Sequence:
        return "Folgeprüfung unterbrochen" + FoundExpected(p);
    case VerifyKind::EnvelopeLimit:
        return "Kuvert mit " + p.found + " Blättern über der Grenze von " + p.expected;
    default:
        return "falscher OME-Code" + FoundExpected(p);
    }
}

std::string VerifyProblemLine(const VerifyProblem& p)
{
    return (p.sheet > 0 ? kSheet + std::to_string(p.sheet) : std::string(kJob)) + ": " +
           VerifyProblemText(p);
}

std::string VerifySummary(const VerifyReport& r)
{
    return Plural(r.sheets, "Blatt", "Blätter") + ", " +
           Plural(static_cast<std::int64_t>(r.envelopeSheets.size()), "Kuvert", "Kuverts") +
           " geprüft: " +
           (r.problems.empty()
                ? std::string(kNoProblems)
                : Plural(static_cast<std::int64_t>(r.problems.size()), "Fehler", "Fehler"));
}

std::string VerifyMessage(const VerifyReport& r, std::size_t maxLines)
{
    std::string out = VerifySummary(r);
    for (std::size_t i = 0; i < r.problems.size() && i < maxLines; ++i)
        out += "\r\n" + VerifyProblemLine(r.problems[i]);
    if (r.problems.size() > maxLines)
        out += "\r\n...";
    return out;
}

std::string EnvelopeListMessage(EnvelopeListError error, const std::string& list,
                                std::int32_t total)
{
    if (error == EnvelopeListError::OutOfRange)
        return kListOutOfRange + std::to_string(total) + "): " + list;
    return kListMalformed + list;
}

} // namespace kuvrion
