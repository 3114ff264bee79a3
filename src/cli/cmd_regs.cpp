#include "calibration/register_file.h"
#include "cli/cli_session.h"
#include "cli/commands.h"
#include "common/atomic_file.h"
#include "common/utf8_path.h"
#include "registers/register_cycle.h"

namespace evm::cli {

int RunSaveRegs(CliContext& ctx) {
  const std::vector<std::string>& args = ctx.options.args;
  if (!CheckArguments(ctx, args, 1, 1)) return kExitUsage;
  const std::string& file = args[0];
  if (!CheckFileName(ctx, file, "FILE")) return kExitUsage;

  Evm& evm = *ctx.evm;
  LoadState(ctx);
  if (!ConnectRegisterLink(ctx)) return kExitNoBoard;
  // What the main window holds when its menu item is chosen: the registers
  // as read at its first activation.
  ReadRegisters(ctx);
  if (const int code = EndRegisterAccess(ctx, "; nothing saved"); code != kExitOk) return code;
  ctx.ui.fileAnswer = file;
  const int messages = ctx.ui.messages;
  mnuSaveReg_Click(evm);
  if (ctx.ui.messages != messages) return Fail(ctx, kExitUsage, "cannot write '" + file + "'");
  ctx.out << file << ": registers saved\n";
  return kExitOk;
}

int RunLoadRegs(CliContext& ctx) {
  const std::vector<std::string>& args = ctx.options.args;
  if (!CheckArguments(ctx, args, 1, 1)) return kExitUsage;
  const std::string& file = args[0];
  if (!CheckFileName(ctx, file, "FILE")) return kExitUsage;
  // Checked before the board is touched, so a bad file is bad input
  // whatever is connected.
  std::error_code ec;
  const auto content = ReadWholeFile(PathFromUtf8(file), ec);
  if (!content) return FailUnreadable(ctx, file, ec);
  if (!ParseRegisterFile(*content)) {
    return Fail(ctx, kExitUsage,
                "'" + file + "' is not a register file (exactly " +
                    std::to_string(kRegisterFileValues) + " whole numbers 0-65535, one per line)");
  }

  Evm& evm = *ctx.evm;
  LoadState(ctx);
  if (!ConnectRegisterLink(ctx)) return kExitNoBoard;
  // Only registers the file changes are written, as after the window's
  // first read.
  ReadRegisters(ctx);
  ctx.ui.fileAnswer = file;
  mnuLoadReg_Click(evm);
  if (const int code = EndRegisterAccess(ctx, " every write"); code != kExitOk) return code;
  ctx.out << file << ": registers loaded\n";
  return kExitOk;
}

}  // namespace evm::cli
