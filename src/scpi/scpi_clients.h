// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "common/clock.h"
#include "scpi/scpi_instrument.h"

namespace evm::scpi {

// What one client may cost the server. The defaults keep forty clients that
// never read well under 64 MB.
struct ServeLimits {
  size_t maxClients = 64;
  // Answers not yet taken by the client: past this its lines wait (and it is
  // not read from) until it reads.
  size_t maxUnsent = size_t{64} * 1024;
  // Lines received and not yet run: past this the client is not read from,
  // so the kernel's buffers and TCP's flow control hold the rest.
  size_t maxQueued = size_t{64} * 1024;
  size_t maxQueuedLines = 1024;
  // A half line, or answers nobody takes, with no progress for this long
  // ends the connection.
  double idleSeconds = 60;
};

// The clients of the server without their sockets: each one's bytes become
// lines, the lines run on the instrument one at a time, clients with waiting
// lines taking turns of one line each (one that had none waiting first, the
// shortest such line first), and each one's answers wait to be sent. The server feeds it what the
// sockets bring and sends what it holds.
class ScpiClients {
 public:
  using Id = uint64_t;
  using Log = std::function<void(const std::string&)>;

  ScpiClients(ScpiInstrument& instrument, Clock& clock, ServeLimits limits, Log log);
  ~ScpiClients();
  ScpiClients(const ScpiClients&) = delete;
  ScpiClients& operator=(const ScpiClients&) = delete;

  // A new connection; 0 when the table is full.
  Id Open(const std::string& peer);
  // Bytes the client sent.
  void Receive(Id id, std::string_view bytes);
  // The client sent its last byte: its complete lines still run and their
  // answers are sent while it takes them; a half line is dropped.
  void EndOfInput(Id id);
  // Its connection is broken: its lines still run, their answers go nowhere.
  void Broken(Id id);
  // The server gave up on it: its lines and answers are dropped.
  void Drop(Id id);

  // Worth reading from: neither its lines nor its answers are over their limit.
  bool Readable(Id id) const;
  // Answers to send: moved out, counted as unsent until Sent.
  std::string TakeUnsent(Id id);
  void Sent(Id id, size_t bytes);

  // One line of the client whose turn it is. False when there was nothing to do.
  bool Turn();
  bool Busy() const;

  // Clients whose half line or unread answers made no progress within the
  // time-out; they are dropped (and logged). Call now and then.
  std::vector<Id> Expire();
  // Clients with nothing left to run or send, once they are done: the
  // server closes their sockets.
  std::vector<Id> TakeFinished();

  size_t Count() const { return clients_.size(); }
  const ServeLimits& Limits() const { return limits_; }
  std::string Peer(Id id) const;

 private:
  struct Client;
  Client* Find(Id id);
  const Client* Find(Id id) const;
  bool Runnable(const Client& c) const;
  // A client that had no line waiting goes before those that keep the board
  // busy, so a backlog costs it one line at most; the rest take turns.
  void Enqueue(Client& c, bool fresh = false);
  Id ShortestFresh() const;
  void Touch(Client& c);
  void CheckFinished(Client& c);
  void Remove(Id id);
  double Age(const Client& c);

  ScpiInstrument& instrument_;
  Clock& clock_;
  ServeLimits limits_;
  Log log_;
  Id lastId_ = 0;
  std::map<Id, std::unique_ptr<Client>> clients_;  // a session stays where it is
  std::deque<Id> fresh_;  // clients whose line came while none of theirs waited
  std::deque<Id> turns_;  // the others with a line that can run, in rotation
  std::vector<Id> finished_;
};

}  // namespace evm::scpi
