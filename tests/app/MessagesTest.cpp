// Every text the user reads, against the reviewed copy in messages.golden: the front ends show
// these byte for byte, so a changed word is a changed program. Everywhere else the tests compare
// outcomes, not sentences.
#include "app/Messages.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <fstream>

namespace kuvrion {
namespace {

// The names of the enumerators, in their order.
// clang-format off
constexpr const char* kActions[] = {"Import", "Scan", "Export", "Verify", "Text", "Skeleton", "RefPage",
    "Settings", "ShowLog", "OpenManual", "CommandLine", "ImportReason", "ExportReason", "Watch",
    "Deliver", "Listen"};
constexpr const char* kFailures[] = {"SourceMissing", "SourceUnreadable", "SourceChanged",
    "NoPages", "NotPcl5", "DuplexSwitch", "PageRead", "PageMissing", "KeyIncomplete",
    "SettingInvalid", "TooManyPages", "LogWrite", "NoAddressees", "MarkerAbsent", "MarkerNearby",
    "ImportIncomplete", "ImportRefused", "DestinationIsSource",
    "NothingToDraw", "TargetFolderMissing", "TargetBlocked", "TargetOpen", "TargetWrite",
    "TargetCommit", "CheckFailed", "ManifestWrite", "EnvelopeList", "EnvelopeOutOfRange",
    "SeqStartRange", "SeqUnknown", "StateWrite", "FeedRuleInvalid", "FeedIdsUnreadable",
    "DmxTemplate", "DmxTooWide", "DmxTooLong", "DmxOutside", "DmxUnavailable", "DmxNearBars",
    "DmxNearEdge", "SettingsWrite", "FileMissing", "NoViewer", "ProgramFailed", "CodeUnusable",
    "JournalWrite", "JobMove", "DeliveryTarget", "PrinterRefused", "PrinterTimeout",
    "DeliveryFailed", "ListenFailed", "AllowList", "NoDeliveryTarget", "DeliveryInDoubt",
    "OutOfMemory", "Cancelled"};
// clang-format on

// One line per worded result: action, failure kind (or "done"), the message kind and text with
// CR LF shown as "|", and the command-line tool's words after "=>". A failure that no row words
// is left out; it shows the description of its system error.
std::string RenderTable()
{
    static_assert(std::size(kFailures) == static_cast<int>(FailureKind::Cancelled) + 1);
    std::string all;
    for (int a = 0; a < static_cast<int>(std::size(kActions)); ++a) {
        for (int k = -1; k < static_cast<int>(std::size(kFailures)); ++k) {
            std::optional<Failure> f;
            if (k >= 0)
                f = Failure{static_cast<FailureKind>(k), ENOSPC, 7, "/tmp/a.pcl", "PCL XL", 7, 7};
            const Message m = MessageFor(static_cast<Action>(a), f);
            const auto cli = f ? BadInputText(static_cast<Action>(a), *f) : std::nullopt;
            if (f && !cli && m.kind == MessageKind::Warning && m.text == DescribeErrno(ENOSPC))
                continue;
            std::string text = m.text;
            for (std::size_t at; (at = text.find("\r\n")) != std::string::npos;)
                text.replace(at, 2, "|");
            all += std::string(kActions[a]) + " " + (k < 0 ? "done" : kFailures[k]) + " " +
                   "PIW"[static_cast<int>(m.kind)] + (text.empty() ? "" : " " + text) +
                   (cli ? " => " + *cli : "") + "\n";
        }
    }
    // The system errors by name: their numbers differ between systems.
    // clang-format off
    const std::pair<const char*, int> errors[] = {{"0", 0}, {"ENOSPC", ENOSPC}, {"EACCES", EACCES},
        {"EPERM", EPERM}, {"EROFS", EROFS}, {"ENOENT", ENOENT}, {"EIO", EIO}, {"EISDIR", EISDIR},
        {"ENOTDIR", ENOTDIR}, {"EEXIST", EEXIST}, {"EFBIG", EFBIG}, {"EBUSY", EBUSY},
        {"ETXTBSY", ETXTBSY}, {"EMFILE", EMFILE}, {"ENFILE", ENFILE},
        {"ENAMETOOLONG", ENAMETOOLONG}, {"ELOOP", ELOOP}, {"ENOMEM", ENOMEM}, {"EINVAL", EINVAL},
        {"EXDEV", EXDEV}, {"ENODEV", ENODEV}, {"ENXIO", ENXIO}, {"EINTR", EINTR},
        {"EAGAIN", EAGAIN}, {"ECONNREFUSED", ECONNREFUSED}, {"ECONNRESET", ECONNRESET},
        {"EPIPE", EPIPE}, {"ETIMEDOUT", ETIMEDOUT}, {"EHOSTUNREACH", EHOSTUNREACH},
        {"ENETUNREACH", ENETUNREACH}, {"EADDRINUSE", EADDRINUSE},
        {"EADDRNOTAVAIL", EADDRNOTAVAIL}, {"9999", 9999}};
    // clang-format on
    for (const auto& [name, err] : errors) {
        // Without a German text the C library's own words follow, which differ between systems.
        std::string text = DescribeErrno(err);
        all += std::string("errno ") + name + " " + text.substr(0, text.find(" (")) + "\n";
    }
    for (int f = 0; f <= static_cast<int>(CodeFault::LeftOfPrintArea); ++f)
        all += "code " + std::to_string(f) + " " + CodeFaultText(static_cast<CodeFault>(f)) + "\n";
    for (int w = 0; w <= static_cast<int>(RuleWarning::SideClearance); ++w)
        all +=
            "rule " + std::to_string(w) + " " + RuleWarningText(static_cast<RuleWarning>(w)) + "\n";
    // A refused and a corrected stored setting, with real keys.
    all += "setting " +
           MessageFor(Action::Import,
                      Failure{FailureKind::SettingInvalid, 0, 0, "kuvrion.ini", "adridlen=abc"})
               .text +
           "\n";
    all += "setting " +
           CorrectedSettingsText("kuvrion.ini", {{"adrkeymode", "7", "", true},
                                                 {"dummyasc", "10", "32", false},
                                                 {"envlimit", "9,1", "5,1", false}}) +
           "\n";
    all += "field " + FillCharFaultText() + "\n";
    all += "busy " + BusyReasonText() + "\n";
    all += "cancelled " + CancelledText() + "\n";
    for (int k = 0; k <= static_cast<int>(PortEvent::Kind::SpoolFailed); ++k)
        all += "port " + std::to_string(k) + " " +
               PortEventText(
                   {static_cast<PortEvent::Kind>(k), "127.0.0.1:5000", 12, "port-1.pcl", ENOSPC}) +
               "\n";
    for (int s = 0; s < 5; ++s)
        all += "status " + std::to_string(s) + " " + StatusText(s) + "\n";
    return all;
}

TEST(Messages, EveryTextIsTheReviewedOne)
{
    const auto golden = std::filesystem::path(__FILE__).parent_path() / "messages.golden";
    if (std::getenv("KUVRION_UPDATE_GOLDEN")) // after a reviewed change of a text
        std::ofstream(golden, std::ios::binary) << RenderTable();
    EXPECT_EQ(RenderTable(), test::ReadFile(golden)) << "a text changed: compare with " << golden;
}

} // namespace
} // namespace kuvrion
