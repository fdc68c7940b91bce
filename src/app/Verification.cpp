#include "app/Verification.h"

#include "addressees/ImportLog.h"
#include "addressees/ImportPass.h"
#include "addressees/AddresseeList.h"
#include "base/FileChecks.h"
#include "marking/EnvelopeList.h"
#include "marking/FeedPlan.h"
#include "pcljob/PclJob.h"
#include "settings/Settings.h"

#include <algorithm>
#include <cstdio>
#include <ctime>

namespace kuvrion {

namespace {

// The texts of the check.
constexpr const char* kNoProblems = "keine Fehler";
constexpr const char* kSheet = "Blatt ";
constexpr const char* kJob = "Job";

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
                        const std::optional<std::string>& source,
                        const std::vector<Envelope>* envelopes, const VerifyHooks& hooks,
                        const VerifyOptions& options)
{
    VerifyRun run;
    auto bad = [&run](FailureKind what, const std::string& path, std::string detail = {}) {
        run.failure = Failure{what, 0, 0, path, std::move(detail)};
        return run;
    };
    const auto stopped = [&hooks] { return hooks.cancelled && hooks.cancelled(); };
    // The scan reports bytes and is stopped through its progress handler.
    const auto follow = [&](PclJob& pcl) {
        pcl.SetProgressHandler([&hooks, stopped, total = std::int64_t{0}](
                                   std::int32_t status, std::int64_t value, bool& cancel) mutable {
            if (status == 0)
                total = value;
            else if (status == 1 && hooks.progress)
                hooks.progress(value, total);
            cancel = status == 1 && stopped();
        });
    };
    if (!FileExists(marked))
        return bad(FailureKind::FileMissing, marked);
    if (source && !FileExists(*source))
        return bad(FailureKind::FileMissing, *source);

    PclJob pcl;
    follow(pcl);
    VerifyMarked check(s, [&](std::int32_t page, std::int32_t pages) {
        if (hooks.page)
            hooks.page(page);
        if (pages > 0 && hooks.progress)
            hooks.progress(page, pages);
        return !stopped();
    });
    const bool connected = check.Connect(pcl, marked);
    if (stopped())
        return bad(FailureKind::Cancelled, marked);
    if (!connected)
        return bad(FailureKind::SourceUnreadable, marked);
    if (!pcl.Language().IsPcl5())
        return bad(FailureKind::NotPcl5, marked, pcl.Language().Label());

    // The source's export gives the envelopes' sheets, numbers and IDs.
    std::optional<std::vector<Envelope>> exported;
    if (source) {
        PclJob srcPcl;
        follow(srcPcl);
        AddresseeList persons;
        KeyFaultCounts errors{};
        ImportLog noLog;
        ImportHooks importHooks;
        importHooks.cancelled = hooks.cancelled;
        const ImportResult imported = RunImportPass(srcPcl, *source, s, persons, errors, noLog,
                                                    std::time(nullptr), importHooks);
        if (stopped())
            return bad(FailureKind::Cancelled, *source);
        if (imported.failure || !imported.completed || !srcPcl.Connected())
            return bad(FailureKind::ImportIncomplete, *source);
        exported = ListEnvelopes(persons, persons.Count(), s, srcPcl.Duplex() != DuplexMode::None);
        if (options.feed) {
            const Result<std::vector<std::string>> patterns =
                FeedPatterns(srcPcl, *exported, *options.feed);
            if (!patterns)
                return bad(FailureKind::SourceUnreadable, *source);
            for (std::size_t e = 0; e < exported->size(); ++e)
                (*exported)[e].feed = (*patterns)[e];
        }
        // Sheet values counted from 0: the check puts them where the first sheet says.
        const std::int32_t bits = s.useSeqchk ? s.seqchkCount : 0;
        if (bits > 0 && !options.renumber)
            NumberSequence(*exported, 0, bits);
        if (options.envelopes) {
            const auto total = static_cast<std::int32_t>(exported->size());
            auto chosen = ParseEnvelopeList(*options.envelopes, total);
            if (!chosen) {
                run.failure = chosen.error();
                return run;
            }
            std::erase_if(*exported, [&keep = *chosen](const Envelope& e) {
                return !keep[static_cast<std::size_t>(e.number - 1)];
            });
        }
        if (bits > 0 && options.renumber)
            NumberSequence(*exported, 0, bits);
        envelopes = &*exported;
    }
    const bool finished = check.Finish(pcl, run.report, envelopes, options.seqStart);
    if (stopped())
        return bad(FailureKind::Cancelled, marked);
    if (!finished)
        return bad(FailureKind::SourceUnreadable, marked);
    if (envelopes) {
        std::vector<std::int32_t> sheets;
        for (const Envelope& e : *envelopes)
            sheets.push_back(e.sheets);
        CompareWithExport(run.report, sheets);
    }
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
    case VerifyKind::Dmx:
        return "dmx";
    }
    return "code";
}

std::string VerifyProblemText(const VerifyProblem& p)
{
    // A set-up change is told once, at the sheet where it takes effect, with how far it reaches.
    const std::string reach = p.sheetsAffected > 1
                                  ? " (gilt für " + std::to_string(p.sheetsAffected) + " Blätter)"
                                  : std::string();
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
               "): die Striche landen an anderer Stelle" + reach;
    case VerifyDetail::TopMargin:
        return "oberer Rand " + Comma(p.found) + " mm statt " + Comma(p.expected) +
               " mm wie auf dem ersten Blatt: die Striche landen an anderer Stelle" + reach;
    case VerifyDetail::SheetCount:
        return p.found + " Blätter, der Export des Quelljobs ergibt " + p.expected;
    case VerifyDetail::EnvelopeCount:
        return p.found + " Kuverts, der Export des Quelljobs ergibt " + p.expected;
    case VerifyDetail::EnvelopeSheets:
        return "das Kuvert ab diesem Blatt hat " + p.found +
               " Blätter, der Export des Quelljobs ergibt " + p.expected;
    case VerifyDetail::DmxMissing:
        return "kein 2D-Code gefunden (erwartet " + p.expected + ")";
    case VerifyDetail::DmxUnreadable:
        return "2D-Code nicht lesbar (erwartet " + p.expected + ")";
    case VerifyDetail::DmxContent:
        return "2D-Code mit falschem Inhalt" + FoundExpected(p);
    case VerifyDetail::FeedBar:
        return "falsche Zufuhrstriche (die Zufuhrregeln ergeben andere)" + FoundExpected(p);
    case VerifyDetail::DmxUnchecked:
        return "2D-Code nicht prüfbar: das Muster ist fehlerhaft oder das Programm wurde ohne "
               "2D-Code gebaut (Muster " +
               p.found + ")";
    case VerifyDetail::None:
        break;
    }
    switch (p.kind) {
    case VerifyKind::Position: {
        if (p.sheetsAffected > 0)
            return "Seitenursprung verschoben (Offset-Registrierung): Strich bei " +
                   Comma(p.found) + " mm statt " + Comma(p.expected) + " mm" + reach;
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

namespace {

const char* KindLabel(VerifyKind kind)
{
    switch (kind) {
    case VerifyKind::Code:
        return "Code";
    case VerifyKind::Position:
        return "Position";
    case VerifyKind::ForeignMark:
        return "Freizone";
    case VerifyKind::Orientation:
        return "Ausrichtung";
    case VerifyKind::Sequence:
        return "Folgeprüfung";
    case VerifyKind::EnvelopeLimit:
        return "Kuvertgrenze";
    case VerifyKind::SourceMismatch:
        return "Quelljob";
    case VerifyKind::Dmx:
        return "2D-Code";
    }
    return "Code";
}

// Sheets as ascending ranges, "1–9, 12, 15–20", the first `maxRanges` of them and "…" after.
std::string SheetRanges(std::vector<std::int64_t> sheets, std::size_t maxRanges)
{
    std::sort(sheets.begin(), sheets.end());
    sheets.erase(std::unique(sheets.begin(), sheets.end()), sheets.end());
    std::string out;
    std::size_t ranges = 0;
    for (std::size_t i = 0; i < sheets.size();) {
        std::size_t j = i;
        while (j + 1 < sheets.size() && sheets[j + 1] == sheets[j] + 1)
            ++j;
        if (ranges == maxRanges)
            return out + ", …";
        out += (out.empty() ? "" : ", ") + std::to_string(sheets[i]) +
               (j > i ? "–" + std::to_string(sheets[j]) : std::string());
        ++ranges;
        i = j + 1;
    }
    return out;
}

} // namespace

std::string VerifyMessage(const VerifyReport& r)
{
    constexpr std::size_t kMaxRanges = 5;
    std::string out = VerifySummary(r);
    std::vector<VerifyKind> kinds;
    for (const VerifyProblem& p : r.problems) {
        if (std::find(kinds.begin(), kinds.end(), p.kind) == kinds.end())
            kinds.push_back(p.kind);
    }
    for (const VerifyKind kind : kinds) {
        const VerifyProblem* first = nullptr;
        std::int64_t count = 0;
        std::vector<std::int64_t> sheets;
        for (const VerifyProblem& p : r.problems) {
            if (p.kind != kind)
                continue;
            first = first ? first : &p;
            ++count;
            if (p.sheet > 0)
                sheets.push_back(p.sheet);
        }
        const std::string where = sheets.empty() ? std::string(" im Job")
                                                 : " auf Blatt " + SheetRanges(sheets, kMaxRanges);
        out += "\r\n" + std::string(KindLabel(kind)) + ": ";
        if (kind == VerifyKind::Position)
            out += Plural(count, "Strich", "Striche") + where +
                   (count == 1 ? " weicht ab" : " weichen ab");
        else
            out += Plural(count, "Fehler", "Fehler") + where;
        out += ", z. B. " + VerifyProblemLine(*first);
    }
    return out;
}

} // namespace kuvrion
