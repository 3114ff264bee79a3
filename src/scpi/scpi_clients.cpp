// SPDX-License-Identifier: GPL-3.0-or-later
#include "scpi/scpi_clients.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "scpi/scpi_errors.h"

namespace evm::scpi {

namespace {

// What a waiting line costs besides its text, so that a flood of empty
// lines is bounded as well as a few long ones.
constexpr size_t kLineOverhead = 32;
constexpr double kSecondsPerDay = 86400;

}  // namespace

struct ScpiClients::Client {
  struct Line {
    std::string text;
    bool tooLong = false;  // dropped: only its error is left
  };

  Id id = 0;
  std::string peer;
  Session session;
  std::string in;
  bool discarding = false;  // inside a line past the limit, until its LF
  std::deque<Line> lines;
  size_t queued = 0;  // the cost of `lines`
  std::string out;
  size_t inFlight = 0;  // taken by the server, not yet sent
  bool ended = false;   // no more input
  bool broken = false;  // no more output either
  bool inTurns = false;
  bool toldPaused = false;
  double lastProgress = 0;

  size_t Unsent() const { return out.size() + inFlight; }
};

ScpiClients::ScpiClients(ScpiInstrument& instrument, Clock& clock, ServeLimits limits, Log log)
    : instrument_(instrument), clock_(clock), limits_(limits), log_(std::move(log)) {}

ScpiClients::~ScpiClients() {
  for (auto& [id, c] : clients_) instrument_.Forget(c->session);
}

ScpiClients::Client* ScpiClients::Find(Id id) {
  const auto it = clients_.find(id);
  return it == clients_.end() ? nullptr : it->second.get();
}

const ScpiClients::Client* ScpiClients::Find(Id id) const {
  const auto it = clients_.find(id);
  return it == clients_.end() ? nullptr : it->second.get();
}

std::string ScpiClients::Peer(Id id) const {
  const Client* c = Find(id);
  return c ? c->peer : std::string();
}

ScpiClients::Id ScpiClients::Open(const std::string& peer) {
  if (clients_.size() >= limits_.maxClients) return 0;
  auto c = std::make_unique<Client>();
  c->id = ++lastId_;
  c->peer = peer;
  c->lastProgress = clock_.SecondsSinceMidnight();
  const Id id = c->id;
  clients_.emplace(id, std::move(c));
  return id;
}

void ScpiClients::Touch(Client& c) {
  c.lastProgress = clock_.SecondsSinceMidnight();
}

double ScpiClients::Age(const Client& c) {
  double age = clock_.SecondsSinceMidnight() - c.lastProgress;
  if (age < 0) age += kSecondsPerDay;  // past midnight
  return age;
}

bool ScpiClients::Runnable(const Client& c) const {
  // A client whose input has ended is never held back: its answers beyond
  // the limit are dropped instead, so each of its lines still runs.
  return !c.lines.empty() && (c.ended || c.broken || c.Unsent() < limits_.maxUnsent);
}

void ScpiClients::Enqueue(Client& c, bool fresh) {
  if (c.inTurns || !Runnable(c)) return;
  c.inTurns = true;
  (fresh ? fresh_ : turns_).push_back(c.id);
}

void ScpiClients::Receive(Id id, std::string_view bytes) {
  Client* c = Find(id);
  if (!c || c->ended || c->broken || bytes.empty()) return;
  Touch(*c);
  const bool wasIdle = c->lines.empty();
  size_t from = 0;
  while (from < bytes.size()) {
    const void* lf = std::memchr(bytes.data() + from, '\n', bytes.size() - from);
    const size_t end =
        lf ? static_cast<size_t>(static_cast<const char*>(lf) - bytes.data()) : bytes.size();
    if (!c->discarding) c->in.append(bytes.substr(from, end - from));
    if (!lf) break;
    c->queued += c->in.size() + kLineOverhead;
    c->lines.push_back({c->discarding ? std::string() : std::move(c->in), c->discarding});
    c->discarding = false;
    c->in.clear();
    from = end + 1;
  }
  if (c->in.size() > CommandTree::kMaxLine) {
    c->discarding = true;
    c->in.clear();
    c->in.shrink_to_fit();
  }
  Enqueue(*c, wasIdle);
}

void ScpiClients::EndOfInput(Id id) {
  Client* c = Find(id);
  if (!c || c->ended) return;
  c->ended = true;
  c->in.clear();
  c->discarding = false;
  Enqueue(*c);
  CheckFinished(*c);
}

void ScpiClients::Broken(Id id) {
  Client* c = Find(id);
  if (!c || c->broken) return;
  c->ended = c->broken = true;
  c->in.clear();
  c->out.clear();
  c->out.shrink_to_fit();
  c->inFlight = 0;
  Enqueue(*c);
  CheckFinished(*c);
}

void ScpiClients::Drop(Id id) {
  Remove(id);
}

bool ScpiClients::Readable(Id id) const {
  const Client* c = Find(id);
  return c && !c->ended && c->queued < limits_.maxQueued &&
         c->lines.size() < limits_.maxQueuedLines && c->Unsent() < limits_.maxUnsent;
}

std::string ScpiClients::TakeUnsent(Id id) {
  Client* c = Find(id);
  if (!c) return {};
  std::string taken;
  taken.swap(c->out);
  c->inFlight += taken.size();
  return taken;
}

void ScpiClients::Sent(Id id, size_t bytes) {
  Client* c = Find(id);
  if (!c || c->broken) return;
  c->inFlight -= std::min(bytes, c->inFlight);
  Touch(*c);
  if (c->Unsent() < limits_.maxUnsent) c->toldPaused = false;
  Enqueue(*c);
  CheckFinished(*c);
}

bool ScpiClients::Busy() const {
  // A monitor run reads on a thread of its own: it keeps nothing here busy.
  return !fresh_.empty() || !turns_.empty();
}

ScpiClients::Id ScpiClients::ShortestFresh() const {
  // Of the clients that had nothing waiting, the shortest line goes first:
  // a query among many clients that all just sent long lines waits for one.
  Id best = fresh_.front();
  size_t shortest = SIZE_MAX;
  for (const Id id : fresh_) {
    const Client* c = Find(id);
    const size_t size = c && !c->lines.empty() ? c->lines.front().text.size() : 0;
    if (size < shortest) {
      shortest = size;
      best = id;
    }
  }
  return best;
}

bool ScpiClients::Turn() {
  while (!fresh_.empty() || !turns_.empty()) {
    const Id id = fresh_.empty() ? turns_.front() : ShortestFresh();
    if (fresh_.empty()) {
      turns_.pop_front();
    } else {
      fresh_.erase(std::find(fresh_.begin(), fresh_.end(), id));
    }
    Client* c = Find(id);
    if (!c) continue;
    c->inTurns = false;
    if (!Runnable(*c)) continue;
    Client::Line line = std::move(c->lines.front());
    c->lines.pop_front();
    c->queued -= line.text.size() + kLineOverhead;
    std::string answer;
    if (line.tooLong) {
      c->session.status.Report(
          kTooMuchData,
          "a line longer than " + std::to_string(CommandTree::kMaxLine) + " bytes was dropped");
    } else {
      answer = instrument_.Execute(c->session, line.text);
    }
    // Once a client is gone, or has ended its input and still takes none of
    // its answers, they go nowhere: its lines are what matters.
    if (!answer.empty() && !c->broken && !(c->ended && c->Unsent() >= limits_.maxUnsent)) {
      c->out += answer;
      c->out += '\n';
    }
    if (!c->ended && !c->lines.empty() && c->Unsent() >= limits_.maxUnsent && !c->toldPaused) {
      c->toldPaused = true;
      log_(c->peer + " does not read its answers (" + std::to_string(c->Unsent()) +
           " bytes unsent): its lines wait until it does");
    }
    Enqueue(*c);
    CheckFinished(*c);
    return true;
  }
  return false;
}

void ScpiClients::CheckFinished(Client& c) {
  if (!c.ended || !c.lines.empty() || (!c.broken && c.Unsent() > 0)) return;
  finished_.push_back(c.id);
  Remove(c.id);
}

void ScpiClients::Remove(Id id) {
  const auto it = clients_.find(id);
  if (it == clients_.end()) return;
  instrument_.Forget(it->second->session);
  clients_.erase(it);
}

std::vector<ScpiClients::Id> ScpiClients::Expire() {
  std::vector<Id> expired;
  for (auto& [id, c] : clients_) {
    if (c->broken || Age(*c) < limits_.idleSeconds) continue;
    const bool halfLine = !c->ended && (!c->in.empty() || c->discarding);
    if (!halfLine && c->Unsent() == 0) continue;
    const std::string seconds = std::to_string(static_cast<long>(limits_.idleSeconds));
    log_(c->peer +
         (halfLine ? " sent half a line and nothing more for " + seconds + " s"
                   : " took none of its answers for " + seconds + " s") +
         ": closed" +
         (c->lines.empty() ? "" : ", " + std::to_string(c->lines.size()) + " lines not run"));
    expired.push_back(id);
  }
  for (const Id id : expired) Remove(id);
  return expired;
}

std::vector<ScpiClients::Id> ScpiClients::TakeFinished() {
  std::vector<Id> done;
  done.swap(finished_);
  return done;
}

}  // namespace evm::scpi
