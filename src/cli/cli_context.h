// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <memory>
#include <optional>
#include <ostream>
#include <string>

#include "cli/cli_options.h"
#include "cli/json_output.h"
#include "zm5520evm/bench.h"

namespace evm::cli {

// One command's world: a Bench on the boards the options chose.
struct CliContext {
  CliContext(const CliOptions& options, const EvmctlIo& io);
  CliContext(const CliContext&) = delete;
  CliContext& operator=(const CliContext&) = delete;

  bool Stopped() const { return io.stop && io.stop->load(); }

  const CliOptions& options;
  const EvmctlIo& io;
  // The clock of --sim-fast, in place of io's.
  FakeClock virtualTime;
  // io's clock (or virtualTime), with every wait cut short by Ctrl-C; the Bench waits on it.
  StoppableClock clock;
  std::ostream& out;
  std::ostream& err;
  std::unique_ptr<Bench> bench;  // none when there is no state folder to use
  // What `bench` was opened with, for the sessions of a run on several boards.
  BenchOptions benchOptions;
  std::string stateFolderProblem;
  // With --json: the command's answer, kept until it ends so that a failure
  // joins it; `streamed` when it printed its lines as it went (monitor).
  std::optional<Json> document;
  bool streamed = false;
  std::string failure;  // the first error, as standard error shows it
  bool blankNoted = false;
};

}  // namespace evm::cli
