#include "cli/evmctl.h"

#include <functional>
#include <iomanip>
#include <map>
#include <sstream>

#include "cli/cli_context.h"
#include "cli/commands.h"
#include "hid/board_ids.h"

namespace evm::cli {

namespace {

const char* kUsage =
    "Usage: evmctl [common options] COMMAND [arguments]\n"
    "Drives the ZM5520/1 evaluation module from the command line.\n\n"
    "Commands:\n"
    "%COMMANDS%"
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
    "  --json              machine-readable output\n"
    "  --help              this text, or a command's own with COMMAND --help\n"
    "  --version           the program's version\n\n"
    "Exit status: 0 success, 1 a check failed or the device did not acknowledge,\n"
    "2 bad usage or input, 3 no board found.\n";

std::string Usage() {
  std::string commands;
  for (const Command& c : Commands()) commands += "  " + c.synopsis + "\n";
  std::string text = kUsage;
  text.replace(text.find("%COMMANDS%"), 10, commands);
  return text;
}

}  // namespace

int RunEvmctl(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  CliOptions options = ParseCliOptions(args);
  if (options.help && options.command.empty()) {
    out << Usage();
    return kExitOk;
  }
  if (options.version && options.command.empty()) {
    out << "evmctl " << EVM_VERSION_STRING << "\n";
    return kExitOk;
  }
  if (!options.error.empty()) {
    err << "evmctl: " << options.error << "\n" << Usage();
    return kExitUsage;
  }
  for (const Command& c : Commands()) {
    if (c.name != options.command) continue;
    if (options.help) {
      out << "Usage: evmctl [common options] " << c.synopsis << "\n" << c.help;
      return kExitOk;
    }
    CliContext ctx(options, out, err);
    return c.run(ctx);
  }
  err << "evmctl: unknown command '" << options.command << "'\n" << Usage();
  return kExitUsage;
}

}  // namespace evm::cli
