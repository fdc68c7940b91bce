// Delivery of a checked, marked job: where [deliver] to= (or `kuvrion-cli send`) says.
//
//   C:\Ausgang, /srv/ausgang, file:/srv/ausgang   a folder: the job appears there whole (atomic)
//   socket://host[:port]                          a printer's raw port (9100 when none is given)
//   ipp://host[:port]/printers/QUEUE              a CUPS queue, handed over with `lp -o raw`
//   lpd://host/QUEUE                              a line printer daemon, through CUPS's lpd backend
//
// A job is never handed on before its check passed: callers deliver only what MarkJob wrote.
#pragma once

#include "base/Failure.h"
#include "net/PrinterSocket.h"

#include <cstdint>
#include <optional>
#include <string>

namespace kuvrion {

struct DeliveryTarget {
    enum class Kind { None, Folder, Socket, Ipp, Lpd };
    Kind kind = Kind::None;
    std::string folder; // Folder: UTF-8 path
    std::string host;   // Socket, Ipp, Lpd
    std::uint16_t port = 0;
    std::string queue; // Ipp, Lpd
    std::string uri;   // as written
};

// `text` as a target ("" is Kind::None). DeliveryTarget (detail: the text) when it is a URI of
// another scheme or lacks its host, port or queue.
std::optional<Failure> ParseDeliveryTarget(const std::string& text, DeliveryTarget& target);

// Hands the file `marked` (UTF-8) to `target`. nullopt when it was taken; else the failure of the
// folder (TargetFolderMissing, TargetWrite...), the printer (PrinterRefused, PrinterTimeout,
// DeliveryFailed) or the program that hands it over (DeliveryFailed, detail: its exit status).
std::optional<Failure> Deliver(const std::string& marked, const DeliveryTarget& target,
                               const SendLimits& limits = {});

} // namespace kuvrion
