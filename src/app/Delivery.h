// Delivery of a checked, marked job: where [deliver] to= (or `kuvrion-cli send`) says.
//
//   C:\Ausgang, /srv/ausgang, file:/srv/ausgang   a folder: the job appears there whole (atomic)
//   socket://host[:port]                          a printer's raw port (9100 when none is given)
//   ipp://host[:port]/printers/QUEUE              a CUPS queue, handed over with `lp -o raw`
//   lpd://host/QUEUE                              a line printer daemon, through CUPS's lpd backend
//
// A job is never handed on before its check passed: callers deliver only what MarkJob wrote.
#pragma once

#include "base/Result.h"
#include "net/PrinterSocket.h"

#include <cstdint>
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

// `text` as a target ("" is Kind::None). Fails with DeliveryTarget (detail: the text) when it is
// a URI of another scheme or lacks its host, port or queue.
Result<DeliveryTarget> ParseDeliveryTarget(const std::string& text);

// Hands the file `marked` (UTF-8) to `target`. Succeeds when it was taken; else fails with the
// failure of the folder (TargetFolderMissing, TargetWrite...), the printer (PrinterRefused,
// PrinterTimeout, DeliveryFailed) or the program that hands it over (DeliveryFailed, detail: its
// exit status).
Result<void> Deliver(const std::string& marked, const DeliveryTarget& target,
                     const SendLimits& limits = {});

} // namespace kuvrion
