#include "cli/evmctl.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cstdio>
#include <map>

#include "cli/cli_context.h"
#include "cli/commands.h"
#include "common/hex_text.h"
#include "common/utf8_path.h"
#include "hid/board_ids.h"

namespace evm::cli {

namespace {

constexpr const char* kCommonOptions =
    "\nCommon options:\n"
    "  --simulate          use the simulated EVM instead of USB boards\n"
    "  --sim-fault NAME    with --simulate: a board misbehaves for the run, as BOARD:FAULT\n"
    "                      (BOARD reglink or interface; FAULT no-board, no-reply,\n"
    "                      wrong-reply-code, non-zero-status, write-failure,\n"
    "                      read-failure, wrong-echo, garbage, unplug or\n"
    "                      no-permission)\n"
    "  --address HEX       I2C address of the ZM5520/1 (default 40)\n"
    "  --usb-address HEX   product id of the interface board (default: the stored one)\n"
    "  --vendor-id HEX     USB vendor id of the boards (default 3A5F)\n"
    "  --config-dir DIR    folder of the state files\n"
    "  --reglink SERIAL|PATH    the register link to use for this run\n"
    "  --interface SERIAL|PATH  the interface board to use for this run\n"
    "  --sim-boards N      with --simulate, N boards of each kind\n"
    "  --json              machine-readable output\n"
    "  --help              this text, or a command's own with COMMAND --help\n"
    "  --version           the program's version\n\n"
    "Exit status: 0 success, 1 a check failed or the device did not acknowledge,\n"
    "2 bad usage or input, 3 no board found, 130 ended by Ctrl-C.\n";

std::string Usage() {
  std::string text =
      "Usage: evmctl [common options] COMMAND [arguments]\n"
      "Drives the ZM5520/1 evaluation module from the command line.\n\n"
      "Commands:\n";
  for (const Command& c : Commands()) {
    char line[128];
    std::snprintf(line, sizeof line, "  %-10s %s\n", c.name.c_str(), c.summary.c_str());
    text += line;
  }
  return text + kCommonOptions;
}

// What the parser collects for one command.
struct Parsed {
  CLI::App* app = nullptr;
  std::vector<std::string> args;
  std::map<std::string, std::string> values;
  std::map<std::string, bool> flags;
};

int UsageError(const EvmctlIo& io, const std::string& command, const std::string& text) {
  io.err << "evmctl" << (command.empty() ? "" : " " + command) << ": " << text << "\n";
  if (command.empty()) io.err << Usage();
  return kExitUsage;
}

}  // namespace

int RunEvmctl(const std::vector<std::string>& args, const EvmctlIo& io) {
  CLI::App app{"evmctl"};
  app.set_help_flag();
  app.allow_extras();
  // A path such as "/data/run.txt" is an argument, never a "/option"; CLI11
  // reads it as one on Windows unless told otherwise.
  app.allow_windows_style_options(false);
  CliOptions o;
  bool help = false;
  bool version = false;
  std::string address, usbAddress, vendorId, configDir, simFault, simBoards;
  std::string regLink, interfaceBoard;
  app.add_flag("-h,--help", help);
  app.add_flag("--version", version);
  app.add_flag("--simulate", o.simulate);
  app.add_flag("--json", o.json);
  app.add_option("--address", address);
  app.add_option("--usb-address", usbAddress);
  app.add_option("--vendor-id", vendorId);
  app.add_option("--config-dir", configDir);
  app.add_option("--sim-fault", simFault);
  app.add_option("--sim-boards", simBoards);
  app.add_option("--reglink", regLink);
  app.add_option("--interface", interfaceBoard);

  const std::vector<Command>& commands = Commands();
  std::vector<Parsed> parsed(commands.size());
  for (size_t i = 0; i < commands.size(); ++i) {
    const Command& c = commands[i];
    Parsed& p = parsed[i];
    p.app = app.add_subcommand(c.name);
    p.app->set_help_flag();
    p.app->allow_extras();
    p.app->fallthrough();
    p.app->add_option("args", p.args);
    for (const CommandOption& option : c.options) {
      if (option.valueName.empty()) {
        p.app->add_flag(option.name, p.flags[option.name]);
      } else {
        p.app->add_option(option.name, p.values[option.name]);
      }
    }
  }

  std::vector<std::string> reversed(args.rbegin(), args.rend());
  try {
    app.parse(reversed);
  } catch (const CLI::ParseError& e) {
    return UsageError(io, "", e.what());
  }

  const Command* command = nullptr;
  Parsed* chosen = nullptr;
  for (size_t i = 0; i < commands.size(); ++i) {
    if (parsed[i].app->parsed()) {
      command = &commands[i];
      chosen = &parsed[i];
    }
  }
  for (const std::string& extra : app.remaining()) {
    if (extra.rfind("-", 0) == 0) return UsageError(io, "", "unknown option '" + extra + "'");
    if (!command) return UsageError(io, "", "unknown command '" + extra + "'");
  }
  if (version) {
    io.out << "evmctl " << EVM_VERSION_STRING << "\n";
    return kExitOk;
  }
  if (help) {
    if (!command) {
      io.out << Usage();
    } else {
      io.out << "Usage: evmctl [common options] " << command->synopsis << "\n" << command->help;
    }
    return kExitOk;
  }
  if (!command) return UsageError(io, "", "no command given");

  if (!address.empty()) {
    const auto a = ParseHex16(address);
    if (!a || *a > 0x7F) {
      return UsageError(io, "",
                        "--address: '" + address + "' is not a 7-bit hexadecimal I2C address");
    }
    o.deviceAddress = *a;
  }
  if (!usbAddress.empty()) {
    o.usbAddress = ParseHex16(usbAddress);
    if (!o.usbAddress) {
      return UsageError(io, "",
                        "--usb-address: '" + usbAddress + "' is not a hexadecimal product id");
    }
  }
  o.vendorId = kDefaultBoardVendorId;
  if (!vendorId.empty()) {
    const auto v = ParseHex16(vendorId);
    if (!v)
      return UsageError(io, "", "--vendor-id: '" + vendorId + "' is not a hexadecimal vendor id");
    o.vendorId = *v;
  }
  if (app.get_option("--config-dir")->count() > 0) {
    std::error_code ec;
    if (configDir.empty()) return UsageError(io, "", "--config-dir needs a folder");
    const std::filesystem::path folder = PathFromUtf8(configDir);
    if (std::filesystem::exists(folder, ec) && !std::filesystem::is_directory(folder, ec)) {
      return UsageError(io, "", "--config-dir: '" + configDir + "' is not a folder");
    }
    o.configDir = folder;
  }

  if (app.get_option("--sim-fault")->count() > 0) {
    o.simFault = sim::ParseSimFault(simFault);
    if (!o.simFault) {
      return UsageError(io, "",
                        "--sim-fault: '" + simFault + "' is not one of " + sim::SimFaultNames());
    }
    if (!o.simulate) {
      return UsageError(io, "", "--sim-fault works on the simulated EVM only; add --simulate");
    }
  }

  for (auto [name, text, slot] : {std::tuple{"--reglink", &regLink, &o.regLink},
                                  std::tuple{"--interface", &interfaceBoard, &o.interfaceBoard}}) {
    if (app.get_option(name)->count() == 0) continue;
    if (text->empty()) {
      return UsageError(io, "", std::string(name) + " needs a serial number or a path");
    }
    *slot = *text;
  }
  if (app.get_option("--sim-boards")->count() > 0) {
    const bool digits = !simBoards.empty() && simBoards.size() <= 2 &&
                        simBoards.find_first_not_of("0123456789") == std::string::npos;
    if (!digits || std::stoi(simBoards) < 1) {
      return UsageError(io, "",
                        "--sim-boards: '" + simBoards + "' is not a number of boards from 1 to 99");
    }
    o.simBoards = std::stoi(simBoards);
  }

  o.command = command->name;
  for (const std::string& extra : chosen->app->remaining()) {
    const bool option = extra.rfind("-", 0) == 0;
    return UsageError(io, o.command,
                      (option ? "unknown option '" : "unexpected argument '") + extra + "'");
  }
  if (chosen->args.size() < command->minArgs) {
    return UsageError(io, o.command, "missing argument; usage: evmctl " + command->synopsis);
  }
  if (chosen->args.size() > command->maxArgs) {
    return UsageError(io, o.command,
                      "unexpected argument '" + chosen->args[command->maxArgs] + "'");
  }
  o.args = chosen->args;
  for (const CommandOption& option : command->options) {
    CLI::Option* given = chosen->app->get_option(option.name);
    if (given->count() == 0) continue;
    o.values.emplace_back(option.name, option.valueName.empty() ? "" : chosen->values[option.name]);
  }
  CliContext ctx(o, io);
  const int code = command->run(ctx);
  // Output lost on a full disk or a closed pipe must not pass for success.
  io.out.flush();
  if (!io.out) {
    io.err << "evmctl " << o.command << ": cannot write the output\n";
    return kExitUsage;
  }
  return code;
}

}  // namespace evm::cli
