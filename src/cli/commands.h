#pragma once

#include <functional>
#include <string>
#include <vector>

#include "cli/cli_context.h"

namespace evm::cli {

struct Command {
  std::string name;
  std::string synopsis;
  std::string help;
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
