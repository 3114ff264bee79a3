#include <cstdio>

#include "cli/cli_session.h"
#include "cli/commands.h"
#include "cli/json_writer.h"
#include "registers/register_display.h"
#include "registers/register_map.h"

namespace evm::cli {

namespace {

std::string Trimmed(const std::string& text) {
  const size_t begin = text.find_first_not_of(' ');
  if (begin == std::string::npos) return "";
  return text.substr(begin, text.find_last_not_of(' ') - begin + 1);
}

// Registers 01h-04h carry a quantity; the others are settings or raw data.
bool HasScaledValue(int reg) {
  return reg >= 1 && reg <= 4;
}

const char* Unit(int reg) {
  constexpr const char* kUnits[] = {"", "V", "V", "W", "A"};
  return HasScaledValue(reg) ? kUnits[reg] : "";
}

}  // namespace

int RunRead(CliContext& ctx) {
  std::vector<std::string> args = ctx.options.args;
  const bool engineering = TakeFlag(args, "--engineering");
  if (!CheckArguments(ctx, args, 0, 0)) return kExitUsage;

  Evm& evm = *ctx.evm;
  LoadState(ctx);
  if (!ConnectRegisterLink(ctx)) return kExitNoBoard;
  if (engineering) mnuEngineeringMode_Click(evm);
  ReadScaledRegisters(ctx);
  // Values the device did not give are not worth printing.
  if (const int code = EndRegisterAccess(ctx, " (see --address)"); code != kExitOk) return code;

  // The grid's own texts, so the command line shows what the window shows.
  const GridModel& grid = evm.registerPanel.gridReg;
  const RegisterStore& store = evm.registers;
  if (ctx.options.json) {
    JsonWriter json;
    json.BeginObject()
        .Key("device_address")
        .String(Hex2(static_cast<unsigned>(store.DeviceAddress)));
    json.Key("acknowledged").Bool(true).Key("registers").BeginArray();
    for (int i = 0; i <= store.LastReg; ++i) {
      const int32_t value = store.RegValue[static_cast<size_t>(i)];
      json.BeginObject()
          .Key("register")
          .Integer(i)
          .Key("address")
          .String(grid.Text(i + 1, 0))
          .Key("name")
          .String(Trimmed(grid.Text(i + 1, 1)))
          .Key("value")
          .Integer(value)
          .Key("hex")
          .String(FormatRegText(value, kFormHex, false))
          .Key("binary")
          .String(FormatRegText(value, kFormBinary, false))
          .Key("scaled");
      if (HasScaledValue(i)) {
        json.Number(store.RegScaled[static_cast<size_t>(i)]);
      } else {
        json.Null();
      }
      json.EndObject();
    }
    json.EndArray().EndObject();
    ctx.out << json.Text();
  } else {
    for (int i = 0; i <= store.LastReg; ++i) {
      char line[160];
      std::snprintf(line, sizeof line, "%-4s %-20s %-6s %-19s  %s %s", grid.Text(i + 1, 0).c_str(),
                    Trimmed(grid.Text(i + 1, 1)).c_str(), grid.Text(i + 1, 2).c_str(),
                    grid.Text(i + 1, 3).c_str(),
                    HasScaledValue(i) ? grid.Text(i + 1, 4).c_str() : "", Unit(i));
      std::string text = line;
      text.erase(text.find_last_not_of(' ') + 1);
      ctx.out << text << "\n";
    }
  }
  return kExitOk;
}

}  // namespace evm::cli
