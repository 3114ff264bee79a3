// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "cli/cli_context.h"

namespace evm::cli {

// What an option's value must be. The parser checks (and where it says,
// converts) every value by its kind, so a command gets only valid values;
// completion offers the choices and the names of files or folders.
enum class ValueKind {
  Flag,           // no value
  Text,           // any text that is not empty
  File,           // a file name
  Folder,         // a folder, or a name that is not there yet
  Number,         // engineering text (10m, 100u), read by the command
  WholeAbove0,    // a whole number of passes, 1 to 1e9
  SecondsAbove0,  // seconds above 0, up to 1e9
  ScriptSeconds,  // seconds above 0, up to a day
  Interval,       // a time above 0 with its unit ("1s", "500ms", "5min", "1h"); given in seconds
  Hex7Bit,        // an I2C address, 0-7F; given to the command in decimal
  Hex16,          // a 16-bit id; given in decimal
  Boards,         // 1 to 99
  Choice,         // one of `choices`
  SimFault,       // one of `choices`, maybe with ":MS" and "@N" (see ParseSimFault)
  SimLoad,        // a load profile (see sim::LoadProfile)
  FrameMs,        // a USB frame of 0 to 1000 ms
};

// An option of a command or of every command.
struct CommandOption {
  std::string name;       // "--passes"
  std::string valueName;  // "N"; empty for a flag
  ValueKind kind = ValueKind::Flag;
  // The lines of its description in --help, the manual and zsh completion.
  std::vector<std::string> help;
  std::vector<std::string> choices;  // for ValueKind::Choice and SimFault
};

struct Command {
  std::string name;
  std::string synopsis;
  std::string summary;
  std::string help;
  std::vector<CommandOption> options;
  size_t minArgs = 0;
  size_t maxArgs = 0;
  ValueKind argKind = ValueKind::Text;  // what the positional arguments are
  std::function<int(CliContext&)> run;
};

// The one table of evmctl's commands and options: the parser, --help, the
// manual and the completion scripts are all made from it.
const std::vector<Command>& Commands();
const std::vector<CommandOption>& CommonOptions();

// The general usage, and a command's own --help text.
std::string Usage();
std::string CommandHelp(const Command& command);

// One command per file; each returns an exit status.
int RunDevices(CliContext& ctx);
int RunRead(CliContext& ctx);
int RunWrite(CliContext& ctx);
int RunSend(CliContext& ctx);
int RunEncode(CliContext& ctx);
int RunCalibrate(CliContext& ctx);
int RunLog(CliContext& ctx);
int RunMonitor(CliContext& ctx);
// The rate and the samples lost of a fast run, on standard error.
void ReportRate(CliContext& ctx, const MonitorLength& length, long samples, double rate, long lost);
int RunSaveRegs(CliContext& ctx);
int RunLoadRegs(CliContext& ctx);
int RunScriptFile(CliContext& ctx);
int RunServe(CliContext& ctx);

}  // namespace evm::cli
