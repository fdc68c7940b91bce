#include "net/PrinterSocket.h"

#include "base/Platform.h"
#include "net/NetErrors.h"

#include <asio/connect.hpp>
#include <asio/io_context.hpp>
#include <asio/ip/tcp.hpp>
#include <asio/write.hpp>

#include <cerrno>
#include <memory>
#include <thread>

namespace kuvrion {

namespace {

using asio::ip::tcp;

// Runs the one pending operation of `io` until it completes or `limit` passes; then it is
// cancelled by closing the socket. False when it timed out.
bool RunFor(asio::io_context& io, tcp::socket& socket, const bool& done,
            std::chrono::milliseconds limit)
{
    io.restart();
    io.run_for(limit);
    if (done) {
        return true;
    }
    // Cancelled explicitly before the close: on Windows closing a socket alone does not always
    // complete its pending operation, and the run below would wait for it for ever.
    std::error_code ignored;
    socket.cancel(ignored);
    socket.close(ignored);
    io.restart();
    io.run(); // the cancelled operation's handler
    return false;
}

} // namespace

Result<void> SendToPrinter(const std::filesystem::path& file, const std::string& host,
                           std::uint16_t port, const SendLimits& limits)
{
    const std::string where = host + ":" + std::to_string(port);
    const auto opened = OpenInputFile(file);
    if (!opened) {
        const int err = opened.error().err;
        return Failure{err == ENOENT ? FailureKind::FileMissing : FailureKind::SourceUnreadable,
                       err, 0, PathToUtf8(file)};
    }
    const std::unique_ptr<InputFile>& input = *opened;

    asio::io_context io;
    tcp::socket socket(io);
    std::error_code ec;
    bool timedOut = false;
    for (int attempt = 0; attempt < limits.attempts; ++attempt) {
        if (attempt > 0) {
            std::this_thread::sleep_for(limits.retryPause);
        }
        tcp::resolver resolver(io);
        const auto endpoints = resolver.resolve(host, std::to_string(port), ec);
        if (ec) {
            continue;
        }
        bool done = false;
        asio::async_connect(socket, endpoints, [&](const std::error_code& e, const tcp::endpoint&) {
            ec = e;
            done = true;
        });
        timedOut = !RunFor(io, socket, done, limits.connect);
        if (!timedOut && !ec) {
            break;
        }
        std::error_code ignored;
        socket.close(ignored);
        if (timedOut) {
            ec = asio::error::timed_out;
        }
    }
    if (!socket.is_open()) {
        return Failure{timedOut ? FailureKind::PrinterTimeout : FailureKind::PrinterRefused,
                       ErrnoOfSocketError(ec), 0, where};
    }

    // From here on bytes may have reached the printer: no retry.
    constexpr std::int64_t kChunk = 1 << 16;
    std::string buf(kChunk, '\0');
    for (std::int64_t at = 0;;) {
        const auto read = input->ReadAt(at, buf.data(), kChunk);
        if (!read) {
            return Failure{FailureKind::SourceUnreadable, read.error().err, 0, PathToUtf8(file)};
        }
        const std::int64_t got = *read;
        if (got == 0) {
            break;
        }
        bool done = false;
        asio::async_write(socket, asio::buffer(buf.data(), static_cast<std::size_t>(got)),
                          [&](const std::error_code& e, std::size_t) {
                              ec = e;
                              done = true;
                          });
        if (!RunFor(io, socket, done, limits.idle)) {
            return Failure{FailureKind::PrinterTimeout, ETIMEDOUT, 0, where};
        }
        if (ec) {
            return Failure{FailureKind::DeliveryFailed, ErrnoOfSocketError(ec), 0, where};
        }
        at += got;
    }
    socket.shutdown(tcp::socket::shutdown_send, ec);
    if (ec) {
        return Failure{FailureKind::DeliveryFailed, ErrnoOfSocketError(ec), 0, where};
    }
    // The printer may answer with status bytes; it closes once it has the whole job.
    char answer[512];
    for (;;) {
        bool done = false;
        socket.async_read_some(asio::buffer(answer), [&](const std::error_code& e, std::size_t) {
            ec = e;
            done = true;
        });
        if (!RunFor(io, socket, done, limits.idle)) {
            return Failure{FailureKind::PrinterTimeout, ETIMEDOUT, 0, where};
        }
        if (ec == asio::error::eof) {
            return {};
        }
        if (ec) {
            return Failure{FailureKind::DeliveryFailed, ErrnoOfSocketError(ec), 0, where};
        }
    }
}

} // namespace kuvrion
