// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "scpi/scpi_numbers.h"
#include "scpi/scpi_parser.h"
#include "scpi/scpi_status.h"

namespace evm::scpi {

// A failure of one command: its number and what it names. Handlers throw it;
// the tree queues it.
class Failure : public std::runtime_error {
 public:
  Failure(int errorCode, const std::string& info) : std::runtime_error(info), code(errorCode) {}
  int code;
};

// What one client has: its status and where in the tree its line is.
struct Session {
  StatusModel status;
  std::vector<std::string> path;  // the header path the next relative header continues
};

// How a numeric parameter is taken: its range, what MIN, MAX and DEF mean
// and the one unit a suffix may name (empty: none).
struct NumberRule {
  double min = 0;
  double max = 0;
  double def = 0;
  std::string unit;
};

// One command's run: its parameters, taken by the helpers below (which
// throw Failure with the standard number), and its answer.
class Call {
 public:
  Call(const std::vector<Parameter>& params, Session& session)
      : params_(params), session_(session) {}

  // -109 with fewer, -108 with more parameters.
  void Expect(size_t min, size_t max) const;
  double Number(size_t i, const NumberRule& rule) const;
  long long Whole(size_t i, long long min, long long max) const;
  bool Boolean(size_t i) const;      // ON, OFF, 1 or 0
  std::string Text(size_t i) const;  // a quoted string
  // The index of the word among `words` (upper case, short form first
  // letters); -224 otherwise.
  size_t Choice(size_t i, const std::vector<std::string>& words) const;
  size_t Count() const { return params_.size(); }

  void Answer(std::string text) {
    answer_ = std::move(text);
    answered_ = true;
  }
  bool Answered() const { return answered_; }
  const std::string& AnswerText() const { return answer_; }
  Session& session() { return session_; }

 private:
  const Parameter& At(size_t i) const;
  const std::vector<Parameter>& params_;
  Session& session_;
  std::string answer_;
  bool answered_ = false;
};

using Handler = std::function<void(Call&)>;

// The instrument's commands by pattern: "MEASure:VOLTage[:BUS]?" takes
// MEAS:VOLT?, measure:voltage:bus? and the rest; "*IDN?" a common command.
class CommandTree {
 public:
  static constexpr size_t kMaxLine = size_t{64} * 1024;

  // The parameters' count is checked before the handler runs.
  void Add(const std::string& pattern, size_t minParams, size_t maxParams, Handler handler);
  // Runs a line (without its terminator) and returns its answers, joined
  // by ';', or empty when it has none. Errors go to the session's queue.
  std::string Execute(Session& session, std::string_view line) const;

  // The patterns, as added.
  std::vector<std::string> Patterns() const;

 private:
  struct Node {
    std::string shortForm;
    std::string longForm;
    bool optional = false;
  };
  struct Entry {
    std::string pattern;
    bool common = false;
    bool query = false;
    size_t minParams = 0;
    size_t maxParams = 0;
    std::vector<Node> nodes;
    Handler handler;
  };
  const Entry* Find(const Header& header, const std::vector<std::string>& mnemonics) const;
  static bool Matches(const std::vector<Node>& nodes, size_t n,
                      const std::vector<std::string>& words, size_t w);
  std::vector<Entry> entries_;
};

}  // namespace evm::scpi
