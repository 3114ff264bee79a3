// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/cli_session.h"
#include "cli/commands.h"
#include "common/utf8_path.h"

namespace evm::cli {

int RunSaveRegs(CliContext& ctx) {
  const std::string& file = ctx.options.args[0];
  const std::vector<uint16_t> saved = ctx.bench->SaveRegisters(PathFromUtf8(file));
  if (ctx.options.json) {
    PrintJson(ctx, Json{{"file", file}, {"saved", true}, {"registers", saved}});
  } else {
    ctx.out << file << ": registers saved\n";
  }
  return kExitOk;
}

int RunLoadRegs(CliContext& ctx) {
  const std::string& file = ctx.options.args[0];
  const std::vector<uint16_t> loaded = ctx.bench->LoadRegisters(PathFromUtf8(file));
  if (ctx.options.json) {
    PrintJson(ctx, Json{{"file", file}, {"loaded", true}, {"registers", loaded}});
  } else {
    ctx.out << file << ": registers loaded\n";
  }
  return kExitOk;
}

}  // namespace evm::cli
