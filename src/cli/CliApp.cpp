#include "CliApp.h"

#include "CliReporter.h"
#include "app/AppState.h"
#include "app/ExportCommand.h"
#include "app/ImportCommand.h"
#include "app/PageTextCommand.h"
#include "app/ReferencePageCommand.h"
#include "app/ReprintCommand.h"
#include "app/Session.h"
#include "app/SettingsCommands.h"
#include "app/SkeletonCommand.h"
#include "app/VerifyCommand.h"
#include "app/Delivery.h"
#include "app/MarkJob.h"
#include "app/Messages.h"
#include "app/SpooledJob.h"
#include "app/WatchFolder.h"
#include "base/ByteText.h"
#include "base/FileChecks.h"
#include "base/Platform.h"
#include "net/PrintPortListener.h"
#include "settings/SettingsCatalogue.h"

#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>

#include <cerrno>
#include <fstream>
#include <iomanip>
#include <istream>
#include <optional>
#include <ostream>
#include <random>
#include <sstream>

namespace fs = std::filesystem;

namespace kuvrion::cli {

namespace {

using nlohmann::json;

struct Options {
    std::string ini;
    std::string job;
    std::string out;
    bool json = false;
    bool pageTable = false;
    std::optional<std::int32_t> fill;
    std::optional<std::int32_t> count;
    std::optional<std::string> grid;
    std::optional<std::string> marks;
    std::optional<std::string> source;
    std::optional<std::string> manifest;
    std::optional<std::string> envelopes;
    std::optional<std::int64_t> seqStart;
    bool renumber = false;
    std::optional<std::int32_t> page;
    // watch
    std::string inDir;
    std::string outDir;
    std::string doneDir;
    std::string errorDir;
    double interval = 2.0;
    bool once = false;
    // send
    std::string uri;
    // listen
    std::string bind = "127.0.0.1";
    std::uint16_t port = 9100;
    std::vector<std::string> allow;
    std::string spool;
    std::int64_t maxBytes = std::int64_t(2) << 30;
};

// "-" as JOB or OUT: standard input or output.
constexpr const char* kStdStream = "-";

// One line of a summary: the caption padded to a column (by characters, not bytes: captions hold
// umlauts), then the number right-aligned.
void Row(std::ostream& o, std::string_view caption, std::int64_t n, std::string_view unit = {})
{
    std::size_t width = 0;
    for (unsigned char c : caption) {
        width += (c & 0xC0) != 0x80;
    }
    o << caption << std::string(width < 30 ? 30 - width : 1, ' ') << std::setw(8) << n << unit
      << '\n';
}

std::string Absolute(const std::string& path)
{
    std::error_code ec;
    const fs::path p = fs::absolute(PathFromUtf8(path), ec);
    return ec ? path : PathToUtf8(p.lexically_normal());
}

// One run of the tool: the shared state, the command layer and the output streams.
class ToolRun {
public:
    ToolRun(CliIo io, const fs::path& programDir, const Options& opt)
        : m_io(io), m_opt(opt), m_reporter(io.err, io.progress, io.escapes),
          m_session(m_state, m_reporter)
    {
        m_state.paths =
            LocateProgramPaths(programDir, opt.ini.empty() ? fs::path() : PathFromUtf8(opt.ini));
    }

    int Scan();
    int Skeleton();
    int Import(bool print);
    int Export();
    int RefPage();
    int Verify();
    int Text();
    int Watch();
    int Send();
    int Listen();
    // "-" as JOB: reads standard input into a temporary file, beside `besides` when given. False
    // (after the message) when it cannot.
    bool SpoolJob(const std::string& besides = {});

private:
    bool LoadSettings();
    void UseSource();
    void Fail(const std::string& text) { m_io.err << "kuvrion-cli: " << text << '\n'; }
    int Finish(Action action, const Outcome& outcome);
    void PrintImport(json& doc, std::ostream& o) const;

    CliIo m_io;
    const Options& m_opt;
    AppState m_state;
    CliReporter m_reporter;
    Session m_session;
    std::string m_jobPath; // the job's file: JOB, or where standard input was spooled
    SpooledJob m_spooled;
};

bool ToolRun::SpoolJob(const std::string& besides)
{
    m_jobPath = m_opt.job;
    if (m_opt.job != kStdStream) {
        return true;
    }
    std::istringstream none;
    std::istream& in = m_io.in ? *m_io.in : none;
    const fs::path dir =
        besides.empty() ? fs::path() : PathFromUtf8(Absolute(besides)).parent_path();
    if (const auto spooled = m_spooled.Spool(in, dir); !spooled) {
        const int err = spooled.error().err;
        Fail(OneLine(MessageFor(Action::Import, Failure{FailureKind::SourceUnreadable, err, 0, "-"})
                         .text) +
             (err ? ": " + DescribeErrno(err) : ""));
        return false;
    }
    m_jobPath = PathToUtf8(m_spooled.Path());
    return true;
}

bool ToolRun::LoadSettings()
{
    if (!m_opt.ini.empty() && !FileExists(m_opt.ini)) {
        Fail(*BadInputText(Action::Settings,
                           Failure{FailureKind::FileMissing, ENOENT, 0, m_opt.ini}));
        return false;
    }
    m_session.Load();
    return true;
}

// The job is never written to the settings file: the tool leaves the desktop program's choices
// alone.
void ToolRun::UseSource()
{
    m_session.ChooseSource(Absolute(m_jobPath));
}

// A command's message goes to stdout when it succeeded (stderr in JSON mode, which keeps stdout for
// the document) and to stderr when it failed. A failure that means unusable input is told in the
// tool's own words, naming the file as it was typed.
int ToolRun::Finish(Action action, const Outcome& outcome)
{
    m_reporter.FinishProgress();
    if (outcome.Ok()) {
        if (!outcome.message.empty()) {
            (m_opt.json || m_opt.out == kStdStream ? m_io.err : m_io.out)
                << OneLine(outcome.message) << '\n';
        }
        return kExitOk;
    }
    Failure typed = *outcome.failure;
    const bool aboutJob = typed.what == FailureKind::SourceMissing ||
                          typed.what == FailureKind::SourceUnreadable ||
                          typed.what == FailureKind::NoPages;
    // A refused setting or an ID list is named as the failure has it.
    const bool ownPath = typed.what == FailureKind::SettingInvalid ||
                         typed.what == FailureKind::FeedRuleInvalid ||
                         typed.what == FailureKind::FeedIdsUnreadable;
    if (!ownPath) {
        typed.path = aboutJob ? m_opt.job : m_opt.out;
    }
    if (const auto text = BadInputText(action, typed)) {
        Fail(*text);
        return kExitBadInput;
    }
    if (!outcome.message.empty()) {
        Fail(OneLine(outcome.message));
    }
    return kExitFailed;
}

int ToolRun::Scan()
{
    if (!LoadSettings()) {
        return kExitBadInput;
    }
    UseSource();
    if (const Outcome scanned = RunScan(m_session); !scanned.Ok()) {
        return Finish(Action::Scan, scanned);
    }
    m_reporter.FinishProgress();
    const PclJob& pcl = m_state.job;
    if (m_opt.json) {
        json doc = {{"file_size", pcl.FileSize()},
                    {"pages", pcl.Pages()},
                    {"escapes", pcl.FileEscapes()},
                    {"head_bytes", pcl.PclJobHead().size()},
                    {"foot_bytes", pcl.PclJobFoot().size()}};
        doc["language"] = pcl.Language().Label();
        doc["duplex"] = DuplexName(pcl.Duplex());
        if (m_opt.pageTable) {
            json seek = json::array();
            json size = json::array();
            for (std::int32_t n = 1; n <= pcl.Pages(); ++n) {
                seek.push_back(pcl.PageSeek(n).value());
                size.push_back(pcl.PageSize(n).value());
            }
            doc["page_seek"] = std::move(seek);
            doc["page_size"] = std::move(size);
        }
        m_io.out << doc.dump(2) << '\n';
        return kExitOk;
    }
    std::ostream& o = m_io.out;
    o << "Datei:            " << m_opt.job << '\n'
      << "Größe:            " << pcl.FileSize() << " Bytes\n"
      << "Seiten:           " << pcl.Pages() << '\n'
      << "Escape-Sequenzen: " << pcl.FileEscapes() << '\n'
      << "Job-Kopf:         " << pcl.PclJobHead().size() << " Bytes\n"
      << "Job-Ende:         " << pcl.PclJobFoot().size() << " Bytes\n"
      << "Sprache:          " << pcl.Language().Label() << '\n'
      << "Duplex:           "
      << (pcl.Duplex() == DuplexMode::None       ? "nein"
          : pcl.Duplex() == DuplexMode::LongEdge ? "lange Kante"
                                                 : "kurze Kante")
      << '\n';
    if (m_opt.pageTable) {
        o << "\nSeite\tPosition\tLänge\n";
        for (std::int32_t n = 1; n <= pcl.Pages(); ++n) {
            o << n << '\t' << pcl.PageSeek(n).value() << '\t' << pcl.PageSize(n).value() << '\n';
        }
    }
    return kExitOk;
}

int ToolRun::Skeleton()
{
    if (!LoadSettings()) {
        return kExitBadInput;
    }
    UseSource();
    if (m_opt.fill) {
        UseFillChar(m_session, *m_opt.fill);
    }
    if (const Outcome scanned = RunScan(m_session); !scanned.Ok()) {
        return Finish(Action::Scan, scanned);
    }
    return Finish(Action::Skeleton, RunSkeleton(m_session, Absolute(m_opt.out)));
}

void ToolRun::PrintImport(json& doc, std::ostream& o) const
{
    const AppState& st = m_state;
    if (m_opt.json) {
        doc["pages"] = st.jobPages;
        doc["assigned"] = st.assignedPages;
        doc["addressees"] = st.addressees.Count();
        doc["errors"] = st.keyFaultCounts;
        json persons = json::array();
        for (std::int32_t i = 0; i < st.addressees.Count(); ++i) {
            const Addressee& p = st.addressees.At(i);
            persons.push_back({{"id", Cp1252ToUtf8(p.Id())}, {"pages", p.PageList()}});
        }
        doc["persons"] = std::move(persons);
        return;
    }
    auto row = [&o](std::string_view caption, std::int64_t n) { Row(o, caption, n); };
    row("Seiten:", st.jobPages);
    row("Zugewiesen:", st.assignedPages);
    row("Adressaten:", st.addressees.Count());
    for (std::size_t k = 0; k < st.keyFaultCounts.size(); ++k) {
        row(KeyFaultCaption(static_cast<std::int32_t>(k)) + ":", st.keyFaultCounts[k]);
    }
}

int ToolRun::Import(bool print)
{
    if (!LoadSettings()) {
        return kExitBadInput;
    }
    UseSource();
    if (const Outcome imported = RunImport(m_session); !imported.Ok()) {
        return Finish(Action::Import, imported);
    }
    if (print) {
        m_reporter.FinishProgress();
        json doc = json::object();
        PrintImport(doc, m_io.out);
        if (m_opt.json) {
            m_io.out << doc.dump(2) << '\n';
        }
        // It ran, but not one page found its addressee: nothing could be marked, and the message
        // says where to look.
        if (m_state.assignedPages == 0) {
            Failure why = NoKeyFound(m_state);
            why.path = m_opt.job;
            Fail(OneLine(MessageFor(Action::Import, why).text));
            return kExitFailed;
        }
    }
    return kExitOk;
}

int ToolRun::Export()
{
    if (const int status = Import(false); status != kExitOk) {
        return status;
    }
    m_reporter.FinishProgress();
    // "-" as OUT: the marked job is written to a temporary file and copied to standard output
    // only after its check passed; the figures and messages go to standard error.
    const bool toStdout = m_opt.out == kStdStream;
    std::string destination = Absolute(m_opt.out);
    struct Remove {
        fs::path path;
        ~Remove()
        {
            if (!path.empty()) {
                RemoveFileQuietly(path);
                fs::path list = path;
                RemoveFileQuietly(list.replace_extension(".csv"));
            }
        }
    } temporary;
    if (toStdout) {
        std::error_code ec;
        std::random_device seed;
        temporary.path =
            fs::temp_directory_path(ec) / ("kuvrion-stdout-" + std::to_string(ProcessId()) + "-" +
                                           std::to_string(seed()) + ".pcl");
        destination = PathToUtf8(temporary.path);
    }
    std::ostream& report = toStdout ? m_io.err : m_io.out;
    m_session.ChooseDestination(destination);
    if (m_opt.count) {
        m_session.SetExportCount(*m_opt.count);
    }
    m_session.BoundExportCount();
    ExportRequest request;
    if (m_opt.envelopes) {
        auto chosen = ChooseEnvelopes(m_session, *m_opt.envelopes);
        if (!chosen) {
            return Finish(Action::Export, OutcomeOf(Action::Export, chosen.error()));
        }
        request.keepEnvelopes = std::move(*chosen);
    }
    if (m_opt.manifest) {
        request.manifestPath = Absolute(*m_opt.manifest);
    }
    request.seqStart = m_opt.seqStart;
    request.renumber = m_opt.renumber;
    const ExportOutcome exported = RunExport(m_session, request);
    // A failed check or envelope list leaves the export written: its figures are still told.
    const bool written = exported.Ok() || exported.failure->what == FailureKind::CheckFailed ||
                         exported.failure->what == FailureKind::ManifestWrite;
    if (!written) {
        return Finish(Action::Export, exported);
    }
    json doc = json::object();
    PrintImport(doc, report);
    const ExportStats& stats = exported.stats;
    if (m_opt.json) {
        doc["exported"] = stats.exported;
        doc["sheets"] = stats.sheets;
        doc["envelopes"] = stats.envelopes;
        doc["blank_pages"] = stats.blankPages;
        if (stats.dmx) {
            doc["dmx"] = true;
        }
        const Settings& c = m_state.cfg;
        if (c.useSeqchk && (c.seqContinue || m_opt.seqStart || m_opt.envelopes) &&
            stats.sheets > 0) {
            doc["seq_start"] = stats.seqFirst;
            doc["seq_end"] = stats.seqLast;
        }
        if (m_opt.envelopes && c.useSeqchk) {
            doc["renumbered"] = m_opt.renumber;
        }
        doc["verified"] = exported.check.Passed();
        report << doc.dump(2) << '\n';
    } else {
        Row(report, "Exportiert:", stats.exported, " Adressaten");
        Row(report, "Blätter:", stats.sheets);
        Row(report, "Kuverts:", stats.envelopes);
        if (m_state.jobDuplex) {
            Row(report, "Leere Rückseiten:", stats.blankPages);
        }
    }
    if (toStdout && exported.Ok()) {
        std::ifstream marked(temporary.path, std::ios::binary);
        m_io.out << marked.rdbuf();
        m_io.out.flush();
        if (!marked || !m_io.out) {
            Fail(OneLine(MessageFor(Action::Export, Failure{FailureKind::TargetWrite, EIO}).text));
            return kExitFailed;
        }
    }
    return Finish(Action::Export, exported);
}

int ToolRun::RefPage()
{
    if (!LoadSettings()) {
        return kExitBadInput;
    }
    RefPageOptions options = RefPageDefaults(m_session);
    options.path = Absolute(m_opt.out);
    if (m_opt.grid) {
        options.grid = *m_opt.grid == "on";
    }
    if (m_opt.marks) {
        options.marks = *m_opt.marks == "on";
    }
    return Finish(Action::RefPage, RunReferencePage(m_session, options));
}

// Every page (or page N) as the key search reads it, after a line with the search's outcome.
int ToolRun::Text()
{
    if (const int status = Import(false); status != kExitOk) {
        return status;
    }
    m_reporter.FinishProgress();
    const std::int32_t pages = m_state.jobPages;
    if (m_opt.page && (*m_opt.page < 1 || *m_opt.page > pages)) {
        Fail(*BadInputText(Action::Text,
                           Failure{FailureKind::PageMissing, 0, *m_opt.page, m_opt.job}));
        return kExitBadInput;
    }
    const std::int32_t first = m_opt.page.value_or(1);
    const std::int32_t last = m_opt.page.value_or(pages);
    for (std::int32_t n = first; n <= last; ++n) {
        const std::optional<PageView> view = ReadPageText(m_session, n);
        if (!view) {
            Fail(OneLine(MessageFor(Action::Import, Failure{FailureKind::PageRead, EIO, n}).text));
            return kExitFailed;
        }
        m_io.out << "== Seite " << n << ": "
                 << PageOutcomeText(view->fault, Cp1252ToUtf8(view->id), view->addressee) << '\n'
                 << Cp1252ToUtf8(view->text) << (view->text.ends_with('\n') ? "" : "\n");
    }
    return kExitOk;
}

// Exit 0 without problems, 1 with problems, 2 when a file cannot be read.
int ToolRun::Verify()
{
    if (!LoadSettings()) {
        return kExitBadInput;
    }
    std::optional<std::string> source;
    if (m_opt.source) {
        source = Absolute(*m_opt.source);
    }
    const VerifyOutcome checked =
        RunVerify(m_session, {Absolute(m_jobPath), source, m_opt.seqStart, m_opt.envelopes,
                              m_opt.renumber});
    if (!checked.Ok() && checked.failure->what != FailureKind::CheckFailed) {
        Failure typed = *checked.failure;
        if (source && typed.path == *source) {
            typed.path = *m_opt.source;
        } else if (typed.path == Absolute(m_jobPath)) {
            typed.path = m_opt.job;
        }
        Fail(BadInputText(Action::Verify, typed).value_or(OneLine(checked.message)));
        return kExitBadInput;
    }
    const VerifyReport& r = checked.run.report;
    if (m_opt.json) {
        json problems = json::array();
        for (const VerifyProblem& p : r.problems) {
            json item = {{"sheet", p.sheet},
                         {"kind", VerifyKindName(p.kind)},
                         {"message", VerifyProblemText(p)}};
            if (!p.found.empty()) {
                item["found"] = p.found;
            }
            if (!p.expected.empty()) {
                item["expected"] = p.expected;
            }
            problems.push_back(std::move(item));
        }
        json doc = {{"sheets", r.sheets},
                    {"envelopes", r.envelopeSheets.size()},
                    {"envelope_sheets", r.envelopeSheets},
                    {"problems", std::move(problems)}};
        m_io.out << doc.dump(2) << '\n';
    } else {
        m_io.out << VerifySummary(r) << '\n';
        for (const VerifyProblem& p : r.problems) {
            m_io.out << VerifyProblemLine(p) << '\n';
        }
    }
    return checked.Ok() ? kExitOk : kExitFailed;
}

int ToolRun::Watch()
{
    if (!LoadSettings()) {
        return kExitBadInput;
    }
    WatchOptions options;
    options.in = PathFromUtf8(Absolute(m_opt.inDir));
    options.out = m_opt.outDir.empty() ? fs::path() : PathFromUtf8(Absolute(m_opt.outDir));
    options.done = m_opt.doneDir.empty() ? fs::path() : PathFromUtf8(Absolute(m_opt.doneDir));
    options.error = m_opt.errorDir.empty() ? fs::path() : PathFromUtf8(Absolute(m_opt.errorDir));
    options.interval = std::chrono::milliseconds(static_cast<std::int64_t>(m_opt.interval * 1000));
    options.once = m_opt.once;
    options.programDir = m_state.paths.programDir;
    options.settingsFile = m_opt.ini.empty() ? std::string() : Absolute(m_opt.ini);
    const DeliverySettings deliver = ReadDeliverySettings(m_state.ini);
    const Result<DeliveryTarget> parsed = ParseDeliveryTarget(deliver.to);
    if (!parsed) {
        Fail(*BadInputText(Action::Deliver, parsed.error()));
        return kExitBadInput;
    }
    const DeliveryTarget& target = *parsed;
    if (options.error.empty() && !deliver.refused.empty()) {
        options.error = PathFromUtf8(deliver.refused);
    }
    std::ostream& log = m_io.err;
    // Without a target the marked jobs stay in the output folder.
    WatchFolder::Deliver handOver;
    if (target.kind != DeliveryTarget::Kind::None) {
        handOver = [target](const std::string& marked) { return Deliver(marked, target); };
    }
    WatchFolder watch(
        options, [&log](const std::string& line) { log << "kuvrion-cli: " << line << std::endl; },
        handOver);
    CatchStopSignals();
    const Result<void> ran = watch.Run();
    if (ran) {
        return kExitOk;
    }
    Failure typed = ran.error();
    if (typed.what == FailureKind::TargetFolderMissing && typed.path == PathToUtf8(options.in)) {
        typed.path = m_opt.inDir;
    }
    if (const auto text = BadInputText(Action::Watch, typed)) {
        Fail(*text);
        return kExitBadInput;
    }
    Fail(OneLine(MessageFor(Action::Watch, typed).text));
    return kExitFailed;
}

// The marked job is checked with the settings before a byte leaves: a job that fails its check is
// never printed.
int ToolRun::Send()
{
    if (!LoadSettings()) {
        return kExitBadInput;
    }
    const Result<DeliveryTarget> target = ParseDeliveryTarget(m_opt.uri);
    if (!target || target->kind == DeliveryTarget::Kind::None) {
        Fail(*BadInputText(Action::Deliver,
                           target ? Failure{FailureKind::DeliveryTarget, 0, 0, {}, m_opt.uri}
                                  : target.error()));
        return kExitBadInput;
    }
    if (const int status = Verify(); status != kExitOk) {
        return status;
    }
    if (const auto delivered = Deliver(Absolute(m_jobPath), *target); !delivered) {
        Failure typed = delivered.error();
        if (typed.what == FailureKind::FileMissing || typed.what == FailureKind::SourceUnreadable) {
            typed.path = m_opt.job;
        }
        Fail(OneLine(MessageFor(Action::Deliver, typed).text));
        return kExitFailed;
    }
    m_io.err << "kuvrion-cli: " << MessageFor(Action::Deliver, std::nullopt).text << '\n';
    return kExitOk;
}

int ToolRun::Listen()
{
    ListenOptions options;
    options.bind = m_opt.bind;
    options.port = m_opt.port;
    options.allow = m_opt.allow;
    options.spool = PathFromUtf8(Absolute(m_opt.spool));
    options.maxBytes = m_opt.maxBytes;
    std::ostream& log = m_io.err;
    PrintPortListener listener(options, [&log](const PortEvent& event) {
        log << "kuvrion-cli: " << PortEventText(event) << std::endl;
    });
    if (const auto opened = listener.Open(); !opened) {
        Failure failure = opened.error();
        if (failure.what == FailureKind::TargetFolderMissing) {
            failure.path = m_opt.spool;
        }
        Fail(*BadInputText(Action::Listen, failure));
        return kExitBadInput;
    }
    CatchStopSignals();
    log << "kuvrion-cli: Druckport " << m_opt.bind << ":" << listener.Port() << " -> "
        << m_opt.spool << std::endl;
    listener.Run([] { return StopRequested(); });
    return kExitOk;
}

} // namespace

int RunCli(const std::vector<std::string>& args, CliIo io, const fs::path& programDir)
{
    CLI::App app{"Kuvrion: PCL-Druckjobs nach Adressaten sortieren und mit OME-Code versehen.",
                 "kuvrion-cli"};
    app.require_subcommand(1);
    app.set_help_flag("-h,--help", "Diese Hilfe anzeigen");
    Options opt;
    app.add_option("--ini", opt.ini, "Einstellungsdatei (sonst die des Programms, kuvrion.ini)");

    const auto onOff = CLI::IsMember({"on", "off"});
    auto* scan = app.add_subcommand("scan", "Druckjob in Seiten zerlegen und Kennzahlen zeigen");
    scan->add_option("JOB", opt.job, "PCL-Druckjob (- : Standardeingabe)")->required();
    scan->add_flag("--json", opt.json, "Ergebnis als JSON");
    scan->add_flag("--page-table", opt.pageTable, "Position und Länge jeder Seite ausgeben");

    auto* skeleton = app.add_subcommand("skeleton", "Escape-Skelett des Druckjobs schreiben");
    skeleton->add_option("JOB", opt.job, "PCL-Druckjob (- : Standardeingabe)")->required();
    skeleton->add_option("OUT", opt.out, "Skelett-Datei")->required();
    skeleton->add_option("--fill", opt.fill, "Zeichencode des Füllzeichens (32..255)")
        ->check(CLI::Range(Catalogued("dummyasc").min, Catalogued("dummyasc").max));

    auto* import = app.add_subcommand("import", "Adressaten erkennen und Ergebnis zeigen");
    import->add_option("JOB", opt.job, "PCL-Druckjob (- : Standardeingabe)")->required();
    import->add_flag("--json", opt.json, "Ergebnis als JSON");

    auto* exportCmd = app.add_subcommand("export", "Importieren und markierten Job schreiben");
    exportCmd->add_option("JOB", opt.job, "PCL-Druckjob (- : Standardeingabe)")->required();
    exportCmd
        ->add_option("OUT", opt.out,
                     "Zieldatei (- : Standardausgabe, nur nach bestandener Prüfung)")
        ->required();
    exportCmd->add_option("--count", opt.count, "Anzahl der zu exportierenden Adressaten");
    exportCmd->add_flag("--json", opt.json, "Ergebnis als JSON");
    exportCmd->add_option("--manifest", opt.manifest, "Begleitliste (CSV) schreiben");
    exportCmd->add_option("--envelopes", opt.envelopes,
                          "Nachdruck: nur diese Kuverts (z. B. 3,5-7, Nummern der Begleitliste)");
    exportCmd->add_option("--seq-start", opt.seqStart,
                          "Folgeprüfung: Wert des ersten Blatts (sonst 0 oder fortgesetzt)");
    exportCmd->add_flag("--renumber", opt.renumber,
                        "Nachdruck neu nummerieren (sonst behält jedes Blatt seinen Folgewert)");

    auto* refpage = app.add_subcommand("refpage", "Referenzseite zum Ausrichten schreiben");
    refpage->add_option("OUT", opt.out, "Referenzdatei")->required();
    refpage->add_option("--grid", opt.grid, "Rasterlinien (on|off)")->check(onOff);
    refpage->add_option("--marks", opt.marks, "OME-Markierungen (on|off)")->check(onOff);

    auto* text = app.add_subcommand("text", "Seitentext zeigen, wie die Schlüsselsuche ihn liest");
    text->add_option("JOB", opt.job, "PCL-Druckjob (- : Standardeingabe)")->required();
    text->add_option("--page", opt.page, "nur diese Seite");

    auto* verify = app.add_subcommand("verify", "Markierten Job vor dem Druck prüfen");
    verify->add_option("MARKED", opt.job, "Markierter PCL-Druckjob (- : Standardeingabe)")
        ->required();
    verify->add_option("--source", opt.source, "Quelljob: Blätter und Kuverts vergleichen");
    verify->add_flag("--json", opt.json, "Ergebnis als JSON");
    verify->add_option("--seq-start", opt.seqStart,
                       "Folgeprüfung: Wert des ersten Blatts (sonst der des ersten Blatts im Job)");
    verify
        ->add_option("--envelopes", opt.envelopes,
                     "Nachdruck dieser Kuverts des Quelljobs prüfen (z. B. 3,5-7)")
        ->needs("--source");
    verify->add_flag("--renumber", opt.renumber,
                     "der Nachdruck wurde neu nummeriert (mit --envelopes)");

    auto* watch = app.add_subcommand(
        "watch", "Ordner überwachen: jeden Job markieren, prüfen und ablegen (bis SIGTERM)");
    watch->add_option("IN_DIR", opt.inDir, "Eingangsordner")->required();
    watch->add_option("--out", opt.outDir,
                      "Ordner der markierten Jobs und des Journals (IN_DIR/out)");
    watch->add_option("--done", opt.doneDir, "Ordner der erledigten Jobs (IN_DIR/done)");
    watch->add_option("--error", opt.errorDir, "Ordner der abgewiesenen Jobs (IN_DIR/error)");
    watch->add_option("--interval", opt.interval, "Sekunden zwischen zwei Blicken in den Ordner")
        ->check(CLI::Range(0.05, 3600.0));
    watch->add_flag("--once", opt.once, "Nur die vorhandenen Jobs bearbeiten, dann enden");

    auto* send = app.add_subcommand(
        "send", "Markierten Job prüfen und an einen Drucker oder Ordner übergeben");
    send->add_option("MARKED", opt.job, "Markierter PCL-Druckjob (- : Standardeingabe)")
        ->required();
    send->add_option("URI", opt.uri,
                     "socket://host:9100, ipp://host/printers/q, lpd://host/q, Ordner")
        ->required();

    auto* listen = app.add_subcommand(
        "listen", "Druckport: jede Verbindung ist ein Job, gespeichert im Spool-Ordner");
    listen->add_option("--bind", opt.bind, "Adresse (127.0.0.1; 0.0.0.0 für alle)");
    listen->add_option("--port", opt.port, "Port (9100)");
    listen
        ->add_option("--allow", opt.allow,
                     "Erlaubte Netze, z. B. 192.168.10.0/24 (sonst nur dieser Rechner)")
        ->delimiter(',');
    listen->add_option("--spool", opt.spool, "Spool-Ordner (der überwachte Ordner)")->required();
    listen->add_option("--max-bytes", opt.maxBytes, "Größter Job in Bytes (2 GiB)")
        ->check(CLI::PositiveNumber);

    try {
        std::vector<std::string> reversed(args.rbegin(), args.rend());
        app.parse(reversed);
    } catch (const CLI::CallForHelp&) {
        io.out << app.help();
        return kExitOk;
    } catch (const CLI::ParseError& e) {
        io.err << "kuvrion-cli: Aufruf fehlerhaft: " << e.what() << "\n"
               << "Hilfe: kuvrion-cli --help\n";
        return kExitBadInput;
    }

    ToolRun session(io, programDir, opt);
    if (watch->parsed()) {
        return session.Watch();
    }
    if (listen->parsed()) {
        return session.Listen();
    }
    // "-" as JOB is spooled beside the destination when there is one.
    const bool besideOut = exportCmd->parsed() && opt.out != kStdStream;
    if (!refpage->parsed() && !session.SpoolJob(besideOut ? opt.out : std::string())) {
        return kExitBadInput;
    }
    if (scan->parsed()) {
        return session.Scan();
    }
    if (skeleton->parsed()) {
        return session.Skeleton();
    }
    if (import->parsed()) {
        return session.Import(true);
    }
    if (exportCmd->parsed()) {
        return session.Export();
    }
    if (verify->parsed()) {
        return session.Verify();
    }
    if (text->parsed()) {
        return session.Text();
    }
    if (send->parsed()) {
        return session.Send();
    }
    return session.RefPage();
}

} // namespace kuvrion::cli
