#include "calibration/register_file.h"
#include "cli/cli_session.h"
#include "cli/commands.h"
#include "common/atomic_file.h"
#include "common/utf8_path.h"

namespace evm::cli {

int RunSaveRegs(CliContext& ctx) {
  const std::string& file = ctx.options.args[0];
  if (!ConnectRegisterLink(ctx)) return kExitNoBoard;
  const int address = ctx.options.deviceAddress;
  const RegisterRead read = ReadRegisters(ctx.evm->regLink, address, kNormalLastReg);
  if (!read.AllAcknowledged()) {
    return Fail(ctx, kExitFailed, LinkFailure(ctx, address, "; nothing saved"));
  }
  RegisterStore store;
  for (int i = 0; i <= read.lastReg; ++i) {
    store.RegValue[static_cast<size_t>(i)] = read.values[static_cast<size_t>(i)];
  }
  std::error_code ec;
  if (!WriteFileAtomically(PathFromUtf8(file), FormatRegisterFile(store), ec)) {
    return Fail(ctx, kExitUsage, "cannot write '" + file + "': " + ec.message());
  }
  if (ctx.options.json) {
    PrintJson(ctx,
              Json{{"file", file},
                   {"saved", true},
                   {"registers", std::vector<uint16_t>(read.values.begin(),
                                                       read.values.begin() + read.lastReg + 1)}});
  } else {
    ctx.out << file << ": registers saved\n";
  }
  return kExitOk;
}

int RunLoadRegs(CliContext& ctx) {
  const std::string& file = ctx.options.args[0];
  // Checked before the board is touched, so a bad file is bad input
  // whatever is connected.
  std::error_code ec;
  const auto content = ReadWholeFile(PathFromUtf8(file), ec, FileKind::Register);
  if (!content) return FailUnreadable(ctx, file, ec);
  const auto values = ParseRegisterFile(*content);
  if (!values) {
    return Fail(ctx, kExitUsage,
                "'" + file + "' is not a register file (exactly " +
                    std::to_string(kRegisterFileValues) + " whole numbers 0-65535, one per line)");
  }

  if (!ConnectRegisterLink(ctx)) return kExitNoBoard;
  const int address = ctx.options.deviceAddress;
  // Only registers the file changes are written.
  const RegisterRead present = ReadRegisters(ctx.evm->regLink, address, kNormalLastReg);
  if (!present.AllAcknowledged()) {
    return Fail(ctx, kExitFailed, LinkFailure(ctx, address, "; nothing loaded"));
  }
  std::array<int32_t, kDeviceRegs> wanted{};
  for (size_t i = 0; i < wanted.size(); ++i) wanted[i] = (*values)[i];
  const bool written = WriteChangedRegisters(ctx.evm->regLink, present, wanted);
  if (ctx.options.json) {
    PrintJson(ctx, Json{{"file", file}, {"loaded", written}, {"registers", wanted}});
  }
  if (!written) return Fail(ctx, kExitFailed, LinkFailure(ctx, address, " every write"));
  if (!ctx.options.json) ctx.out << file << ": registers loaded\n";
  return kExitOk;
}

}  // namespace evm::cli
