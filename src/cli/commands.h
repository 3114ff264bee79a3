#pragma once

#include <functional>
#include <string>
#include <vector>

#include "cli/cli_context.h"

namespace evm::cli {

// An option of a command: a flag when it has no value name.
struct CommandOption {
  std::string name;
  std::string valueName;
};

struct Command {
  std::string name;
  std::string synopsis;
  std::string summary;
  std::string help;
  std::vector<CommandOption> options;
  size_t minArgs = 0;
  size_t maxArgs = 0;
  std::function<int(CliContext&)> run;
};

const std::vector<Command>& Commands();

// One command per file; each returns an exit status.
int RunDevices(CliContext& ctx);
int RunRead(CliContext& ctx);
int RunWrite(CliContext& ctx);
int RunSend(CliContext& ctx);
int RunEncode(CliContext& ctx);
int RunCalibrate(CliContext& ctx);
int RunLog(CliContext& ctx);
int RunMonitor(CliContext& ctx);
int RunSaveRegs(CliContext& ctx);
int RunLoadRegs(CliContext& ctx);
int RunScriptFile(CliContext& ctx);

}  // namespace evm::cli
