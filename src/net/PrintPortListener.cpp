#include "net/PrintPortListener.h"

#include "base/AtomicFile.h"
#include "base/Platform.h"
#include "net/NetErrors.h"

#include <asio/io_context.hpp>
#include <asio/ip/address.hpp>
#include <asio/ip/tcp.hpp>
#include <asio/steady_timer.hpp>

#include <array>
#include <cerrno>
#include <charconv>
#include <ctime>

namespace fs = std::filesystem;

namespace kuvrion {

namespace {

using asio::ip::tcp;

// An address and how many of its leading bits a client's address must share with it.
struct Network {
    asio::ip::address address;
    unsigned prefix;

    bool Contains(asio::ip::address peer) const
    {
        if (peer.is_v6() && peer.to_v6().is_v4_mapped()) {
            peer = asio::ip::make_address_v4(asio::ip::v4_mapped, peer.to_v6());
        }
        if (peer.is_v4() != address.is_v4()) {
            return false;
        }
        std::array<unsigned char, 16> a{}, b{};
        std::size_t n = 0;
        if (peer.is_v4()) {
            const auto pa = peer.to_v4().to_bytes(), na = address.to_v4().to_bytes();
            std::copy(pa.begin(), pa.end(), a.begin());
            std::copy(na.begin(), na.end(), b.begin());
            n = 4;
        } else {
            a = peer.to_v6().to_bytes();
            b = address.to_v6().to_bytes();
            n = 16;
        }
        for (unsigned bit = 0; bit < prefix && bit < n * 8; ++bit) {
            const unsigned mask = 0x80u >> (bit % 8);
            if ((a[bit / 8] & mask) != (b[bit / 8] & mask)) {
                return false;
            }
        }
        return true;
    }
};

std::optional<Network> ParseNetwork(const std::string& text)
{
    const std::size_t slash = text.find('/');
    std::error_code ec;
    const auto address = asio::ip::make_address(text.substr(0, slash), ec);
    if (ec) {
        return std::nullopt;
    }
    const unsigned bits = address.is_v4() ? 32 : 128;
    unsigned prefix = bits;
    if (slash != std::string::npos) {
        const char* first = text.data() + slash + 1;
        const char* last = text.data() + text.size();
        const auto [end, err] = std::from_chars(first, last, prefix);
        if (err != std::errc() || end != last || first == last || prefix > bits) {
            return std::nullopt;
        }
    }
    return Network{address, prefix};
}

std::string PeerText(const tcp::endpoint& peer)
{
    const std::string address = peer.address().to_string();
    return (peer.address().is_v6() ? "[" + address + "]" : address) + ":" +
           std::to_string(peer.port());
}

} // namespace

struct PrintPortListener::Impl {
    // One client: its job is read into an atomic file in the spool folder, committed at its end.
    struct Connection : std::enable_shared_from_this<Connection> {
        Connection(Impl& owner, tcp::socket s, std::string p)
            : impl(owner), socket(std::move(s)), timer(owner.io), peer(std::move(p))
        {
        }

        void Start(const fs::path& target)
        {
            name = PathToUtf8(target.filename());
            if (auto opened = file.Open(target); !opened) {
                End(PortEvent::Kind::SpoolFailed, opened.error().err);
                return;
            }
            Read();
        }

        void Read()
        {
            timer.expires_after(impl.opt.idle);
            timer.async_wait([self = shared_from_this()](const std::error_code& ec) {
                if (!ec && !self->ended) {
                    self->End(PortEvent::Kind::Idle, 0);
                }
            });
            socket.async_read_some(asio::buffer(buffer), [self = shared_from_this()](
                                                             const std::error_code& ec,
                                                             std::size_t n) { self->Got(ec, n); });
        }

        void Got(const std::error_code& ec, std::size_t n)
        {
            if (ended) {
                return;
            }
            bytes += static_cast<std::int64_t>(n);
            if (bytes > impl.opt.maxBytes) {
                End(PortEvent::Kind::TooLarge, 0);
                return;
            }
            if (auto written =
                    n > 0 ? file.Write(std::string_view(buffer.data(), n)) : Result<void>();
                !written) {
                End(PortEvent::Kind::SpoolFailed, written.error().err);
                return;
            }
            if (ec == asio::error::eof) {
                if (bytes == 0) {
                    End(PortEvent::Kind::Empty, 0);
                } else if (auto committed = file.Commit(); !committed) {
                    End(PortEvent::Kind::SpoolFailed, committed.error().err);
                } else {
                    End(PortEvent::Kind::Spooled, 0);
                }
                return;
            }
            if (ec) {
                End(PortEvent::Kind::Broken, ErrnoOfSocketError(ec));
                return;
            }
            Read();
        }

        // Discards an uncommitted job, closes, and tells the log.
        void End(PortEvent::Kind kind, int err)
        {
            if (ended) {
                return;
            }
            ended = true;
            file.Discard();
            std::error_code ignored;
            timer.cancel();
            socket.close(ignored);
            --impl.active;
            impl.log(
                PortEvent{kind, peer, bytes, kind == PortEvent::Kind::Spooled ? name : "", err});
        }

        Impl& impl;
        tcp::socket socket;
        asio::steady_timer timer;
        std::string peer;
        std::string name;
        AtomicFile file;
        std::array<char, 1 << 16> buffer;
        std::int64_t bytes = 0;
        bool ended = false;
    };

    Impl(ListenOptions o, Log l) : opt(std::move(o)), log(std::move(l)), acceptor(io) {}

    void Accept()
    {
        acceptor.async_accept([this](const std::error_code& ec, tcp::socket socket) {
            if (ec == asio::error::operation_aborted || !acceptor.is_open()) {
                return;
            }
            if (!ec) {
                Admit(std::move(socket));
            }
            Accept();
        });
    }

    void Admit(tcp::socket socket)
    {
        std::error_code ec;
        const tcp::endpoint remote = socket.remote_endpoint(ec);
        if (ec) {
            return; // gone already
        }
        const std::string peer = PeerText(remote);
        bool allowed = false;
        for (const Network& n : allow) {
            allowed = allowed || n.Contains(remote.address());
        }
        if (!allowed || active >= opt.maxConnections) {
            socket.close(ec);
            log(PortEvent{
                allowed ? PortEvent::Kind::TooMany : PortEvent::Kind::NotAllowed, peer, 0, {}, 0});
            return;
        }
        ++active;
        auto connection = std::make_shared<Connection>(*this, std::move(socket), peer);
        connections.push_back(connection);
        connection->Start(opt.spool / PathFromUtf8(NextName()));
    }

    // "port-20261207-014839-4242-17.pcl": time, process and a counter; nothing from the client.
    std::string NextName()
    {
        const std::time_t now = std::time(nullptr);
        char stamp[32] = "00000000-000000";
        if (const auto tm = LocalTime(now)) {
            std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &*tm);
        }
        return "port-" + std::string(stamp) + "-" + std::to_string(ProcessId()) + "-" +
               std::to_string(++counter) + ".pcl";
    }

    ListenOptions opt;
    Log log;
    asio::io_context io;
    tcp::acceptor acceptor;
    std::vector<Network> allow;
    std::vector<std::weak_ptr<Connection>> connections;
    int active = 0;
    std::uint64_t counter = 0;
};

PrintPortListener::PrintPortListener(ListenOptions options, Log log)
    : m_impl(std::make_unique<Impl>(std::move(options), std::move(log)))
{
}

PrintPortListener::~PrintPortListener() = default;

Result<void> PrintPortListener::Open()
{
    Impl& d = *m_impl;
    std::error_code ec;
    if (!fs::is_directory(d.opt.spool, ec)) {
        return Failure{FailureKind::TargetFolderMissing, ENOENT, 0, PathToUtf8(d.opt.spool)};
    }
    const std::vector<std::string> allow =
        d.opt.allow.empty() ? std::vector<std::string>{"127.0.0.0/8", "::1"} : d.opt.allow;
    for (const std::string& entry : allow) {
        const auto network = ParseNetwork(entry);
        if (!network) {
            return Failure{FailureKind::AllowList, EINVAL, 0, {}, entry};
        }
        d.allow.push_back(*network);
    }
    const std::string where = d.opt.bind + ":" + std::to_string(d.opt.port);
    const auto address = asio::ip::make_address(d.opt.bind, ec);
    if (ec) {
        return Failure{FailureKind::ListenFailed, EADDRNOTAVAIL, 0, {}, where};
    }
    const tcp::endpoint endpoint(address, d.opt.port);
    d.acceptor.open(endpoint.protocol(), ec);
    if (!ec) {
        d.acceptor.set_option(tcp::acceptor::reuse_address(true), ec);
        d.acceptor.bind(endpoint, ec);
    }
    if (!ec) {
        d.acceptor.listen(asio::socket_base::max_listen_connections, ec);
    }
    if (ec) {
        std::error_code ignored;
        d.acceptor.close(ignored);
        return Failure{FailureKind::ListenFailed, ErrnoOfSocketError(ec), 0, {}, where};
    }
    return {};
}

std::uint16_t PrintPortListener::Port() const
{
    std::error_code ec;
    const auto endpoint = m_impl->acceptor.local_endpoint(ec);
    return ec ? 0 : endpoint.port();
}

void PrintPortListener::Run(const std::function<bool()>& stop)
{
    Impl& d = *m_impl;
    d.Accept();
    while (!stop()) {
        d.io.run_for(std::chrono::milliseconds(100));
        if (d.io.stopped()) {
            d.io.restart();
        }
        std::erase_if(d.connections, [](const auto& c) { return c.expired(); });
    }
    std::error_code ignored;
    d.acceptor.close(ignored);
    for (const auto& weak : d.connections) {
        if (const auto c = weak.lock()) {
            c->End(PortEvent::Kind::Broken, EINTR);
        }
    }
    d.io.restart();
    d.io.poll();
}

} // namespace kuvrion
