#pragma once

#include <memory>
#include <optional>
#include <ostream>
#include <string>

#include "cli/cli_options.h"
#include "cli/console_ui.h"
#include "cli/json_output.h"
#include "evm.h"
#include "hid/hid_platform.h"

namespace evm::cli {

// One command's world: the platform the options chose and a context on it.
struct CliContext {
  CliContext(const CliOptions& options, const EvmctlIo& io);
  // However a command ends, the register link is let go.
  ~CliContext();
  CliContext(const CliContext&) = delete;
  CliContext& operator=(const CliContext&) = delete;

  bool Stopped() const { return io.stop && io.stop->load(); }

  const CliOptions& options;
  const EvmctlIo& io;
  // io's clock, with every wait cut short by Ctrl-C.
  StoppableClock clock;
  std::ostream& out;
  std::ostream& err;
  ConsoleUi ui;
  std::unique_ptr<HidPlatform> hid;
  std::unique_ptr<Evm> evm;
  // With --json: the command's answer, kept until it ends so that a failure
  // joins it; `streamed` when it printed its lines as it went (monitor).
  std::optional<Json> document;
  bool streamed = false;
  std::string failure;  // the first error, as standard error shows it
};

}  // namespace evm::cli
