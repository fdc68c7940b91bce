// The raw print port: every connection is one job, read to its end and spooled atomically into
// the spool folder (where a watched folder takes it). The listener never writes outside that
// folder, names the files itself (never after anything a client sends), and bounds what a client
// may do: the job's size, the time it may stay silent, the number of connections at once, and the
// addresses that may connect at all. A job that breaks a bound is discarded whole.
#pragma once

#include "base/Result.h"

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace kuvrion {

struct ListenOptions {
    std::string bind = "127.0.0.1";
    std::uint16_t port = 9100; // 0: a free port chosen by the system (Port() tells it)
    // Networks that may connect ("192.168.10.0/24", "10.1.2.3", "fd00::/8"); empty: this
    // computer only (loopback).
    std::vector<std::string> allow;
    std::filesystem::path spool;
    std::int64_t maxBytes = std::int64_t(2) << 30;
    std::chrono::milliseconds idle{60000};
    int maxConnections = 32;
};

// What happened to one connection, for the log.
struct PortEvent {
    enum class Kind {
        Spooled,    // a job was spooled (file, bytes)
        NotAllowed, // the client's address is outside the allow list; closed at once
        TooMany,    // the connection limit was reached; closed at once
        TooLarge,   // the job grew past maxBytes; discarded
        Idle,       // the client sent nothing for `idle`; its partial job discarded
        Broken,     // the connection broke off before its end; the partial job discarded (err)
        Empty,      // the client closed without sending a byte
        SpoolFailed // the job could not be written into the spool folder (err)
    };
    Kind kind;
    std::string peer; // the client's address and port
    std::int64_t bytes = 0;
    std::string file; // Spooled: the file's name in the spool folder
    int err = 0;
};

class PrintPortListener {
public:
    using Log = std::function<void(const PortEvent&)>;

    PrintPortListener(ListenOptions options, Log log);
    ~PrintPortListener();
    PrintPortListener(const PrintPortListener&) = delete;
    PrintPortListener& operator=(const PrintPortListener&) = delete;

    // Checks the options and binds. Fails with TargetFolderMissing (path) for a missing spool
    // folder, AllowList (detail) for an entry of the allow list that is no address or network,
    // ListenFailed (detail "address:port", err) when the port cannot be opened.
    Result<void> Open();
    // The port it listens on, after Open().
    std::uint16_t Port() const;
    // Serves until `stop` returns true (asked a few times a second); open connections are then
    // closed and their partial jobs discarded.
    void Run(const std::function<bool()>& stop);

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

} // namespace kuvrion
