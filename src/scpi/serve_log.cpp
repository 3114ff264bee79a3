// SPDX-License-Identifier: GPL-3.0-or-later
#include "scpi/serve_log.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>

namespace evm::scpi {

struct ServeLog::State {
  State(std::ostream& o, size_t m) : out(o), maxLines(m) {}
  void Write();

  std::ostream& out;
  size_t maxLines;
  std::mutex mutex;
  std::condition_variable wake;
  std::condition_variable idle;
  std::deque<std::string> lines;
  size_t dropped = 0;     // since the last report
  size_t droppedAll = 0;  // in all
  bool writing = false;
  bool done = false;
};

void ServeLog::State::Write() {
  std::unique_lock lock(mutex);
  for (;;) {
    wake.wait(lock, [this] { return done || !lines.empty(); });
    if (lines.empty()) {
      idle.notify_all();
      return;  // done
    }
    std::string text = std::move(lines.front());
    lines.pop_front();
    const size_t lost = dropped;
    dropped = 0;
    writing = true;
    lock.unlock();
    if (lost) out << "evmctl serve: " << lost << " log lines were dropped: nobody read the log\n";
    out << "evmctl serve: " << text << '\n';
    out.flush();
    lock.lock();
    writing = false;
    if (lines.empty()) idle.notify_all();
  }
}

ServeLog::ServeLog(std::ostream& out, size_t maxLines)
    : state_(std::make_shared<State>(out, maxLines)),
      writer_([state = state_] { state->Write(); }) {}

ServeLog::~ServeLog() {
  std::unique_lock lock(state_->mutex);
  state_->done = true;
  state_->wake.notify_all();
  const bool flushed = state_->idle.wait_for(lock, std::chrono::milliseconds(kFlushMs), [this] {
    return state_->lines.empty() && !state_->writing;
  });
  lock.unlock();
  // A writer blocked on a stream nobody reads must not hold up the end of
  // serving: it keeps the state it shares, and the stream is the process's.
  if (flushed) {
    writer_.join();
  } else {
    writer_.detach();
  }
}

void ServeLog::Line(std::string text) {
  const std::lock_guard lock(state_->mutex);
  if (state_->lines.size() >= state_->maxLines) {
    ++state_->dropped;
    ++state_->droppedAll;
    return;
  }
  state_->lines.push_back(std::move(text));
  state_->wake.notify_one();
}

size_t ServeLog::Dropped() const {
  const std::lock_guard lock(state_->mutex);
  return state_->droppedAll;
}

}  // namespace evm::scpi
