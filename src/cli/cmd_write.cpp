// SPDX-License-Identifier: GPL-3.0-or-later
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
    return Fail(ctx, kExitUsage, "VALUE '" + args[1] + "': " + kLargerThan16BitsMessage);
  }

  const int n = static_cast<int>(reg.value);
  const auto wanted = static_cast<uint16_t>(value.value);
  // A register that reads back otherwise is shown before the failure.
  const auto show = [&ctx, n](uint16_t wrote, uint16_t read) {
    if (ctx.options.json) {
      PrintJson(ctx, Json{{"register", n},
                          {"device_address", ctx.options.deviceAddress},
                          {"wrote", wrote},
                          {"read", read},
                          {"match", wrote == read}});
    } else {
      ctx.out << Hex(static_cast<unsigned>(n), 2) << "h  wrote " << Hex(wrote, 4) << "  read "
              << Hex(read, 4) << "  " << (wrote == read ? "match" : "MISMATCH") << "\n";
    }
  };
  try {
    const WriteResult written = ctx.bench->WriteRegister(n, wanted);
    show(written.wrote, written.read);
  } catch (const ReadBackError& e) {
    show(e.wanted, e.got);
    throw;
  }
  return kExitOk;
}

}  // namespace evm::cli
