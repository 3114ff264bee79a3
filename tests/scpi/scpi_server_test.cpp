// SPDX-License-Identifier: GPL-3.0-or-later
// The server on loopback, on the simulated EVM on virtual time: what only
// real sockets show. Every wait is bounded.
#include <gtest/gtest.h>

#include <algorithm>
#include <asio/connect.hpp>
#include <asio/io_context.hpp>
#include <asio/ip/tcp.hpp>
#include <asio/read_until.hpp>
#include <asio/write.hpp>
#include <chrono>
#include <sstream>
#include <thread>

#include "api/bench_access.h"
#include "common/clock.h"
#include "scpi/scpi_server.h"
#include "support/temp_dir.h"

namespace evm::test {
namespace {

using asio::ip::tcp;
using namespace std::chrono_literals;

struct Server {
  explicit Server(std::ostream& log, scpi::ServeLimits limits = {})
      : bench(BenchAccess::Open({.simulate = true, .stateFolder = dir.path()}, boardClock)),
        instrument(*bench),
        server(instrument, log, clock, limits) {
    server.Listen({"127.0.0.1", 0});
    thread = std::thread([this] { server.Run(stop); });
  }
  ~Server() {
    stop = true;
    thread.join();
  }

  TempDir dir;
  FakeClock boardClock;
  SystemClock clock;
  std::unique_ptr<Bench> bench;
  scpi::ScpiInstrument instrument;
  scpi::ScpiServer server;
  std::atomic<bool> stop{false};
  std::thread thread;
};

// A client whose every read gives up after a while.
struct Client {
  explicit Client(uint16_t port) {
    socket.connect({asio::ip::make_address("127.0.0.1"), port});
    socket.set_option(tcp::no_delay(true));
  }
  void Send(const std::string& text) { asio::write(socket, asio::buffer(text)); }
  // The next line, without its LF; "" at the end, "timeout" when none came.
  std::string Line(std::chrono::milliseconds within = 3000ms) {
    bool done = false;
    asio::error_code got;
    asio::async_read_until(socket, asio::dynamic_buffer(buffer), '\n',
                           [&](const asio::error_code& ec, size_t) {
                             done = true;
                             got = ec;
                           });
    io.restart();
    io.run_for(within);
    if (!done) {
      socket.cancel();
      io.restart();
      io.run();
      return "timeout";
    }
    if (got) return "";
    const size_t lf = buffer.find('\n');
    std::string line = buffer.substr(0, lf);
    buffer.erase(0, lf + 1);
    return line;
  }
  std::string Query(const std::string& line) {
    Send(line + "\n");
    return Line();
  }

  asio::io_context io;
  tcp::socket socket{io};
  std::string buffer;
};

// The pipe `printf 'REG 5,...\n' x3 | nc -q0` makes: every line runs,
// though the client is gone before the first answer could be sent.
TEST(ScpiServer, EveryLineOfAClientThatClosedAtOnceRuns) {
  std::ostringstream log;
  Server s(log);
  Client busy(s.server.Port());
  busy.Send("MEAS:ALL?\nMEAS:ALL?\nMEAS:ALL?\n");
  {
    Client gone(s.server.Port());
    gone.Send("REG 5,#H1000\nREG 5,#H2000\nREG:READ? 5\nREG 5,#H3000\n");
  }
  Client reader(s.server.Port());
  std::string value;
  for (int n = 0; n < 100 && value != "12288"; ++n) value = reader.Query("REG:READ? 5");
  EXPECT_EQ(value, "12288");
  for (int n = 0; n < 3; ++n) {
    const std::string pass = busy.Line();
    EXPECT_EQ(std::count(pass.begin(), pass.end(), ','), 3) << pass;
  }
}

// Past the limit a client gets one line that says why, and the log says so.
TEST(ScpiServer, RefusesClientsPastTheLimitWithAReason) {
  std::ostringstream log;
  scpi::ServeLimits limits;
  limits.maxClients = 2;
  Server s(log, limits);
  Client a(s.server.Port());
  Client b(s.server.Port());
  EXPECT_EQ(a.Query("*OPC?"), "1");
  EXPECT_EQ(b.Query("*OPC?"), "1");
  Client refused(s.server.Port());
  EXPECT_EQ(refused.Line(), "refused: the server already has 2 clients; try again later");
  EXPECT_EQ(refused.Line(), "");  // then closed
  EXPECT_EQ(a.Query("*OPC?"), "1");
}

}  // namespace
}  // namespace evm::test
