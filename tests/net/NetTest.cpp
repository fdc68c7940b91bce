// The raw print port from both sides, over loopback: sending to printers that take the job,
// refuse, close early or never answer; and the listener with several clients and its limits.
#include "net/PrintPortListener.h"
#include "net/PrinterSocket.h"

#include "support/TempDir.h"
#include "support/WaitFor.h"

#include <asio/connect.hpp>
#include <asio/io_context.hpp>
#include <asio/ip/tcp.hpp>
#include <asio/read.hpp>
#include <asio/write.hpp>

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <set>
#include <thread>

namespace fs = std::filesystem;
using asio::ip::tcp;
using namespace std::chrono_literals;

namespace kuvrion {
namespace {

using kuvrion::test::WaitFor;

// A printer on a loopback port that serves one connection as `serve` says.
class Sink {
public:
    enum class Mode { TakeAll, CloseEarly, NeverClose };

    explicit Sink(Mode mode)
        : m_acceptor(m_io, tcp::endpoint(asio::ip::make_address("127.0.0.1"), 0))
    {
        m_thread = std::thread([this, mode] {
            std::error_code ec;
            tcp::socket s = m_acceptor.accept(ec);
            if (ec)
                return;
            char buf[4096];
            if (mode == Mode::CloseEarly) {
                asio::read(s, asio::buffer(buf, 1), ec);
                s.close(ec); // unread bytes make this a reset
                return;
            }
            for (std::size_t n; (n = s.read_some(asio::buffer(buf), ec)) > 0 || !ec;)
                received.append(buf, n);
            if (mode == Mode::NeverClose)
                WaitFor([this] { return m_release.load(); });
        });
    }
    ~Sink() { Join(); }
    std::uint16_t Port() const { return m_acceptor.local_endpoint().port(); }
    // Ends the sink; what it received.
    std::string Join()
    {
        m_release = true;
        if (m_thread.joinable())
            m_thread.join();
        return received;
    }

private:
    std::string received;
    asio::io_context m_io;
    tcp::acceptor m_acceptor;
    std::atomic<bool> m_release = false;
    std::thread m_thread;
};

TEST(PrinterSocket, OnlyAPrinterThatClosedAfterTheWholeJobIsASuccess)
{
    test::TempDir dir;
    std::string job(4 << 20, 'x');
    for (std::size_t i = 0; i < job.size(); i += 997)
        job[i] = static_cast<char>(i);
    const fs::path file = dir.Write("job.pcl", job);
    SendLimits quick;
    quick.attempts = 2;
    quick.retryPause = 10ms;
    quick.idle = 500ms;

    {
        Sink sink(Sink::Mode::TakeAll);
        EXPECT_TRUE(SendToPrinter(file, "127.0.0.1", sink.Port(), quick));
        const std::string got = sink.Join();
        EXPECT_TRUE(got == job) << got.size();
    }

    std::uint16_t closedPort = 0;
    {
        asio::io_context io;
        tcp::acceptor a(io, tcp::endpoint(asio::ip::make_address("127.0.0.1"), 0));
        closedPort = a.local_endpoint().port();
    }
    const Result<void> refused = SendToPrinter(file, "127.0.0.1", closedPort, quick);
    ASSERT_FALSE(refused);
    EXPECT_EQ(refused.error().what, FailureKind::PrinterRefused);
    EXPECT_EQ(refused.error().err, ECONNREFUSED);
    EXPECT_EQ(refused.error().path, "127.0.0.1:" + std::to_string(closedPort));

    {
        Sink sink(Sink::Mode::CloseEarly);
        const auto early = SendToPrinter(file, "127.0.0.1", sink.Port(), quick);
        ASSERT_FALSE(early);
        EXPECT_EQ(early.error().what, FailureKind::DeliveryFailed);
    }
    {
        Sink sink(Sink::Mode::NeverClose);
        const auto silent = SendToPrinter(file, "127.0.0.1", sink.Port(), quick);
        ASSERT_FALSE(silent);
        EXPECT_EQ(silent.error().what, FailureKind::PrinterTimeout);
    }
    EXPECT_EQ(SendToPrinter(dir / "missing", "127.0.0.1", closedPort, quick).error().what,
              FailureKind::FileMissing);
}

// A listener in a thread of its own, with small limits.
class Port {
public:
    explicit Port(ListenOptions options)
        : m_listener(std::move(options), [this](const PortEvent& e) {
              const std::lock_guard lock(m_mutex);
              m_events.push_back(e);
          })
    {
        opened = m_listener.Open();
        if (opened)
            m_thread = std::thread([this] { m_listener.Run([this] { return m_stop.load(); }); });
    }
    ~Port()
    {
        m_stop = true;
        if (m_thread.joinable())
            m_thread.join();
    }
    std::uint16_t Number() const { return m_listener.Port(); }
    std::vector<PortEvent> Events()
    {
        const std::lock_guard lock(m_mutex);
        return m_events;
    }
    std::size_t Count(PortEvent::Kind kind)
    {
        std::size_t n = 0;
        for (const PortEvent& e : Events())
            n += e.kind == kind;
        return n;
    }

    Result<void> opened;

private:
    std::mutex m_mutex;
    std::vector<PortEvent> m_events;
    std::atomic<bool> m_stop = false;
    PrintPortListener m_listener;
    std::thread m_thread;
};

tcp::socket Connect(asio::io_context& io, std::uint16_t port)
{
    tcp::socket s(io);
    s.connect(tcp::endpoint(asio::ip::make_address("127.0.0.1"), port));
    return s;
}

TEST(PrintPortListener, SpoolsEveryJobWholeAndDiscardsWhatBreaksALimit)
{
    test::TempDir dir;
    ListenOptions options;
    options.port = 0;
    options.spool = dir.Path();
    options.maxBytes = 100000;
    options.idle = 300ms;
    options.maxConnections = 4;
    Port port(options);
    ASSERT_TRUE(port.opened);
    asio::io_context io;

    // Three clients at once, their bytes interleaved.
    std::vector<tcp::socket> clients;
    for (int i = 0; i < 3; ++i)
        clients.push_back(Connect(io, port.Number()));
    for (int round = 0; round < 10; ++round)
        for (std::size_t i = 0; i < clients.size(); ++i)
            asio::write(clients[i], asio::buffer(std::string(1000, char('a' + i))));
    for (tcp::socket& c : clients)
        c.shutdown(tcp::socket::shutdown_send);
    ASSERT_TRUE(WaitFor([&] { return port.Count(PortEvent::Kind::Spooled) == 3; }));
    std::set<std::string> contents;
    for (const auto& entry : fs::directory_iterator(dir.Path()))
        contents.insert(test::ReadFile(entry.path()));
    EXPECT_EQ(contents, (std::set<std::string>{std::string(10000, 'a'), std::string(10000, 'b'),
                                               std::string(10000, 'c')}));
    clients.clear();

    // Too large, silent, an empty connection, and one over the limit of four at once.
    tcp::socket large = Connect(io, port.Number());
    std::error_code ec;
    asio::write(large, asio::buffer(std::string(200000, 'x')), ec);
    tcp::socket silent = Connect(io, port.Number());
    asio::write(silent, asio::buffer(std::string(10, 'y')));
    {
        Connect(io, port.Number());
    } // closed at once
    ASSERT_TRUE(WaitFor([&] {
        return port.Count(PortEvent::Kind::TooLarge) == 1 &&
               port.Count(PortEvent::Kind::Idle) == 1 && port.Count(PortEvent::Kind::Empty) == 1;
    }));
    // A hundred at once: four are let in, the rest closed at once; the port serves on.
    std::vector<tcp::socket> held;
    for (int i = 0; i < 100; ++i)
        held.push_back(Connect(io, port.Number()));
    EXPECT_TRUE(WaitFor([&] { return port.Count(PortEvent::Kind::TooMany) == 96; }));
    held.clear(); // the four that were let in end without a byte; their spool files go
    EXPECT_TRUE(WaitFor([&] { return port.Count(PortEvent::Kind::Empty) == 5; }));
    tcp::socket after = Connect(io, port.Number());
    asio::write(after, asio::buffer(std::string("\x1b"
                                                "E")));
    after.shutdown(tcp::socket::shutdown_send);
    EXPECT_TRUE(WaitFor([&] { return port.Count(PortEvent::Kind::Spooled) == 4; }));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.Path()), fs::directory_iterator()), 4);

    // A client outside the allow list is refused before it sends a byte.
    options.allow = {"10.0.0.0/8", "fd00::/8"};
    Port strict(options);
    ASSERT_TRUE(strict.opened);
    tcp::socket outside = Connect(io, strict.Number());
    EXPECT_TRUE(WaitFor([&] { return strict.Count(PortEvent::Kind::NotAllowed) == 1; }));

    options.allow = {"10.0.0.0/33"};
    EXPECT_EQ(Port(options).opened.error().what, FailureKind::AllowList);
    options.allow = {};
    options.spool = dir / "missing";
    EXPECT_EQ(Port(options).opened.error().what, FailureKind::TargetFolderMissing);
}

} // namespace
} // namespace kuvrion
