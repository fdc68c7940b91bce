// Sends a marked job to a printer's raw port (port 9100), the way printers expect it: connect,
// send every byte, half-close, then wait until the printer closes its side, which it does once
// it has taken the whole job. Only what never reached the printer is tried again, so a job is
// never printed twice by a retry.
#pragma once

#include "base/Result.h"

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <string>

namespace kuvrion {

struct SendLimits {
    std::chrono::milliseconds connect{10000}; // for one connection attempt
    std::chrono::milliseconds idle{60000};    // without progress while sending or waiting
    int attempts = 3;                         // connection attempts
    std::chrono::milliseconds retryPause{2000};
};

// Succeeds when the printer closed its side after the whole job. Else fails (path: "host:port")
// with FileMissing/SourceUnreadable for the file, PrinterRefused when no attempt got a connection
// (err: why), PrinterTimeout when the printer stopped taking bytes or never closed, DeliveryFailed
// when the connection broke off while sending (err).
Result<void> SendToPrinter(const std::filesystem::path& file, const std::string& host,
                           std::uint16_t port, const SendLimits& limits = {});

} // namespace kuvrion
