// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/scpi_server.h"

#include <charconv>

#ifndef _WIN32
#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <deque>
#include <list>
#endif

namespace evm::cli {

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

#ifdef _WIN32

struct ScpiServer::Impl {};

bool IsLoopbackHost(const std::string&) {
  return false;
}
ScpiServer::ScpiServer(ScpiInstrument&, std::ostream&) : impl_(std::make_unique<Impl>()) {}
ScpiServer::~ScpiServer() = default;
void ScpiServer::Listen(const ListenAddress&) {
  throw ServeError("serve is not available in this build");
}
uint16_t ScpiServer::Port() const {
  return 0;
}
void ScpiServer::Run(const std::atomic<bool>&) {}

#else

namespace {

constexpr size_t kChunk = size_t{16} * 1024;
// A client that sends faster than its lines run, or reads none of its
// answers, is not read from until it catches up.
constexpr size_t kMaxWaitingLines = 1000;
constexpr size_t kMaxUnsent = size_t{1024} * 1024;

struct AddrInfo {
  addrinfo* list = nullptr;
  ~AddrInfo() {
    if (list) freeaddrinfo(list);
  }
};

int Resolve(const std::string& host, uint16_t port, AddrInfo& out) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = AI_PASSIVE;
  const std::string service = std::to_string(port);
  return getaddrinfo(host.c_str(), service.c_str(), &hints, &out.list);
}

bool IsLoopback(const sockaddr* a) {
  if (a->sa_family == AF_INET) {
    const auto* v4 = reinterpret_cast<const sockaddr_in*>(a);
    return (ntohl(v4->sin_addr.s_addr) >> 24) == 127;
  }
  if (a->sa_family == AF_INET6) {
    const auto* v6 = reinterpret_cast<const sockaddr_in6*>(a);
    return IN6_IS_ADDR_LOOPBACK(&v6->sin6_addr);
  }
  return false;
}

std::string PeerText(const sockaddr_storage& a) {
  char host[INET6_ADDRSTRLEN] = "?";
  uint16_t port = 0;
  if (a.ss_family == AF_INET) {
    const auto* v4 = reinterpret_cast<const sockaddr_in*>(&a);
    inet_ntop(AF_INET, &v4->sin_addr, host, sizeof host);
    port = ntohs(v4->sin_port);
    return std::string(host) + ":" + std::to_string(port);
  }
  const auto* v6 = reinterpret_cast<const sockaddr_in6*>(&a);
  inet_ntop(AF_INET6, &v6->sin6_addr, host, sizeof host);
  port = ntohs(v6->sin6_port);
  return "[" + std::string(host) + "]:" + std::to_string(port);
}

void NonBlocking(int fd) {
  fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
}

struct Client {
  int fd = -1;
  uint64_t id = 0;
  std::string peer;
  std::string in;
  std::string out;
  bool discarding = false;  // inside a line past the limit, until its LF
  size_t waiting = 0;       // its lines not run yet
  bool gone = false;
  scpi::Session session;
};

struct Line {
  uint64_t client;
  std::string text;
  bool tooLong = false;  // dropped: only its error is left
};

}  // namespace

bool IsLoopbackHost(const std::string& host) {
  AddrInfo found;
  if (Resolve(host, 0, found) != 0 || !found.list) return false;
  for (const addrinfo* a = found.list; a; a = a->ai_next) {
    if (!IsLoopback(a->ai_addr)) return false;
  }
  return true;
}

struct ScpiServer::Impl {
  Impl(ScpiInstrument& i, std::ostream& l) : instrument(i), log(l) {}
  ~Impl() {
    for (Client& c : clients) close(c.fd);
    if (listenFd >= 0) close(listenFd);
  }

  void Accept() {
    sockaddr_storage peer{};
    socklen_t size = sizeof peer;
    const int fd = accept(listenFd, reinterpret_cast<sockaddr*>(&peer), &size);
    if (fd < 0) return;
    NonBlocking(fd);
    const int one = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    Client& c = clients.emplace_back();
    c.fd = fd;
    c.id = ++lastId;
    c.peer = PeerText(peer);
    log << "evmctl serve: connection from " << c.peer << std::endl;
  }

  void Drop(Client& c) {
    if (c.gone) return;
    c.gone = true;
    instrument.Forget(c.session);
    close(c.fd);
    c.fd = -1;
  }

  void Receive(Client& c) {
    char buf[kChunk];
    const ssize_t n = recv(c.fd, buf, sizeof buf, 0);
    if (n == 0 || (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)) {
      Drop(c);
      return;
    }
    if (n < 0) return;
    size_t from = 0;
    const auto size = static_cast<size_t>(n);
    while (from < size) {
      const void* lf = std::memchr(buf + from, '\n', size - from);
      const size_t end = lf ? static_cast<size_t>(static_cast<const char*>(lf) - buf) : size;
      if (!c.discarding) c.in.append(buf + from, end - from);
      if (!lf) break;
      lines.push_back({c.id, c.discarding ? std::string() : std::move(c.in), c.discarding});
      c.discarding = false;
      c.in.clear();
      ++c.waiting;
      from = end + 1;
    }
    if (c.in.size() > scpi::CommandTree::kMaxLine) {
      c.discarding = true;
      c.in.clear();
    }
  }

  void Flush(Client& c) {
    while (!c.out.empty() && !c.gone) {
      const ssize_t n = send(c.fd, c.out.data(), c.out.size(), MSG_NOSIGNAL);
      if (n < 0) {
        if (errno == EAGAIN || errno == EWOULDBLOCK) return;
        if (errno == EINTR) continue;
        Drop(c);  // gone mid-command: its answer goes with it
        return;
      }
      c.out.erase(0, static_cast<size_t>(n));
    }
  }

  Client* Find(uint64_t id) {
    for (Client& c : clients) {
      if (c.id == id && !c.gone) return &c;
    }
    return nullptr;
  }

  // One line of one client; the others wait for it.
  void RunLine(Line& line) {
    Client* c = Find(line.client);
    if (!c) return;
    --c->waiting;
    std::string answer;
    if (line.tooLong) {
      c->session.status.Report(scpi::kTooMuchData, "a line longer than " +
                                                       std::to_string(scpi::CommandTree::kMaxLine) +
                                                       " bytes was dropped");
    } else {
      answer = instrument.Execute(c->session, line.text);
    }
    // The line took the board for a while: the client may have left meanwhile.
    c = Find(line.client);
    if (!c || answer.empty()) return;
    c->out += answer;
    c->out += '\n';
    Flush(*c);
  }

  void Serve(const std::atomic<bool>& stop) {
    std::vector<pollfd> fds;
    while (!stop.load()) {
      fds.clear();
      fds.push_back({listenFd, POLLIN, 0});
      for (Client& c : clients) {
        short events = 0;
        if (c.waiting < kMaxWaitingLines && c.out.size() < kMaxUnsent) events |= POLLIN;
        if (!c.out.empty()) events |= POLLOUT;
        fds.push_back({c.fd, events, 0});
      }
      const bool busy = !lines.empty() || instrument.Monitoring();
      const int ready = poll(fds.data(), fds.size(), busy ? 0 : 100);
      if (ready < 0 && errno != EINTR)
        throw ServeError(std::string("poll: ") + std::strerror(errno));
      if (ready > 0) {
        size_t k = 1;
        for (Client& c : clients) {
          const short got = fds[k++].revents;
          if (got & (POLLIN | POLLHUP | POLLERR)) Receive(c);
          if (!c.gone && (got & POLLOUT)) Flush(c);
        }
        if (fds[0].revents & POLLIN) Accept();
      }
      clients.remove_if([](const Client& c) { return c.gone; });
      if (!lines.empty()) {
        Line line = std::move(lines.front());
        lines.pop_front();
        RunLine(line);
      } else if (instrument.Monitoring()) {
        instrument.MonitorPass();
      }
    }
    for (Client& c : clients) Drop(c);
    clients.clear();
  }

  ScpiInstrument& instrument;
  std::ostream& log;
  int listenFd = -1;
  uint16_t port = 0;
  uint64_t lastId = 0;
  std::list<Client> clients;  // a session stays where it is while others come and go
  std::deque<Line> lines;     // every client's lines, in the order they came
};

ScpiServer::ScpiServer(ScpiInstrument& instrument, std::ostream& log)
    : impl_(std::make_unique<Impl>(instrument, log)) {}
ScpiServer::~ScpiServer() = default;

void ScpiServer::Listen(const ListenAddress& address) {
  AddrInfo found;
  if (const int rc = Resolve(address.host, address.port, found); rc != 0) {
    throw ServeError("cannot resolve '" + address.host + "': " + gai_strerror(rc));
  }
  std::string why = "no address";
  for (const addrinfo* a = found.list; a; a = a->ai_next) {
    const int fd = socket(a->ai_family, a->ai_socktype, a->ai_protocol);
    if (fd < 0) {
      why = std::strerror(errno);
      continue;
    }
    const int one = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    if (bind(fd, a->ai_addr, a->ai_addrlen) != 0 || listen(fd, 16) != 0) {
      why = std::strerror(errno);
      close(fd);
      continue;
    }
    NonBlocking(fd);
    sockaddr_storage bound{};
    socklen_t size = sizeof bound;
    getsockname(fd, reinterpret_cast<sockaddr*>(&bound), &size);
    impl_->port = ntohs(bound.ss_family == AF_INET
                            ? reinterpret_cast<const sockaddr_in*>(&bound)->sin_port
                            : reinterpret_cast<const sockaddr_in6*>(&bound)->sin6_port);
    impl_->listenFd = fd;
    return;
  }
  throw ServeError("cannot listen on " + address.host + ":" + std::to_string(address.port) + ": " +
                   why);
}

uint16_t ScpiServer::Port() const {
  return impl_->port;
}

void ScpiServer::Run(const std::atomic<bool>& stop) {
  impl_->Serve(stop);
}

#endif

}  // namespace evm::cli
