// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <memory>
#include <ostream>
#include <string>
#include <thread>

namespace evm::scpi {

// The server's log, written by a thread of its own: a stream nobody reads
// (standard error into a pipe that is never drained) then blocks that thread
// only. Lines that do not fit meanwhile are dropped and counted, and the
// count is written once the stream takes lines again.
class ServeLog {
 public:
  static constexpr size_t kMaxLines = 256;

  explicit ServeLog(std::ostream& out, size_t maxLines = kMaxLines);
  // Waits up to kFlushMs for the lines still queued; a writer still blocked
  // then is left to the end of the process, with what it needs.
  ~ServeLog();
  ServeLog(const ServeLog&) = delete;
  ServeLog& operator=(const ServeLog&) = delete;

  // Never blocks on the stream.
  void Line(std::string text);
  size_t Dropped() const;

  static constexpr int kFlushMs = 500;

 private:
  struct State;
  std::shared_ptr<State> state_;
  std::thread writer_;
};

}  // namespace evm::scpi
