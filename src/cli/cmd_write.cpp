#include "cli/cli_session.h"
#include "cli/commands.h"
#include "common/hex_text.h"
#include "registers/register_display.h"
#include "registers/register_map.h"

namespace evm::cli {

int RunWrite(CliContext& ctx) {
  const std::vector<std::string>& args = ctx.options.args;
  const HexEntry reg = ParseHexEntry(args[0]);
  if (!reg.valid || reg.value < 0 || reg.value > kEngineeringLastReg) {
    return Fail(ctx, kExitUsage,
                "REG '" + args[0] + "' is not a register number 0-7 (hexadecimal)");
  }
  const HexEntry value = ParseHexEntry(args[1]);
  if (!value.valid) {
    return Fail(ctx, kExitUsage, "VALUE '" + args[1] + "': " + kNotValidHexMessage);
  }
  if (value.value < 0 || value.value > 0xFFFF) {
    return Fail(ctx, kExitUsage, "VALUE '" + args[1] + "' is larger than 16 bits (FFFF)");
  }

  if (!ConnectRegisterLink(ctx)) return kExitNoBoard;
  const int n = static_cast<int>(reg.value);
  const int address = ctx.options.deviceAddress;
  const WriteCheck check =
      WriteRegisterVerified(ctx.evm->regLink, address, n, static_cast<uint16_t>(value.value));

  const std::string where = "register " + Hex(static_cast<unsigned>(n), 2) + "h at address " +
                            Hex(static_cast<unsigned>(address), 2) + "h";
  if (!check.written)
    return Fail(ctx, kExitFailed, "the device did not acknowledge the write of " + where);
  if (!check.readBack)
    return Fail(ctx, kExitFailed, "the device did not acknowledge the read-back of " + where);
  if (ctx.options.json) {
    PrintJson(ctx, Json{{"register", n},
                        {"device_address", address},
                        {"wrote", check.wanted},
                        {"read", check.got},
                        {"match", check.Matches()}});
  } else {
    ctx.out << Hex(static_cast<unsigned>(n), 2) << "h  wrote " << Hex(check.wanted, 4) << "  read "
            << Hex(check.got, 4) << "  " << (check.Matches() ? "match" : "MISMATCH") << "\n";
  }
  if (!check.Matches()) {
    const bool readOnly = kRegReadOnly[static_cast<size_t>(n)];
    return Fail(ctx, kExitFailed,
                where + " reads back " + Hex(check.got, 4) + ", not " + Hex(check.wanted, 4) +
                    (readOnly ? " (a read-only register)" : ""));
  }
  return kExitOk;
}

}  // namespace evm::cli
