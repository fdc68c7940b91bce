#include "app/Commands.h"

#include "addressees/ImportPass.h"
#include "base/Numbers.h"
#include "base/FileChecks.h"
#include "base/SystemError.h"
#include "base/AtomicFile.h"
#include "base/Platform.h"
#include "base/Version.h"
#include "marking/OmeCode.h"
#include "marking/RefJob.h"
#include "pcljob/EscSkeleton.h"

#include <algorithm>
#include <cmath>
#include <ctime>
#include <filesystem>
#include <limits>

namespace fs = std::filesystem;

namespace kuvrion {

namespace {

constexpr const char* kSourceChanged =
    "Die Quelldatei wurde seit dem Import geändert. Bitte erneut importieren.";
constexpr const char* kSettingsNotSaved = "Die Einstellungen konnten nicht gespeichert werden:";

// The key settings the page text search depends on, as one text to compare.
std::string KeyFingerprint(const Settings& c)
{
    std::string f = c.sAdrKeyBeg;
    f += '\0';
    f += c.sAdrKeyEnd;
    f += '\0';
    f += std::to_string(c.nAdrIdLen) + '/' + std::to_string(c.nAdrKeyMode);
    return f;
}

// A destination that cannot take a new file under its name: a write-protected file or a folder.
bool BlockedTarget(const std::string& path)
{
    std::error_code ec;
    return IsWriteProtected(PathFromUtf8(path)) || fs::is_directory(PathFromUtf8(path), ec);
}

std::int32_t RoundedCount(std::string_view text)
{
    const double v = std::nearbyint(ValNumber(text));
    if (!(v >= std::numeric_limits<std::int32_t>::min())) {
        return std::numeric_limits<std::int32_t>::min();
    }
    if (v > std::numeric_limits<std::int32_t>::max()) {
        return std::numeric_limits<std::int32_t>::max();
    }
    return static_cast<std::int32_t>(v);
}

} // namespace

Commands::Commands(AppState& state, Reporter& reporter) : m_state(state), m_reporter(reporter)
{
    m_state.MyPcl.SetProgressHandler([this](std::int32_t nStatus, std::int64_t nValue, bool&) {
        switch (nStatus) {
        case 0:
            m_reporter.SetProgressValue(0);
            m_reporter.SetProgressMaximum(static_cast<double>(nValue));
            m_reporter.ShowStatus(1);
            m_reporter.ShowTotal(0);
            break;
        case 1:
            m_reporter.ProcessEvents();
            m_reporter.SetProgressValue(static_cast<double>(nValue));
            m_reporter.ShowTotal(m_state.MyPcl.Pages());
            break;
        default:
            m_reporter.SetProgressValue(0);
            m_reporter.ShowStatus(0);
            break;
        }
    });
}

void Commands::Load()
{
    AppState& st = m_state;
    st.oIni.IniFile(PathToUtf8(st.paths.settingsFile));
    st.nJobPages = 0;
    st.bLogAvailable = FileExists(PathToUtf8(st.paths.LogFile()));
    st.bRunUpdater = false;
    // The updater is only offered when both of its files lie in the program's folder.
    st.bWebUpdateAvailable = FileExists(PathToUtf8(st.paths.programDir / "Zephrin.exe")) &&
                             FileExists(PathToUtf8(st.paths.programDir / "UNZIP.COM"));
    st.cfg = LoadSettings(st.oIni);
    RefreshSource();
    RefreshDestination();
    ComputeCodeLength(st.cfg);
    m_reporter.ShowStatus(0);
    m_reporter.StateChanged();
}

bool Commands::CanImport() const
{
    return m_state.bSrcOK && m_state.cfg.bAdrKeyValid;
}

bool Commands::CanExport() const
{
    return m_state.Persons.Count() >= 1 && m_state.bDstOK && m_state.bImportComplete;
}

bool Commands::CanShowImportStatus() const
{
    return m_state.nJobPages != 0;
}

bool Commands::CanSaveSkeleton() const
{
    return m_state.nJobPages != 0 && m_state.MyPcl.Connected();
}

void Commands::RefreshSource()
{
    m_state.bSrcOK = FileExists(m_state.cfg.sSrcFile);
}

void Commands::RefreshDestination()
{
    // An export over its own source would destroy the job while it is read, so the destination
    // must differ from the source under any spelling of the same file.
    const std::string& dst = m_state.cfg.sDstFile;
    m_state.bDstOK = DirExists(ParentPath(dst)) && !SameFile(dst, m_state.cfg.sSrcFile);
}

void Commands::ChooseSource(const std::string& path, std::optional<std::int32_t> filterIndex,
                            bool persist)
{
    m_state.cfg.sSrcFile = path;
    if (persist) {
        WriteSourceFile(m_state.oIni, path, filterIndex);
    }
    RefreshSource();
    RefreshDestination();
    m_reporter.StateChanged();
}

void Commands::DropFiles(const std::vector<std::string>& files)
{
    if (!files.empty()) {
        ChooseSource(files.front(), std::nullopt);
    }
}

void Commands::ChooseDestination(const std::string& path, std::optional<std::int32_t> filterIndex,
                                 bool persist)
{
    m_state.cfg.sDstFile = path;
    if (persist) {
        WriteDestinationFile(m_state.oIni, path, filterIndex);
    }
    RefreshDestination();
    m_reporter.StateChanged();
}

std::int32_t Commands::SourceFilterIndex() const
{
    return ReadFilterIndex(m_state.oIni, false);
}

std::int32_t Commands::DestinationFilterIndex() const
{
    return ReadFilterIndex(m_state.oIni, true);
}

void Commands::ExportCountChanged(std::string_view text)
{
    m_state.txtExpAdr = std::string(text);
    m_state.nExportCount = RoundedCount(text);
}

void Commands::ExportCountLeft()
{
    const std::int32_t upper = std::max(m_state.Persons.Count(), 1);
    const std::int32_t n = Clamp(m_state.nExportCount, 1, upper);
    ExportCountChanged(std::to_string(n));
    m_reporter.StateChanged();
}

bool Commands::ScanSource()
{
    AppState& st = m_state;
    st.nJobPages = 0;
    st.bImportComplete = false;
    st.Persons.Clear();
    st.keySpans.clear();
    const bool ok = st.MyPcl.Connect(st.cfg.sSrcFile);
    st.nJobPages = ok ? st.MyPcl.Pages() : 0;
    st.labTotalPgs = std::to_string(st.nJobPages);
    m_reporter.StateChanged();
    return ok;
}

bool Commands::Import()
{
    AppState& st = m_state;
    m_reporter.SetBusy(true);
    st.labTotalPgs.clear();
    st.labTotalAdr.clear();
    st.txtExpAdr.clear();
    st.txtExpAdrMaxLength = 0;
    st.nExportCount = 0;
    st.nJobPages = 0;
    st.nImpAssigned = 0;
    st.bImportComplete = false;
    st.keySpans.clear();
    m_reporter.StateChanged();

    ImportHooks hooks;
    hooks.onPagesKnown = [&](std::int32_t n) {
        st.nJobPages = n;
        st.labTotalPgs = std::to_string(n);
        m_reporter.StateChanged();
    };
    hooks.onCollectStart = [&](std::int32_t n) {
        m_reporter.SetProgressValue(0);
        m_reporter.SetProgressMaximum(n);
        m_reporter.ShowTotal(n);
        m_reporter.ShowStatus(2);
    };
    hooks.onPage = [&](std::int32_t i) {
        m_reporter.ProcessEvents();
        m_reporter.SetProgressValue(i);
        m_reporter.ShowCurrent(i);
    };

    st.log.Open(st.paths.LogFile(), st.cfg.bUseLog);
    if (st.cfg.bUseLog) {
        st.bLogAvailable = true;
    }
    ImportResult result = RunImportPass(st.MyPcl, st.cfg.sSrcFile, st.cfg, st.Persons, st.nImpErr,
                                        st.log, std::time(nullptr), hooks);
    // The last bytes of the log reach the disk only when it is closed: a failure there is a failed
    // log write like any other.
    if (!st.log.Close() && !result.failed) {
        result.failed = true;
        result.failure = st.log.Error();
    }

    st.nJobPages = result.nJobPages;
    st.nImpAssigned = result.nImpAssigned;
    st.keySpans = std::move(result.keySpans);
    st.keySpansSettings = KeyFingerprint(st.cfg);
    st.labTotalPgs = std::to_string(st.nJobPages);
    if (!result.failed && st.nJobPages > 0) {
        const std::string count = std::to_string(st.Persons.Count());
        st.labTotalAdr = count;
        ExportCountChanged(count);
        st.txtExpAdrMaxLength = static_cast<std::int32_t>(count.size());
        st.bImportComplete = true;
    }
    m_reporter.ShowStatus(0);
    m_reporter.SetBusy(false);
    m_reporter.StateChanged();

    if (result.failed) {
        m_reporter.ShowMessage(result.failure, MessageKind::Plain);
        return false;
    }
    if (std::any_of(st.nImpErr.begin(), st.nImpErr.end(), [](std::int32_t n) { return n != 0; })) {
        m_reporter.ShowImportStatus();
    }
    return true;
}

bool Commands::SourceUnchangedSinceImport()
{
    if (m_state.MyPcl.SourceChanged()) {
        m_reporter.ShowMessage(kSourceChanged, MessageKind::Warning);
        return false;
    }
    return true;
}

bool Commands::Export()
{
    AppState& st = m_state;
    if (!CanExport() || !SourceUnchangedSinceImport()) {
        return false;
    }
    if (BlockedTarget(st.cfg.sDstFile)) {
        m_reporter.ShowMessage("Zieldatei ist schreibgeschützt", MessageKind::Warning);
        return false;
    }
    AtomicFile out;
    if (!out.Open(PathFromUtf8(st.cfg.sDstFile))) {
        m_reporter.ShowMessage("Zieldatei konnte nicht angelegt werden", MessageKind::Warning);
        return false;
    }

    m_reporter.SetBusy(true);
    m_reporter.ShowTotal(st.Persons.Count());
    m_reporter.ShowStatus(3);
    st.nSeqCounter = 0;
    m_lastExport = {};
    std::string failure;
    bool ok = ExportJob(
        st.MyPcl, st.Persons, st.nExportCount, st.cfg,
        [&out](std::string_view bytes) { return out.Write(bytes); },
        [this](std::int32_t i) {
            m_reporter.ShowCurrent(i);
            m_reporter.ProcessEvents();
        },
        m_lastExport, failure,
        KeyFingerprint(st.cfg) == st.keySpansSettings ? &st.keySpans : nullptr);
    if (!ok && failure.empty()) {
        failure = out.Error();
    }
    if (ok && !out.Commit()) {
        ok = false;
        failure = out.Error();
    }
    if (!ok) {
        out.Discard();
    }
    m_reporter.ShowStatus(0);
    m_reporter.SetBusy(false);

    if (!ok) {
        m_reporter.ShowMessage("Export fehlgeschlagen:\r\n" + failure, MessageKind::Warning);
        return false;
    }
    m_reporter.ShowMessage("Export wurde durchgeführt", MessageKind::Plain);
    return true;
}

std::string Commands::SkeletonPath() const
{
    return ReadSkeletonPath(m_state.oIni, PathToUtf8(m_state.paths.SkeletonFile()));
}

bool Commands::SaveEscSkeleton(const std::string& path, bool persist)
{
    AppState& st = m_state;
    if (persist) {
        WriteSkeletonPath(st.oIni, path);
    }
    if (!CanSaveSkeleton() || !SourceUnchangedSinceImport()) {
        return false;
    }
    if (BlockedTarget(path)) {
        m_reporter.ShowMessage("'" + path + "'\r\nist schreibgeschützt", MessageKind::Plain);
        return false;
    }
    constexpr const char* kFailed = "Esc-Skelett konnte nicht geschrieben werden:\r\n";
    AtomicFile out;
    if (!out.Open(PathFromUtf8(path))) {
        m_reporter.ShowMessage(kFailed + out.Error(), MessageKind::Warning);
        return false;
    }
    m_reporter.SetBusy(true);
    bool ok = WriteEscSkeleton(st.MyPcl, st.nJobPages, st.cfg.dummyasc,
                               [&out](std::string_view bytes) { return out.Write(bytes); });
    std::string failure;
    if (!ok) {
        failure = out.Failed() ? out.Error() : DescribeErrno(st.MyPcl.ReadError());
    } else if (!out.Commit()) {
        ok = false;
        failure = out.Error();
    }
    if (!ok) {
        out.Discard();
    }
    m_reporter.SetBusy(false);
    if (!ok) {
        m_reporter.ShowMessage(kFailed + failure, MessageKind::Warning);
        return false;
    }
    m_reporter.ShowMessage("Esc-Skelett wurde gespeichert.", MessageKind::Plain);
    return true;
}

RefPageOptions Commands::RefPageDefaults() const
{
    return ReadRefPageOptions(m_state.oIni, PathToUtf8(m_state.paths.RefPageFile()));
}

bool Commands::WriteReferencePage(const RefPageOptions& options, bool persist)
{
    // The options are stored before the file is written, so they stay even when it fails.
    if (persist) {
        WriteRefPageOptions(m_state.oIni, options);
    }
    if (!options.grid && !options.marks) {
        return false;
    }
    constexpr const char* kCannotCreate = "Referenzdatei konnte nicht angelegt werden";
    if (BlockedTarget(options.path)) {
        m_reporter.ShowMessage(kCannotCreate, MessageKind::Warning);
        return false;
    }
    AtomicFile out;
    if (!out.Open(PathFromUtf8(options.path))) {
        m_reporter.ShowMessage(kCannotCreate, MessageKind::Warning);
        return false;
    }
    const std::string job = BuildRefJob(m_state.cfg, options.grid, options.marks);
    if (!out.Write(job) || !out.Commit()) {
        const std::string failure = out.Error();
        out.Discard();
        m_reporter.ShowMessage("Referenzseite konnte nicht geschrieben werden:\r\n" + failure,
                               MessageKind::Warning);
        return false;
    }
    m_reporter.ShowMessage("Referenzseite wurde erzeugt", MessageKind::Plain);
    return true;
}

void Commands::ToggleLog()
{
    m_state.cfg.bUseLog = !m_state.cfg.bUseLog;
    m_reporter.StateChanged();
}

std::optional<std::string> Commands::LogFileToOpen()
{
    const std::string log = PathToUtf8(m_state.paths.LogFile());
    if (FileExists(log)) {
        return log;
    }
    m_reporter.ShowMessage("Kein Logfile vorhanden", MessageKind::Plain);
    return std::nullopt;
}

std::optional<std::string> Commands::ManualToOpen()
{
    const std::string name = std::string(kProductName) + ".pdf";
    // Beside the program (a build folder, the Windows package), or where an installation under a
    // prefix puts it (<prefix>/bin/kuvrion, <prefix>/share/doc/kuvrion/Kuvrion.pdf).
    const fs::path& dir = m_state.paths.programDir;
    for (const fs::path& candidate :
         {dir / "doc" / name, dir / name,
          (dir / ".." / "share" / "doc" / "kuvrion" / name).lexically_normal()}) {
        if (FileExists(PathToUtf8(candidate))) {
            return PathToUtf8(candidate);
        }
    }
    m_reporter.ShowMessage("Das Handbuch wurde nicht gefunden:\r\n" + name, MessageKind::Plain);
    return std::nullopt;
}

void Commands::SettingsWritten(bool ok)
{
    if (!ok) {
        m_reporter.ShowMessage(std::string(kSettingsNotSaved) + "\r\n" +
                                   PathToUtf8(m_state.paths.settingsFile),
                               MessageKind::Warning);
    }
}

void Commands::ApplyKeySettings(const std::string& beg, const std::string& end, std::int32_t idLen,
                                std::int32_t mode, bool rem)
{
    Settings& c = m_state.cfg;
    c.sAdrKeyBeg = beg;
    c.sAdrKeyEnd = end;
    c.nAdrIdLen = idLen;
    c.nAdrKeyMode = mode;
    c.bAdrKeyRem = rem;
    // The key dialog only confirms complete settings; a caller without that dialog gets the rule.
    c.bAdrKeyValid = !beg.empty() && (mode != 0 ? idLen > 0 : !end.empty());
    SettingsWritten(WriteKeySettings(m_state.oIni, c));
    m_reporter.StateChanged();
}

void Commands::ApplyOmeCode(const std::string& collect, const std::string& envelop,
                            const std::string& stop, std::int32_t supplyCount,
                            std::int32_t seqchkCount, const std::array<bool, 5>& marks)
{
    Settings& c = m_state.cfg;
    c.collect_code = collect;
    c.envelop_code = envelop;
    c.stop_code = stop;
    c.supply_count = Clamp(supplyCount, 1, 4);
    c.seqchk_count = Clamp(seqchkCount, 1, 4);
    c.use_stop = marks[0];
    c.use_supply = marks[1];
    c.use_seqchk = marks[2];
    c.use_parity = marks[3];
    c.use_security = marks[4];
    ComputeCodeLength(c);
    SettingsWritten(WriteOmeCodeSettings(m_state.oIni, c));
}

void Commands::ApplyOmeLayout(const std::array<float, 5>& xyabd)
{
    Settings& c = m_state.cfg;
    c.ome_x = xyabd[0];
    c.ome_y = xyabd[1];
    c.ome_a = xyabd[2];
    c.ome_b = xyabd[3];
    c.ome_d = xyabd[4];
    SettingsWritten(WriteOmeLayout(m_state.oIni, c));
}

void Commands::ApplyPrintArea(const std::array<float, 6>& values)
{
    Settings& c = m_state.cfg;
    // The margins of the printable area are distances and never negative.
    c.pclleftmm = std::fabs(values[0]);
    c.pcltopmm = std::fabs(values[1]);
    c.stdleftmm = values[2];
    c.stdtopmm = values[3];
    c.omeleftmm = values[4];
    c.ometopmm = values[5];
    SettingsWritten(WritePrintArea(m_state.oIni, c));
}

void Commands::ApplyOrganize(std::int32_t limit, bool on)
{
    Settings& c = m_state.cfg;
    c.nEnvLimit = static_cast<std::int16_t>(Clamp(limit, 1, 5));
    c.bEnvLimit = on;
    SettingsWritten(WriteOrganize(m_state.oIni, c));
}

void Commands::ApplyFillChar(std::int32_t code)
{
    m_state.cfg.dummyasc = Clamp(code, 32, 255);
    SettingsWritten(WriteFillChar(m_state.oIni, m_state.cfg));
}

void Commands::Close(std::array<std::int32_t, 2> posTwips)
{
    m_state.log.Close();
    WriteWindowState(m_state.oIni, posTwips, m_state.cfg.bUseLog);
}

std::vector<std::string> Commands::UpdaterCommandLine() const
{
    const Version v;
    return {PathToUtf8(m_state.paths.programDir / "Zephrin.exe"),
            std::string(kProductName),
            std::string(kProductName),
            std::to_string(v.major),
            std::to_string(v.minor),
            std::to_string(v.revision)};
}

} // namespace kuvrion
