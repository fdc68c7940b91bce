#include "CliApp.h"

#include "CliReporter.h"
#include "app/AppState.h"
#include "base/ByteText.h"
#include "base/FileChecks.h"
#include "base/Platform.h"
#include "app/Commands.h"

#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>

#include <chrono>
#include <iomanip>
#include <optional>
#include <ostream>
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
};

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
class Session {
public:
    Session(CliIo io, const fs::path& programDir, const Options& opt)
        : m_io(io), m_opt(opt), m_reporter(io.err, io.progress, io.escapes),
          m_commands(m_state, m_reporter)
    {
        m_state.paths =
            LocateProgramPaths(programDir, opt.ini.empty() ? fs::path() : PathFromUtf8(opt.ini));
    }

    int Scan();
    int Skeleton();
    int Import(bool print);
    int Export();
    int RefPage();

private:
    bool LoadSettings();
    bool UseSource();
    void Fail(const std::string& text) { m_io.err << "kuvrion-cli: " << text << '\n'; }
    int Finish(bool ok);
    void PrintImport(json& doc) const;

    CliIo m_io;
    const Options& m_opt;
    AppState m_state;
    CliReporter m_reporter;
    Commands m_commands;
};

bool Session::LoadSettings()
{
    if (!m_opt.ini.empty() && !FileExists(m_opt.ini)) {
        Fail("Einstellungsdatei nicht gefunden: " + m_opt.ini);
        return false;
    }
    m_commands.Load();
    return true;
}

// The job is never written to the settings file: the tool leaves the desktop program's choices
// alone.
bool Session::UseSource()
{
    if (!FileExists(m_opt.job)) {
        Fail("Quelldatei nicht gefunden: " + m_opt.job);
        return false;
    }
    m_commands.ChooseSource(Absolute(m_opt.job), std::nullopt, false);
    return true;
}

// Messages of a command go to stdout when it succeeded (stderr in JSON mode, which keeps stdout
// for the document) and to stderr when it failed.
int Session::Finish(bool ok)
{
    m_reporter.FinishProgress();
    std::ostream& target = (ok && !m_opt.json) ? m_io.out : m_io.err;
    for (const std::string& message : m_reporter.TakeMessages()) {
        target << (ok ? "" : "kuvrion-cli: ") << message << '\n';
    }
    return ok ? kExitOk : kExitFailed;
}

int Session::Scan()
{
    if (!LoadSettings() || !UseSource()) {
        return kExitBadInput;
    }
    if (!m_commands.ScanSource()) {
        m_reporter.FinishProgress();
        Fail("Quelldatei konnte nicht gelesen werden: " + m_opt.job);
        return kExitBadInput;
    }
    m_reporter.FinishProgress();
    const cPclMod& pcl = m_state.MyPcl;
    if (m_opt.json) {
        json doc = {{"file_size", pcl.FileSize()},
                    {"pages", pcl.Pages()},
                    {"escapes", pcl.FileEscapes()},
                    {"head_bytes", pcl.PclJobHead().size()},
                    {"foot_bytes", pcl.PclJobFoot().size()}};
        if (m_opt.pageTable) {
            json seek = json::array();
            json size = json::array();
            for (std::int32_t n = 1; n <= pcl.Pages(); ++n) {
                seek.push_back(pcl.PageSeek(n));
                size.push_back(pcl.PageSize(n));
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
      << "Job-Ende:         " << pcl.PclJobFoot().size() << " Bytes\n";
    if (m_opt.pageTable) {
        o << "\nSeite\tPosition\tLänge\n";
        for (std::int32_t n = 1; n <= pcl.Pages(); ++n) {
            o << n << '\t' << pcl.PageSeek(n) << '\t' << pcl.PageSize(n) << '\n';
        }
    }
    return kExitOk;
}

int Session::Skeleton()
{
    if (!LoadSettings() || !UseSource()) {
        return kExitBadInput;
    }
    if (m_opt.fill) {
        m_state.cfg.dummyasc = *m_opt.fill;
    }
    if (!m_commands.ScanSource()) {
        m_reporter.FinishProgress();
        Fail("Quelldatei konnte nicht gelesen werden: " + m_opt.job);
        return kExitBadInput;
    }
    if (m_state.nJobPages == 0) {
        m_reporter.FinishProgress();
        Fail("Der Druckjob enthält keine Seiten: " + m_opt.job);
        return kExitBadInput;
    }
    return Finish(m_commands.SaveEscSkeleton(Absolute(m_opt.out), false));
}

void Session::PrintImport(json& doc) const
{
    static constexpr const char* kCaptions[4] = {
        "Adress-ID zu kurz:", "Adress-ID fehlt:", "Schlüssel-Endekennung fehlt:",
        "Schlüssel nicht gefunden:"};
    const AppState& st = m_state;
    if (m_opt.json) {
        doc["pages"] = st.nJobPages;
        doc["assigned"] = st.nImpAssigned;
        doc["addressees"] = st.Persons.Count();
        doc["errors"] = st.nImpErr;
        json persons = json::array();
        for (std::int32_t i = 0; i < st.Persons.Count(); ++i) {
            const cKVPerson& p = st.Persons.PersonByIndex(i);
            persons.push_back({{"id", Cp1252ToUtf8(p.PersID())}, {"pages", p.PageList()}});
        }
        doc["persons"] = std::move(persons);
        return;
    }
    std::ostream& o = m_io.out;
    auto row = [&o](std::string_view caption, std::int64_t n) { Row(o, caption, n); };
    row("Seiten:", st.nJobPages);
    row("Zugewiesen:", st.nImpAssigned);
    row("Adressaten:", st.Persons.Count());
    for (int k = 0; k < 4; ++k) {
        row(kCaptions[k], st.nImpErr[static_cast<std::size_t>(k)]);
    }
}

int Session::Import(bool print)
{
    if (!LoadSettings() || !UseSource()) {
        return kExitBadInput;
    }
    if (!m_state.cfg.bAdrKeyValid) {
        Fail("Der Adressatenschlüssel ist nicht vollständig eingestellt (Startkennung und "
             "Endekennung oder feste ID-Länge, Abschnitt [keys]).");
        return kExitBadInput;
    }
    const bool ok = m_commands.Import();
    if (!ok) {
        return Finish(false);
    }
    if (!m_state.MyPcl.Connected()) {
        m_reporter.FinishProgress();
        Fail("Quelldatei konnte nicht gelesen werden: " + m_opt.job);
        return kExitBadInput;
    }
    if (print) {
        m_reporter.FinishProgress();
        json doc = json::object();
        PrintImport(doc);
        if (m_opt.json) {
            m_io.out << doc.dump(2) << '\n';
        }
    }
    return kExitOk;
}

int Session::Export()
{
    if (const int status = Import(false); status != kExitOk) {
        return status;
    }
    m_reporter.FinishProgress();
    if (m_state.Persons.Count() == 0) {
        Fail("Im Druckjob wurde kein Adressat gefunden: nichts zu exportieren.");
        return kExitFailed;
    }
    m_commands.ChooseDestination(Absolute(m_opt.out), std::nullopt, false);
    if (!m_state.bDstOK) {
        if (SameFile(m_state.cfg.sDstFile, m_state.cfg.sSrcFile)) {
            Fail("Die Zieldatei ist die Quelldatei: " + m_opt.out);
        } else {
            Fail("Der Ordner der Zieldatei existiert nicht: " + m_opt.out);
        }
        return kExitBadInput;
    }
    if (m_opt.count) {
        m_commands.ExportCountChanged(std::to_string(*m_opt.count));
    }
    m_commands.ExportCountLeft();
    const bool ok = m_commands.Export();
    if (ok && m_opt.json) {
        json doc = json::object();
        PrintImport(doc);
        const ExportStats& stats = m_commands.LastExportStats();
        doc["exported"] = stats.exported;
        doc["sheets"] = stats.sheets;
        doc["envelopes"] = stats.envelopes;
        m_io.out << doc.dump(2) << '\n';
    } else if (ok) {
        json unused;
        PrintImport(unused);
        const ExportStats& stats = m_commands.LastExportStats();
        Row(m_io.out, "Exportiert:", stats.exported, " Adressaten");
        Row(m_io.out, "Blätter:", stats.sheets);
        Row(m_io.out, "Kuverts:", stats.envelopes);
    }
    return Finish(ok);
}

int Session::RefPage()
{
    if (!LoadSettings()) {
        return kExitBadInput;
    }
    RefPageOptions options = m_commands.RefPageDefaults();
    options.path = Absolute(m_opt.out);
    if (m_opt.grid) {
        options.grid = *m_opt.grid == "on";
    }
    if (m_opt.marks) {
        options.marks = *m_opt.marks == "on";
    }
    if (!options.grid && !options.marks) {
        Fail("Raster und OME-Markierungen sind beide ausgeschaltet: es gibt nichts zu schreiben.");
        return kExitBadInput;
    }
    if (!DirExists(ParentPath(options.path))) {
        Fail("Der Ordner der Referenzdatei existiert nicht: " + m_opt.out);
        return kExitBadInput;
    }
    return Finish(m_commands.WriteReferencePage(options, false));
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
    scan->add_option("JOB", opt.job, "PCL-Druckjob")->required();
    scan->add_flag("--json", opt.json, "Ergebnis als JSON");
    scan->add_flag("--page-table", opt.pageTable, "Position und Länge jeder Seite ausgeben");

    auto* skeleton = app.add_subcommand("skeleton", "Escape-Skelett des Druckjobs schreiben");
    skeleton->add_option("JOB", opt.job, "PCL-Druckjob")->required();
    skeleton->add_option("OUT", opt.out, "Skelett-Datei")->required();
    skeleton->add_option("--fill", opt.fill, "Zeichencode des Füllzeichens (32..255)")
        ->check(CLI::Range(32, 255));

    auto* import = app.add_subcommand("import", "Adressaten erkennen und Ergebnis zeigen");
    import->add_option("JOB", opt.job, "PCL-Druckjob")->required();
    import->add_flag("--json", opt.json, "Ergebnis als JSON");

    auto* exportCmd = app.add_subcommand("export", "Importieren und markierten Job schreiben");
    exportCmd->add_option("JOB", opt.job, "PCL-Druckjob")->required();
    exportCmd->add_option("OUT", opt.out, "Zieldatei")->required();
    exportCmd->add_option("--count", opt.count, "Anzahl der zu exportierenden Adressaten");
    exportCmd->add_flag("--json", opt.json, "Ergebnis als JSON");

    auto* refpage = app.add_subcommand("refpage", "Referenzseite zum Ausrichten schreiben");
    refpage->add_option("OUT", opt.out, "Referenzdatei")->required();
    refpage->add_option("--grid", opt.grid, "Rasterlinien (on|off)")->check(onOff);
    refpage->add_option("--marks", opt.marks, "OME-Markierungen (on|off)")->check(onOff);

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

    Session session(io, programDir, opt);
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
    return session.RefPage();
}

} // namespace kuvrion::cli
