// SPDX-License-Identifier: GPL-3.0-or-later
#include "scpi/scpi_server.h"

#include <array>
#include <asio/buffer.hpp>
#include <asio/io_context.hpp>
#include <asio/ip/tcp.hpp>
#include <asio/post.hpp>
#include <asio/steady_timer.hpp>
#include <asio/write.hpp>
#include <charconv>
#include <chrono>
#include <map>

#include "scpi/serve_log.h"

namespace evm::scpi {

using asio::ip::tcp;
using std::chrono::milliseconds;

namespace {

constexpr size_t kChunk = size_t{16} * 1024;
// As often as the clock's own waits look at the stop flag.
constexpr milliseconds kStopPoll{50};
constexpr milliseconds kExpirePeriod{1000};
// Out of file descriptors: accepting waits this long, rather than trying
// again at once and for ever.
constexpr milliseconds kAcceptPause{250};
// Connections taken from the backlog in one go: as many as may be served.
constexpr int kAcceptBurst = 128;

bool IsLoopback(const asio::ip::address& a) {
  if (a.is_v4()) return (a.to_v4().to_uint() >> 24) == 127;
  return a.is_v6() && a.to_v6().is_loopback();
}

std::string PeerText(const tcp::endpoint& e) {
  const asio::ip::address a = e.address();
  const std::string port = std::to_string(e.port());
  return a.is_v6() ? "[" + a.to_string() + "]:" + port : a.to_string() + ":" + port;
}

tcp::resolver::results_type Resolve(asio::io_context& io, const std::string& host, uint16_t port,
                                    asio::error_code& ec) {
  tcp::resolver resolver(io);
  return resolver.resolve(host, std::to_string(port), tcp::resolver::passive, ec);
}

struct Connection {
  explicit Connection(tcp::socket s) : socket(std::move(s)) {}
  tcp::socket socket;
  ScpiClients::Id id = 0;
  std::array<char, kChunk> buffer{};
  std::string sending;
  bool reading = false;
  bool writing = false;
  bool closed = false;
};
using ConnectionPtr = std::shared_ptr<Connection>;

}  // namespace

bool ParseListenAddress(const std::string& text, ListenAddress& address) {
  std::string host = text;
  std::string port;
  if (!text.empty() && text[0] == '[') {
    const size_t close = text.find(']');
    if (close == std::string::npos) return false;
    host = text.substr(1, close - 1);
    const std::string rest = text.substr(close + 1);
    if (!rest.empty()) {
      if (rest[0] != ':') return false;
      port = rest.substr(1);
      if (port.empty()) return false;
    }
  } else if (const size_t colon = text.rfind(':'); colon != std::string::npos) {
    if (text.find(':') != colon) return false;  // an IPv6 address needs its brackets
    host = text.substr(0, colon);
    port = text.substr(colon + 1);
    if (port.empty()) return false;
  }
  address.host = host.empty() ? "127.0.0.1" : host;
  address.port = 5025;
  if (!port.empty()) {
    unsigned v = 0;
    const auto res = std::from_chars(port.data(), port.data() + port.size(), v);
    if (res.ec != std::errc() || res.ptr != port.data() + port.size() || v > 65535) return false;
    address.port = static_cast<uint16_t>(v);
  }
  return true;
}

HostReach CheckListenHost(const std::string& host, std::string& why) {
  asio::io_context io;
  asio::error_code ec;
  const auto found = Resolve(io, host, 0, ec);
  if (ec || found.empty()) {
    why = ec ? ec.message() : "no address";
    return HostReach::Unresolved;
  }
  for (const auto& entry : found) {
    if (!IsLoopback(entry.endpoint().address())) return HostReach::Remote;
  }
  return HostReach::Loopback;
}

struct ScpiServer::Impl {
  Impl(ScpiInstrument& instrument, std::ostream& logStream, Clock& clock, const ServeLimits& limits)
      : log(logStream),
        clients(instrument, clock, limits, [this](const std::string& line) { log.Line(line); }),
        acceptor(io),
        acceptPause(io),
        expireTimer(io),
        stopTimer(io) {}

  void Accept() {
    acceptor.async_accept([this](const asio::error_code& ec, tcp::socket socket) {
      if (stopped) return;
      if (!ec) {
        outOfDescriptors = false;
        Admit(std::move(socket));
        // The rest of the backlog now, not one connection per line run.
        asio::error_code again;
        for (int n = 1; n < kAcceptBurst && !again; ++n) {
          tcp::socket next(io);
          acceptor.accept(next, again);  // the acceptor does not block
          if (!again) Admit(std::move(next));
        }
        Accept();
        return;
      }
      if (ec == asio::error::operation_aborted) return;
      if (ec == asio::error::connection_aborted) {
        Accept();
        return;
      }
      // Out of descriptors (or another failure that would repeat at once):
      // the backlog keeps the callers until some close.
      if (!outOfDescriptors) {
        log.Line("cannot accept a connection (" + ec.message() + "): waiting for clients to leave");
        outOfDescriptors = true;
      }
      acceptPause.expires_after(kAcceptPause);
      acceptPause.async_wait([this](const asio::error_code& e) {
        if (!e && !stopped) Accept();
      });
    });
  }

  void Admit(tcp::socket socket) {
    asio::error_code ec;
    const tcp::endpoint peerEnd = socket.remote_endpoint(ec);
    if (ec) return;  // gone before it was taken
    const std::string peer = PeerText(peerEnd);
    const ScpiClients::Id id = clients.Open(peer);
    if (!id) {
      Refuse(socket, peer);
      return;
    }
    socket.set_option(tcp::no_delay(true), ec);
    auto c = std::make_shared<Connection>(std::move(socket));
    c->id = id;
    connections.emplace(id, c);
    log.Line("connection from " + peer);
    Read(c);
  }

  void Refuse(tcp::socket& socket, const std::string& peer) {
    const std::string limit = std::to_string(clients.Limits().maxClients);
    const std::string text =
        "refused: the server already has " + limit + " clients; try again later\n";
    asio::error_code ec;
    socket.non_blocking(true, ec);
    socket.write_some(asio::buffer(text), ec);
    socket.shutdown(tcp::socket::shutdown_send, ec);
    // What it sent already is read, so the close is not a reset that
    // would destroy the refusal before the client reads it.
    std::array<char, 4096> discard{};
    socket.read_some(asio::buffer(discard), ec);
    socket.close(ec);
    log.Line("refused " + peer + ": " + limit + " clients are connected");
  }

  void Read(const ConnectionPtr& c) {
    if (c->reading || c->closed || !clients.Readable(c->id)) return;
    c->reading = true;
    c->socket.async_read_some(asio::buffer(c->buffer),
                              [this, c](const asio::error_code& ec, size_t n) {
                                c->reading = false;
                                if (c->closed) return;
                                if (ec == asio::error::eof) {
                                  clients.EndOfInput(c->id);
                                } else if (ec) {
                                  clients.Broken(c->id);
                                } else {
                                  clients.Receive(c->id, std::string_view(c->buffer.data(), n));
                                  Read(c);
                                }
                                AfterEvent();
                              });
  }

  void Write(const ConnectionPtr& c) {
    if (c->writing || c->closed) return;
    c->sending = clients.TakeUnsent(c->id);
    if (c->sending.empty()) return;
    c->writing = true;
    asio::async_write(c->socket, asio::buffer(c->sending),
                      [this, c](const asio::error_code& ec, size_t n) {
                        c->writing = false;
                        std::string().swap(c->sending);
                        if (c->closed) return;
                        if (ec) {
                          clients.Broken(c->id);
                        } else {
                          clients.Sent(c->id, n);
                          Write(c);
                          Read(c);  // its lines may have room again
                        }
                        AfterEvent();
                      });
  }

  void Close(ScpiClients::Id id) {
    const auto it = connections.find(id);
    if (it == connections.end()) return;
    const ConnectionPtr c = it->second;
    connections.erase(it);
    c->closed = true;
    asio::error_code ec;
    c->socket.shutdown(tcp::socket::shutdown_both, ec);
    c->socket.close(ec);
  }

  // After every socket event and every line: close who is done, and give
  // the next line its turn behind whatever I/O is ready by then.
  void AfterEvent() {
    for (const ScpiClients::Id id : clients.TakeFinished()) Close(id);
    if (turnPosted || stopped || !clients.Busy()) return;
    turnPosted = true;
    asio::post(io, [this] {
      turnPosted = false;
      if (stopped) return;
      clients.Turn();
      for (auto& [id, c] : connections) {
        Write(c);
        Read(c);
      }
      AfterEvent();
    });
  }

  void Expire() {
    expireTimer.expires_after(kExpirePeriod);
    expireTimer.async_wait([this](const asio::error_code& ec) {
      if (ec || stopped) return;
      for (const ScpiClients::Id id : clients.Expire()) Close(id);
      AfterEvent();
      Expire();
    });
  }

  void WatchStop(const std::atomic<bool>& stop) {
    stopTimer.expires_after(kStopPoll);
    stopTimer.async_wait([this, &stop](const asio::error_code& ec) {
      if (ec) return;
      if (stop.load()) {
        Shutdown();
        return;
      }
      WatchStop(stop);
    });
  }

  void Shutdown() {
    stopped = true;
    asio::error_code ec;
    acceptor.close(ec);
    acceptPause.cancel();
    expireTimer.cancel();
    stopTimer.cancel();
    while (!connections.empty()) Close(connections.begin()->first);
    io.stop();
  }

  asio::io_context io{1};
  ServeLog log;
  ScpiClients clients;
  tcp::acceptor acceptor;
  asio::steady_timer acceptPause;
  asio::steady_timer expireTimer;
  asio::steady_timer stopTimer;
  std::map<ScpiClients::Id, ConnectionPtr> connections;
  uint16_t port = 0;
  bool turnPosted = false;
  bool stopped = false;
  bool outOfDescriptors = false;
};

ScpiServer::ScpiServer(ScpiInstrument& instrument, std::ostream& log, Clock& clock,
                       const ServeLimits& limits)
    : impl_(std::make_unique<Impl>(instrument, log, clock, limits)) {}

ScpiServer::~ScpiServer() = default;

void ScpiServer::Listen(const ListenAddress& address) {
  asio::error_code ec;
  const auto found = Resolve(impl_->io, address.host, address.port, ec);
  if (ec) throw ServeError("cannot resolve '" + address.host + "': " + ec.message());
  std::string why = "no address";
  for (const auto& entry : found) {
    tcp::acceptor acceptor(impl_->io);
    const tcp::endpoint at = entry.endpoint();
    acceptor.open(at.protocol(), ec);
#ifndef _WIN32
    // On Windows the same option would let another program take the port.
    if (!ec) acceptor.set_option(tcp::acceptor::reuse_address(true), ec);
#endif
    if (!ec) acceptor.bind(at, ec);
    if (!ec) acceptor.listen(asio::socket_base::max_listen_connections, ec);
    if (ec) {
      why = ec.message();
      continue;
    }
    acceptor.non_blocking(true, ec);
    impl_->port = acceptor.local_endpoint(ec).port();
    impl_->acceptor = std::move(acceptor);
    return;
  }
  throw ServeError("cannot listen on " + address.host + ":" + std::to_string(address.port) + ": " +
                   why);
}

uint16_t ScpiServer::Port() const {
  return impl_->port;
}

void ScpiServer::Log(std::string line) {
  impl_->log.Line(std::move(line));
}

void ScpiServer::Run(const std::atomic<bool>& stop) {
  if (!impl_->acceptor.is_open()) throw ServeError("the server listens nowhere");
  impl_->Accept();
  impl_->Expire();
  impl_->WatchStop(stop);
  impl_->io.run();
  impl_->Shutdown();
}

}  // namespace evm::scpi
