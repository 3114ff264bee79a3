#include "cli/cli_session.h"
#include "cli/commands.h"
#include "registers/register_cycle.h"
#include "registers/register_display.h"
#include "registers/register_map.h"

namespace evm::cli {

int RunWrite(CliContext& ctx) {
  const std::vector<std::string>& args = ctx.options.args;
  if (!CheckArguments(ctx, args, 2, 2)) return kExitUsage;
  const HexEntry reg = ParseHexEntry(args[0]);
  if (!reg.valid || reg.value > kEngineeringLastReg) {
    return Fail(ctx, kExitUsage,
                "REG '" + args[0] + "' is not a register number 0-7 (hexadecimal)");
  }
  const HexEntry value = ParseHexEntry(args[1]);
  if (!value.valid) {
    return Fail(ctx, kExitUsage, "VALUE '" + args[1] + "': " + kNotValidHexMessage);
  }
  if (value.value > 0xFFFF) {
    return Fail(ctx, kExitUsage, "VALUE '" + args[1] + "' is larger than 16 bits (FFFF)");
  }

  Evm& evm = *ctx.evm;
  LoadState(ctx);
  if (!ConnectRegisterLink(ctx)) return kExitNoBoard;
  const int n = static_cast<int>(reg.value);
  // The read-back reaches the trim registers only in engineering mode.
  if (n > kNormalLastReg) mnuEngineeringMode_Click(evm);
  RegisterStore& store = evm.registers;
  const auto wanted = static_cast<int32_t>(value.value);
  store.RegValue[static_cast<size_t>(n)] = wanted;
  const bool written = WriteReg(evm, n);
  ReadAllRegs(evm);
  const bool readBack = !evm.registerPanel.txtDutNotAckVisible;
  const int32_t got = store.RegValue[static_cast<size_t>(n)];
  evm.regLink.CloseRegLink();

  const std::string where = "register " + Hex2(static_cast<unsigned>(n)) + "h at address " +
                            Hex2(static_cast<unsigned>(store.DeviceAddress)) + "h";
  if (!written)
    return Fail(ctx, kExitFailed, "the device did not acknowledge the write of " + where);
  if (!readBack)
    return Fail(ctx, kExitFailed, "the device did not acknowledge the read-back of " + where);
  ctx.out << Hex2(static_cast<unsigned>(n)) << "h  wrote " << Hex4(static_cast<unsigned>(wanted))
          << "  read " << Hex4(static_cast<unsigned>(got)) << "  "
          << (got == wanted ? "match" : "MISMATCH") << "\n";
  if (got != wanted) {
    const bool readOnly = store.RegReadOnly[static_cast<size_t>(n)];
    return Fail(ctx, kExitFailed,
                where + " reads back " + Hex4(static_cast<unsigned>(got)) + ", not " +
                    Hex4(static_cast<unsigned>(wanted)) +
                    (readOnly ? " (a read-only register)" : ""));
  }
  return kExitOk;
}

}  // namespace evm::cli
