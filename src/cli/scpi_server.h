// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <ostream>
#include <stdexcept>
#include <string>

#include "cli/scpi_instrument.h"

namespace evm::cli {

// A socket that could not be opened, or a build without sockets.
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

// True when every address `host` names is on this machine only.
bool IsLoopbackHost(const std::string& host);

// The raw-socket server: lines end with LF (CR LF taken), answers with LF.
// One thread waits on every client at once and runs their lines on the
// instrument one at a time, in the order they came; a client that is gone
// when its answer is ready loses only that answer.
class ScpiServer {
 public:
  ScpiServer(ScpiInstrument& instrument, std::ostream& log);
  ~ScpiServer();
  ScpiServer(const ScpiServer&) = delete;
  ScpiServer& operator=(const ScpiServer&) = delete;

  // Binds and listens; port 0 takes a free one. ServeError when it cannot.
  void Listen(const ListenAddress& address);
  uint16_t Port() const;
  // Serves until `stop` is raised, then closes every connection.
  void Run(const std::atomic<bool>& stop);

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace evm::cli
