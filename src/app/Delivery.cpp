#include "app/Delivery.h"

#include "base/AtomicFile.h"
#include "base/Platform.h"

#include <cerrno>
#include <charconv>
#include <memory>

namespace fs = std::filesystem;

namespace kuvrion {

namespace {

constexpr std::uint16_t kRawPort = 9100;

// "host", "host:port", "[v6]" or "[v6]:port"; false when the port is not a number 1..65535.
bool SplitHostPort(std::string_view text, std::string& host, std::uint16_t& port,
                   std::uint16_t defaultPort)
{
    std::string_view portText;
    if (text.starts_with('[')) {
        const std::size_t close = text.find(']');
        if (close == std::string_view::npos) {
            return false;
        }
        host = std::string(text.substr(1, close - 1));
        const std::string_view rest = text.substr(close + 1);
        if (!rest.empty() && !rest.starts_with(':')) {
            return false;
        }
        portText = rest.empty() ? rest : rest.substr(1);
    } else {
        const std::size_t colon = text.find(':');
        host = std::string(text.substr(0, colon));
        portText = colon == std::string_view::npos ? std::string_view() : text.substr(colon + 1);
    }
    if (host.empty()) {
        return false;
    }
    if (portText.empty()) {
        port = defaultPort;
        return true;
    }
    unsigned value = 0;
    const auto [end, ec] =
        std::from_chars(portText.data(), portText.data() + portText.size(), value);
    if (ec != std::errc() || end != portText.data() + portText.size() || value == 0 ||
        value > 65535) {
        return false;
    }
    port = static_cast<std::uint16_t>(value);
    return true;
}

Result<void> CopyIntoFolder(const std::string& marked, const std::string& folder)
{
    const fs::path dir = PathFromUtf8(folder);
    std::error_code ec;
    if (!fs::is_directory(dir, ec)) {
        return Failure{FailureKind::TargetFolderMissing, ENOENT, 0, folder};
    }
    const fs::path target = dir / PathFromUtf8(marked).filename();
    const auto in = OpenInputFile(PathFromUtf8(marked));
    if (!in) {
        return Failure{FailureKind::FileMissing, in.error().err, 0, marked};
    }
    AtomicFile out;
    if (auto opened = out.Open(target); !opened) {
        return Failure{FailureKind::TargetOpen, opened.error().err, 0, PathToUtf8(target)};
    }
    std::string buf(1 << 16, '\0');
    for (std::int64_t at = 0;;) {
        const auto got = (*in)->ReadAt(at, buf.data(), static_cast<std::int64_t>(buf.size()));
        if (!got) {
            return Failure{FailureKind::SourceUnreadable, got.error().err, 0, marked};
        }
        if (*got == 0) {
            break;
        }
        // A failed write is remembered and reported by the commit.
        static_cast<void>(out.Write(std::string_view(buf.data(), static_cast<std::size_t>(*got))));
        at += *got;
    }
    if (auto committed = out.Commit(); !committed) {
        return Failure{FailureKind::TargetWrite, committed.error().err, 0, PathToUtf8(target)};
    }
    return {};
}

Result<void> RunHandOver(const std::vector<std::string>& args, const std::vector<std::string>& env,
                         const std::string& uri)
{
    const Result<int> status = RunProgram(args, env);
    if (!status) {
        return Failure{FailureKind::DeliveryFailed, status.error().err, 0, uri, args[0]};
    }
    if (*status != 0) {
        return Failure{FailureKind::DeliveryFailed, EIO, 0, uri,
                       args[0] + " " + std::to_string(*status)};
    }
    return {};
}

} // namespace

Result<DeliveryTarget> ParseDeliveryTarget(const std::string& text)
{
    DeliveryTarget target;
    target.uri = text;
    if (text.empty()) {
        return target;
    }
    const Failure bad{FailureKind::DeliveryTarget, 0, 0, {}, text};
    const std::size_t scheme = text.find("://");
    if (text.starts_with("file:")) {
        std::string path = text.substr(5);
        if (path.starts_with("//")) {
            path.erase(0, 2); // file:///srv/out: an empty host
        }
        if (path.empty()) {
            return bad;
        }
        target.kind = DeliveryTarget::Kind::Folder;
        target.folder = path;
        return target;
    }
    // A Windows drive letter ("C:\Ausgang") is a folder, not a scheme.
    if (scheme == std::string::npos || scheme < 2) {
        target.kind = DeliveryTarget::Kind::Folder;
        target.folder = text;
        return target;
    }
    const std::string name = text.substr(0, scheme);
    const std::string rest = text.substr(scheme + 3);
    const std::size_t slash = rest.find('/');
    const std::string hostPort = rest.substr(0, slash);
    const std::string path = slash == std::string::npos ? "" : rest.substr(slash + 1);
    if (name == "socket") {
        if ((!path.empty()) || !SplitHostPort(hostPort, target.host, target.port, kRawPort)) {
            return bad;
        }
        target.kind = DeliveryTarget::Kind::Socket;
        return target;
    }
    if (name == "ipp" || name == "lpd") {
        const bool ipp = name == "ipp";
        if (!SplitHostPort(hostPort, target.host, target.port, ipp ? 631 : 515)) {
            return bad;
        }
        target.queue = path.substr(path.rfind('/') == std::string::npos ? 0 : path.rfind('/') + 1);
        if (target.queue.empty() || (ipp && !path.starts_with("printers/"))) {
            return bad;
        }
        target.kind = ipp ? DeliveryTarget::Kind::Ipp : DeliveryTarget::Kind::Lpd;
        return target;
    }
    return bad;
}

Result<void> Deliver(const std::string& marked, const DeliveryTarget& target,
                     const SendLimits& limits)
{
    using Kind = DeliveryTarget::Kind;
    switch (target.kind) {
    case Kind::None:
        return {};
    case Kind::Folder:
        return CopyIntoFolder(marked, target.folder);
    case Kind::Socket:
        return SendToPrinter(PathFromUtf8(marked), target.host, target.port, limits);
    case Kind::Ipp:
        // The queue's server prints the bytes as they are: the marks must not be re-rendered.
        return RunHandOver({"lp", "-h", target.host + ":" + std::to_string(target.port), "-d",
                            target.queue, "-o", "raw", "-t", "Kuvrion", "--", marked},
                           {}, target.uri);
    case Kind::Lpd:
        // CUPS's own lpd backend, called as CUPS calls it: job, user, title, copies, options,
        // file, with the printer's address in DEVICE_URI.
        return RunHandOver(
            {"/usr/lib/cups/backend/lpd", "1", "kuvrion", "Kuvrion", "1", "", marked},
            {"DEVICE_URI=" + target.uri}, target.uri);
    }
    return {};
}

} // namespace kuvrion
