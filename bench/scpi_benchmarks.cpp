// SPDX-License-Identifier: GPL-3.0-or-later
// evmctl serve on loopback: what one query costs from the client's send to
// its answer, the server's event loop, parse, tree and socket work included.
#include <benchmark/benchmark.h>

#include <atomic>
#include <cstring>
#include <sstream>
#include <string>
#include <thread>

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include "common/clock.h"
#include "scpi/scpi_instrument.h"
#include "scpi/scpi_server.h"
#include "zm5520evm/bench.h"

namespace evm::bench {
namespace {

// The server on its own thread over the simulated EVM on virtual time.
class LoopbackServer {
 public:
  LoopbackServer()
      : board(Bench::Open({.simulate = true})), instrument(*board), server(instrument, log, clock) {
    server.Listen({"127.0.0.1", 0});
    thread = std::thread([this] { server.Run(stop); });
    fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(server.Port());
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    connected = connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
    const int one = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
  }
  ~LoopbackServer() {
    close(fd);
    stop = true;
    thread.join();
  }
  // One line out, its answer back.
  bool Query(const std::string& line) {
    if (send(fd, line.data(), line.size(), 0) != static_cast<ssize_t>(line.size())) return false;
    char buf[256];
    for (;;) {
      const ssize_t n = recv(fd, buf, sizeof buf, 0);
      if (n <= 0) return false;
      if (std::memchr(buf, '\n', static_cast<size_t>(n))) return true;
    }
  }

  std::ostringstream log;
  SystemClock clock;
  std::unique_ptr<Bench> board;
  scpi::ScpiInstrument instrument;
  scpi::ScpiServer server;
  std::atomic<bool> stop{false};
  std::thread thread;
  int fd = -1;
  bool connected = false;
};

void BM_ScpiQueryLoopback(benchmark::State& state, const char* line) {
  LoopbackServer s;
  if (!s.connected || !s.Query(line)) {
    state.SkipWithError("no loopback server");
    return;
  }
  for (auto _ : state) {
    if (!s.Query(line)) state.SkipWithError("the server did not answer");
  }
}
BENCHMARK_CAPTURE(BM_ScpiQueryLoopback, idn, "*IDN?\n")->UseRealTime();
BENCHMARK_CAPTURE(BM_ScpiQueryLoopback, reg_read, "REG:READ? 2\n")->UseRealTime();

}  // namespace
}  // namespace evm::bench
