// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <ostream>
#include <stdexcept>
#include <string>

#include "common/clock.h"
#include "scpi/scpi_clients.h"
#include "scpi/scpi_instrument.h"

namespace evm::scpi {

// A socket that could not be opened.
class ServeError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The host and port of --listen: "127.0.0.1:5025", "[::1]:5025", ":5025"
// (the loopback), or "localhost" (port 5025). Nothing when it is none.
struct ListenAddress {
  std::string host = "127.0.0.1";
  uint16_t port = 5025;
};
bool ParseListenAddress(const std::string& text, ListenAddress& address);

// Who could reach a server on `host`: this machine only, other machines as
// well, or nobody, since it names no address (`why` says what the resolver
// said).
enum class HostReach { Loopback, Remote, Unresolved };
HostReach CheckListenHost(const std::string& host, std::string& why);

// The raw-socket server: lines end with LF (CR LF taken), answers with LF.
// One thread waits on every client at once and runs their lines on the
// instrument one at a time, the clients with waiting lines taking turns;
// a client that leaves loses only its answers. The log (connections,
// refusals, clients dropped) never holds up serving.
class ScpiServer {
 public:
  // `clock` times the idle clients.
  ScpiServer(ScpiInstrument& instrument, std::ostream& log, Clock& clock,
             const ServeLimits& limits = {});
  ~ScpiServer();
  ScpiServer(const ScpiServer&) = delete;
  ScpiServer& operator=(const ScpiServer&) = delete;

  // Binds and listens; port 0 takes a free one. ServeError when it cannot.
  void Listen(const ListenAddress& address);
  uint16_t Port() const;
  // A line for the log, from any thread; never blocks.
  void Log(std::string line);
  // Serves until `stop` is raised (seen within 50 ms, and by the board's
  // waits through their clock), then closes every connection.
  void Run(const std::atomic<bool>& stop);

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace evm::scpi
