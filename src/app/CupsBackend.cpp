#include "app/CupsBackend.h"

#include "app/Delivery.h"
#include "app/JobFiling.h"
#include "app/MarkJob.h"
#include "app/Messages.h"
#include "app/SpooledJob.h"
#include "base/Platform.h"
#include "settings/IniAccess.h"
#include "settings/Settings.h"

#include <cerrno>
#include <ostream>
#include <random>

namespace fs = std::filesystem;

namespace kuvrion {

namespace {

constexpr std::string_view kScheme = "kuvrion:";

// The settings file a device URI names: "kuvrion:/etc/kuvrion/a.ini", "kuvrion:///etc/..." (an
// empty host), with %XX escapes as the print system writes blanks and other bytes.
std::string SettingsOfUri(const std::string& uri)
{
    std::string path = uri.substr(kScheme.size());
    if (path.starts_with("//")) {
        path.erase(0, 2);
    }
    std::string decoded;
    for (std::size_t i = 0; i < path.size(); ++i) {
        const auto hex = [](char c) {
            return c >= '0' && c <= '9'   ? c - '0'
                   : c >= 'a' && c <= 'f' ? c - 'a' + 10
                   : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                          : -1;
        };
        if (path[i] == '%' && i + 2 < path.size() && hex(path[i + 1]) >= 0 &&
            hex(path[i + 2]) >= 0) {
            decoded += static_cast<char>(hex(path[i + 1]) * 16 + hex(path[i + 2]));
            i += 2;
        } else {
            decoded += path[i];
        }
    }
    return decoded;
}

// What the print system does with the job after a failure of delivery.
BackendExit ExitOfDelivery(FailureKind what)
{
    switch (what) {
    case FailureKind::PrinterRefused:
    case FailureKind::PrinterTimeout:
    case FailureKind::DeliveryFailed:
        return BackendExit::Retry;
    case FailureKind::DeliveryTarget:
    case FailureKind::NoDeliveryTarget:
    case FailureKind::TargetFolderMissing:
        return BackendExit::Stop;
    default:
        return BackendExit::Failed;
    }
}

} // namespace

BackendExit RunCupsBackend(const BackendCall& call)
{
    std::ostream& err = *call.err;
    if (call.args.empty()) {
        *call.out << "network kuvrion \"Unknown\" \"Kuvrion: PCL-Jobs mit OME-Code versehen\"\n";
        return BackendExit::Ok;
    }
    if (call.args.size() < 5 || call.args.size() > 6 || !call.deviceUri.starts_with(kScheme)) {
        err << "Usage: kuvrion job-id user title copies options [file]\n";
        return BackendExit::Failed;
    }
    const std::string settings = SettingsOfUri(call.deviceUri);
    const auto refuse = [&err](const std::string& text, BackendExit code) {
        err << "ERROR: " << text << '\n';
        return code;
    };

    // The job: the named file, or standard input spooled into the print system's temporary
    // folder ($TMPDIR), removed at the end.
    SpooledJob spooled;
    std::string job;
    if (call.args.size() == 6) {
        job = call.args[5];
    } else {
        if (const auto spooledIn = spooled.Spool(*call.in); !spooledIn) {
            return refuse(OneLine(MessageFor(Action::Import, spooledIn.error()).text),
                          BackendExit::Failed);
        }
        job = PathToUtf8(spooled.Path());
    }

    IniAccess ini;
    ini.IniFile(settings);
    const DeliverySettings deliver = ReadDeliverySettings(ini);
    const Result<DeliveryTarget> parsed = ParseDeliveryTarget(deliver.to);
    if (!parsed) {
        return refuse(*BadInputText(Action::Deliver, parsed.error()), BackendExit::Stop);
    }
    const DeliveryTarget& target = *parsed;
    if (target.kind == DeliveryTarget::Kind::None && fs::exists(PathFromUtf8(settings))) {
        return refuse(
            MessageFor(Action::Deliver, Failure{FailureKind::NoDeliveryTarget, 0, 0, settings})
                .text,
            BackendExit::Stop);
    }

    err << "INFO: Kuvrion markiert den Job\n";
    std::error_code ec;
    std::random_device seed;
    const fs::path marked = fs::temp_directory_path(ec) /
                            ("kuvrion-" + call.args[0] + "-" + std::to_string(seed()) + "-OME.pcl");
    struct Remove {
        fs::path path;
        ~Remove() { RemoveFileQuietly(path); }
    } removeMarked{marked};
    MarkRequest request{PathFromUtf8(settings).parent_path(), settings, job, PathToUtf8(marked)};
    const MarkResult result = MarkJob(request);
    if (!result.Ok()) {
        // Not PCL 5, no key, bad settings, a failed check: never printed.
        MarkResult named = result;
        if (named.failure->path == job) {
            named.failure->path = call.args.size() == 6 ? job : call.args[2];
        }
        // A copy for the operator where [deliver] refused= says, named after the job's number (its
        // title comes from the client).
        if (!deliver.refused.empty()) {
            const std::string name = "job-" + call.args[0] + ".pcl";
            if (const auto filed = FileRefusedJob(PathFromUtf8(job), name, named.Text(),
                                                  PathFromUtf8(deliver.refused), false);
                !filed) {
                err << "INFO: " << OneLine(MessageFor(Action::Watch, filed.error()).text) << '\n';
            }
        }
        return refuse(named.Text(), BackendExit::Cancel);
    }
    if (!result.manifest.empty()) {
        RemoveFileQuietly(PathFromUtf8(result.manifest));
    }
    err << "INFO: " << result.stats.sheets << " Blätter, " << result.stats.envelopes
        << " Kuverts geprüft; Übergabe an " << target.uri << '\n';
    if (const auto delivered = Deliver(PathToUtf8(marked), target); !delivered) {
        return refuse(OneLine(MessageFor(Action::Deliver, delivered.error()).text),
                      ExitOfDelivery(delivered.error().what));
    }
    err << "INFO: " << MessageFor(Action::Deliver, std::nullopt).text << '\n';
    return BackendExit::Ok;
}

} // namespace kuvrion
