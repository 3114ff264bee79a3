// SPDX-License-Identifier: GPL-3.0-or-later
// The server's clients without sockets, on the simulated EVM and virtual
// time: turns, limits, departures and time-outs.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "api/bench_access.h"
#include "common/clock.h"
#include "scpi/scpi_clients.h"
#include "support/temp_dir.h"

namespace evm::test {
namespace {

using Id = scpi::ScpiClients::Id;

struct Clients {
  explicit Clients(scpi::ServeLimits limits = {})
      : bench(BenchAccess::Open({.simulate = true, .stateFolder = dir.path()}, clock)),
        instrument(*bench),
        clients(instrument, clock, limits, [this](const std::string& l) { log.push_back(l); }) {}

  // Turns until none is left, each one named by the client it answered.
  std::string RunAll(const std::map<Id, char>& names) {
    std::string order;
    for (int n = 0; n < 1000 && clients.Turn(); ++n) {
      for (const auto& [id, name] : names) {
        const std::string got = clients.TakeUnsent(id);
        clients.Sent(id, got.size());
        if (!got.empty()) order += name;
        answers[id] += got;
      }
    }
    return order;
  }
  std::string Query(const std::string& line) {
    const Id id = clients.Open("probe");
    clients.Receive(id, line + "\n");
    RunAll({{id, 'p'}});
    std::string got = answers[id];
    clients.EndOfInput(id);
    return got;
  }

  TempDir dir;
  FakeClock clock;
  std::unique_ptr<Bench> bench;
  scpi::ScpiInstrument instrument;
  std::vector<std::string> log;
  std::map<Id, std::string> answers;
  scpi::ScpiClients clients;
};

// Clients with waiting lines take turns of one line each; each one's lines
// run in the order they came.
TEST(ScpiClients, ClientsTakeTurnsOfOneLineInTheirOwnOrder) {
  struct Case {
    std::vector<int> lines;    // per client
    std::vector<int> arrives;  // after that many turns
    const char* order;
    std::vector<size_t> pad{};  // spaces that make its lines longer
  };
  const Case cases[] = {
      {{5, 2, 1}, {0, 0, 0}, "ABCABAAA"},
      {{1, 1, 1}, {0, 0, 0}, "ABC"},
      {{3, 0, 2}, {0, 0, 0}, "ACACA"},
      // One that comes while others have a backlog waits one line, not a round.
      {{3, 3, 1}, {0, 0, 2}, "ABCABAB"},
      {{4, 1}, {0, 2}, "AABAA"},
      // Of those that come together, the shortest line first.
      {{1, 2, 1}, {0, 0, 0}, "CABB", {50, 50, 0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.order);
    Clients t;
    std::map<Id, char> names;
    std::vector<Id> ids;
    for (size_t k = 0; k < c.lines.size(); ++k) {
      ids.push_back(t.clients.Open("client"));
      names[ids[k]] = static_cast<char>('A' + k);
    }
    std::string order;
    for (int turn = 0; turn < 20; ++turn) {
      for (size_t k = 0; k < c.lines.size(); ++k) {
        if (c.arrives[k] != turn) continue;
        std::string text;
        const std::string pad(c.pad.empty() ? 0 : c.pad[k], ' ');
        for (int n = 1; n <= c.lines[k]; ++n) {
          text += "*ESE " + std::to_string(n) + ";*ESE?" + pad + "\n";
        }
        t.clients.Receive(ids[k], text);
      }
      if (!t.clients.Turn()) continue;
      for (const auto& [id, name] : names) {
        const std::string got = t.clients.TakeUnsent(id);
        t.clients.Sent(id, got.size());
        if (!got.empty()) order += name;
        t.answers[id] += got;
      }
    }
    EXPECT_EQ(order, c.order);
    for (size_t k = 0; k < c.lines.size(); ++k) {
      std::string expected;
      for (int n = 1; n <= c.lines[k]; ++n) expected += std::to_string(n) + "\n";
      EXPECT_EQ(t.answers[ids[k]], expected);
    }
  }
}

// A client that leaves (its input ends, or its connection breaks) still has
// every complete line it sent run; only its answers and a half line go.
TEST(ScpiClients, LinesOfAClientThatLeftStillRun) {
  for (const bool broken : {false, true}) {
    SCOPED_TRACE(broken ? "broken" : "end of input");
    Clients t;
    const Id busy = t.clients.Open("busy");
    t.clients.Receive(busy, "*OPC?\n*OPC?\n*OPC?\n");
    const Id gone = t.clients.Open("gone");
    t.clients.Receive(gone, "REG 5,#H1000\nREG 5,#H2000\nREG:READ? 5\nREG 5,#H3000\nREG 5,#H4");
    if (broken) {
      t.clients.Broken(gone);
    } else {
      t.clients.EndOfInput(gone);
    }
    t.RunAll({{busy, 'b'}});
    EXPECT_EQ(t.clients.TakeUnsent(gone), broken ? "" : "8192\n");
    t.clients.Sent(gone, 5);
    EXPECT_EQ(t.Query("REG:READ? 5"), "12288\n");
    const std::vector<Id> finished = t.clients.TakeFinished();
    EXPECT_NE(std::find(finished.begin(), finished.end(), gone), finished.end());
  }
}

// Answers nobody reads hold the client's lines back, and it is not read
// from, so what it costs is bounded; reading lets it go on. After its
// input ends its lines run anyway and answers beyond the limit are dropped.
TEST(ScpiClients, UnreadAnswersHoldTheClientsLinesBack) {
  scpi::ServeLimits limits;
  limits.maxUnsent = 1000;
  Clients t(limits);
  const Id idle = t.clients.Open("reader");
  const Id hog = t.clients.Open("127.0.0.1:9");
  std::string lines;
  for (int n = 0; n < 40; ++n) lines += "*IDN?;*IDN?\n";  // about 100 bytes each
  t.clients.Receive(hog, lines);
  while (t.clients.Turn()) {
  }
  std::string unsent = t.clients.TakeUnsent(hog);
  EXPECT_GE(unsent.size(), limits.maxUnsent);
  EXPECT_LT(unsent.size(), limits.maxUnsent + 200);
  EXPECT_FALSE(t.clients.Readable(hog));
  EXPECT_TRUE(t.clients.Readable(idle));
  EXPECT_EQ(t.log, std::vector<std::string>{"127.0.0.1:9 does not read its answers (" +
                                            std::to_string(unsent.size()) +
                                            " bytes unsent): its lines wait until it does"});
  // Another client is served meanwhile.
  EXPECT_NE(t.Query("*OPC?"), "");
  t.clients.Sent(hog, unsent.size());
  EXPECT_TRUE(t.clients.Readable(hog));
  EXPECT_TRUE(t.clients.Turn());
  // Input over: every line runs, what is unsent stays bounded.
  t.clients.EndOfInput(hog);
  int turns = 0;
  while (t.clients.Turn()) ++turns;
  EXPECT_GT(turns, 20);
  EXPECT_LT(t.clients.TakeUnsent(hog).size(), limits.maxUnsent + 200);
}

// A half line or answers nobody takes, with no progress for the time-out,
// end the connection; a quiet client with nothing pending stays.
TEST(ScpiClients, IdleHalfLinesAndUnreadAnswersTimeOut) {
  Clients t;
  const Id quiet = t.clients.Open("quiet");
  const Id half = t.clients.Open("half");
  const Id deaf = t.clients.Open("deaf");
  t.clients.Receive(half, "*IDN");
  t.clients.Receive(deaf, "*OPC?\n");
  while (t.clients.Turn()) {
  }
  t.clock.AdvanceMs(59'000);
  t.clients.Receive(half, "?");  // progress
  EXPECT_TRUE(t.clients.Expire().empty());
  t.clock.AdvanceMs(2'000);
  EXPECT_EQ(t.clients.Expire(), std::vector<Id>{deaf});
  t.clock.AdvanceMs(59'000);
  EXPECT_EQ(t.clients.Expire(), std::vector<Id>{half});
  t.clock.AdvanceMs(3'600'000);
  EXPECT_TRUE(t.clients.Expire().empty());
  EXPECT_EQ(t.clients.Count(), 1u);
  EXPECT_TRUE(t.clients.Readable(quiet));
  EXPECT_EQ(t.log,
            (std::vector<std::string>{"deaf took none of its answers for 60 s: closed",
                                      "half sent half a line and nothing more for 60 s: closed"}));
}

}  // namespace
}  // namespace evm::test
