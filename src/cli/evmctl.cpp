// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/evmctl.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <charconv>
#include <map>

#include "cli/cli_context.h"
#include "cli/cli_session.h"
#include "cli/commands.h"
#include "cli/json_output.h"
#include "common/hex_text.h"
#include "common/number_text.h"
#include "common/utf8_path.h"
#include "devices/platform.h"
#include "devices/sim/sim_load.h"
#include "hid/board_ids.h"

namespace evm::cli {

namespace {

std::string OneOf(const std::vector<std::string>& choices) {
  std::string text;
  for (const std::string& c : choices) text += (text.empty() ? "" : ", ") + c;
  return text;
}

std::optional<double> NumberIn(const std::string& text, double above, double atMost) {
  const auto v = ParseInvariantNumber(text);
  if (!v || !(*v > above) || *v > atMost) return std::nullopt;
  return v;
}

// The check of a value by its kind: empty when it is good. Hexadecimal
// values are rewritten in decimal, which is what they are bound to.
std::string CheckValue(const CommandOption& o, std::string& text) {
  const std::string quoted = "'" + text + "'";
  switch (o.kind) {
    case ValueKind::Flag: return "";
    case ValueKind::Text:
    case ValueKind::Number:
    case ValueKind::File: return text.empty() ? "the value is empty; give " + o.valueName : "";
    case ValueKind::Folder: {
      if (text.empty()) return "the value is empty; give a folder";
      std::error_code ec;
      const std::filesystem::path folder = PathFromUtf8(text);
      if (std::filesystem::exists(folder, ec) && !std::filesystem::is_directory(folder, ec)) {
        return quoted + " is not a folder";
      }
      return "";
    }
    case ValueKind::WholeAbove0: {
      // Digits only: "0x2" or "2e0" would be read as some other count.
      const auto n = text.find_first_not_of("0123456789") == std::string::npos
                         ? NumberIn(text, 0, 1e9)
                         : std::nullopt;
      if (!n || *n != static_cast<double>(static_cast<long>(*n))) {
        return quoted + " is not a whole number above 0";
      }
      return "";
    }
    case ValueKind::SecondsAbove0:
      return NumberIn(text, 0, 1e9) ? "" : quoted + " is not a number above 0";
    case ValueKind::ScriptSeconds:
      return NumberIn(text, 0, 86400) ? "" : quoted + " is not a number of seconds above 0";
    case ValueKind::Interval: {
      // The unit is what makes "1" and "1ms" differ: without one, seconds.
      constexpr std::pair<const char*, double> kUnits[] = {
          {"ms", 1e-3}, {"min", 60}, {"s", 1}, {"h", 3600}};
      double scale = 1;
      std::string number = text;
      for (const auto& [unit, seconds] : kUnits) {
        const std::string u = unit;
        if (number.size() > u.size() && number.ends_with(u)) {
          number.resize(number.size() - u.size());
          scale = seconds;
          break;
        }
      }
      const auto v = NumberIn(number, 0, 1e9);
      if (!v || !(*v * scale >= 1e-3)) {
        return quoted + " is not a time of at least 1 ms (1s, 500ms, 5min, 1h)";
      }
      text = FormatInvariantExact(*v * scale);
      return "";
    }
    case ValueKind::Hex7Bit:
    case ValueKind::Hex16: {
      const auto v = ParseHex16(text);
      if (o.kind == ValueKind::Hex7Bit && (!v || *v > 0x7F)) {
        return quoted + " is not a 7-bit hexadecimal I2C address";
      }
      if (!v) return quoted + " is not a hexadecimal number 0-FFFF";
      text = std::to_string(*v);
      return "";
    }
    case ValueKind::Boards: {
      int n = 0;
      const auto res = std::from_chars(text.data(), text.data() + text.size(), n);
      if (res.ec != std::errc() || res.ptr != text.data() + text.size() || n < 1 || n > 99) {
        return quoted + " is not a number of boards from 1 to 99";
      }
      return "";
    }
    case ValueKind::Choice:
      if (std::find(o.choices.begin(), o.choices.end(), text) != o.choices.end()) return "";
      return quoted + " is not one of " + OneOf(o.choices);
    case ValueKind::SimFault:
      if (sim::ParseSimFault(text)) return "";
      return quoted + " is not one of " + OneOf(o.choices) + ", with :MS after slow-reply and @N";
    case ValueKind::SimLoad: {
      std::string why;
      return sim::LoadProfile::Parse(text, &why) ? "" : why;
    }
    case ValueKind::FrameMs: {
      const auto v = ParseInvariantNumber(text);
      if (!v || !(*v >= 0) || *v > kMaxSimFrameMs) return quoted + " is not 0 to 1000 ms";
      return "";
    }
  }
  return "";
}

CLI::Validator ValidatorOf(const CommandOption& o) {
  return CLI::Validator([o](std::string& text) { return CheckValue(o, text); }, o.valueName);
}

const CommandOption& Common(const std::string& name) {
  for (const CommandOption& o : CommonOptions()) {
    if (o.name == name) return o;
  }
  throw std::logic_error("no common option " + name);
}

// What the parser collects for one command.
struct Parsed {
  CLI::App* app = nullptr;
  std::vector<std::string> args;
  std::map<std::string, std::string> values;
  std::map<std::string, bool> flags;
};

// A mistake in a command's line names the command and shows its own usage;
// the general usage only when there is no command to go by.
int UsageError(const EvmctlIo& io, bool json, const Command* command, const std::string& text) {
  const std::string where = command ? "evmctl " + command->name : std::string("evmctl");
  io.err << where << ": " << text << "\n";
  if (command) {
    io.err << "Usage: evmctl [common options] " << command->synopsis << "\n"
           << "See 'evmctl " << command->name << " --help'.\n";
  } else {
    io.err << Usage();
  }
  if (json) PrintJsonDocument(io.out, ErrorDocument(where + ": " + text, kExitUsage));
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
  o.vendorId = kDefaultBoardVendorId;
  bool help = false;
  bool version = false;
  uint16_t usbAddress = 0;
  std::string configDir, simFault;
  app.add_flag("-h,--help", help);
  app.add_flag("--version", version);
  app.add_flag("--simulate", o.simulate);
  app.add_flag("--json", o.json);
  app.add_flag("--sim-fast", o.simFast);
  const auto bind = [&](const std::string& name, auto& value) {
    return app.add_option(name, value)->transform(ValidatorOf(Common(name)));
  };
  bind("--address", o.deviceAddress);
  CLI::Option* usbAddressGiven = bind("--usb-address", usbAddress);
  bind("--vendor-id", o.vendorId);
  CLI::Option* configDirGiven = bind("--config-dir", configDir);
  CLI::Option* simFaultGiven = bind("--sim-fault", simFault);
  bind("--sim-boards", o.simBoards);
  CLI::Option* simLoadGiven = bind("--sim-load", o.simLoad);
  CLI::Option* simFrameGiven = bind("--sim-frame-ms", o.simFrameMs);
  CLI::Option* regLinkGiven = bind("--reglink", o.regLink.emplace());
  CLI::Option* interfaceGiven = bind("--interface", o.interfaceBoard.emplace());

  const std::vector<Command>& commands = Commands();
  std::vector<Parsed> parsed(commands.size());
  for (size_t i = 0; i < commands.size(); ++i) {
    const Command& c = commands[i];
    Parsed& p = parsed[i];
    p.app = app.add_subcommand(c.name);
    p.app->set_help_flag();
    p.app->allow_extras();
    p.app->fallthrough();
    const std::string argName = c.argKind == ValueKind::File ? "FILE" : "args";
    p.app->add_option(argName, p.args)
        ->check(ValidatorOf(
            {argName, argName == "FILE" ? "a file name" : "a value", c.argKind, {}, {}}));
    for (const CommandOption& option : c.options) {
      if (option.kind == ValueKind::Flag) {
        p.app->add_flag(option.name, p.flags[option.name]);
      } else {
        CLI::Option* added = p.app->add_option(option.name, p.values[option.name]);
        // An interval reaches the command in seconds; the others as written.
        if (option.kind == ValueKind::Interval) {
          added->transform(ValidatorOf(option));
        } else {
          added->check(ValidatorOf(option));
        }
      }
    }
    // A run is as long as its passes or its seconds, never both.
    CLI::Option* passes = p.app->get_option_no_throw("--passes");
    CLI::Option* seconds = p.app->get_option_no_throw("--seconds");
    if (passes && seconds) passes->excludes(seconds);
  }

  // The command of a line that failed to parse, for its usage.
  const auto chosenCommand = [&]() -> const Command* {
    for (size_t i = 0; i < commands.size(); ++i) {
      if (parsed[i].app->count() > 0) return &commands[i];
    }
    return nullptr;
  };
  std::vector<std::string> reversed(args.rbegin(), args.rend());
  try {
    app.parse(reversed);
  } catch (const CLI::ParseError& e) {
    const bool json = std::find(args.begin(), args.end(), "--json") != args.end();
    return UsageError(io, json, chosenCommand(), e.what());
  }

  const Command* command = chosenCommand();
  Parsed* chosen = command ? &parsed[static_cast<size_t>(command - commands.data())] : nullptr;
  for (const std::string& extra : app.remaining()) {
    if (extra.rfind('-', 0) == 0) {
      return UsageError(io, o.json, command, "unknown option '" + extra + "'");
    }
    if (!command) return UsageError(io, o.json, nullptr, "unknown command '" + extra + "'");
  }
  if (version) {
    io.out << "evmctl " << EVM_VERSION_STRING << "\n";
    return kExitOk;
  }
  if (help) {
    io.out << (command ? CommandHelp(*command) : Usage());
    return kExitOk;
  }
  if (!command) return UsageError(io, o.json, nullptr, "no command given");

  if (usbAddressGiven->count() > 0) o.usbAddress = usbAddress;
  if (configDirGiven->count() > 0) o.configDir = PathFromUtf8(configDir);
  if (regLinkGiven->count() == 0) o.regLink.reset();
  if (interfaceGiven->count() == 0) o.interfaceBoard.reset();
  if (o.simFast && !o.simulate) {
    return UsageError(io, o.json, command,
                      "--sim-fast works on the simulated EVM only; add --simulate");
  }
  for (const CLI::Option* given : {simLoadGiven, simFrameGiven}) {
    if (given->count() > 0 && !o.simulate) {
      return UsageError(io, o.json, command,
                        given->get_name() + " works on the simulated EVM only; add --simulate");
    }
  }
  if (simFaultGiven->count() > 0) {
    if (!o.simulate) {
      return UsageError(io, o.json, command,
                        "--sim-fault works on the simulated EVM only; add --simulate");
    }
    o.simFault = sim::ParseSimFault(simFault);
  }

  o.command = command->name;
  for (const std::string& extra : chosen->app->remaining()) {
    const bool option = extra.rfind('-', 0) == 0;
    return UsageError(io, o.json, command,
                      (option ? "unknown option '" : "unexpected argument '") + extra + "'");
  }
  if (chosen->args.size() < command->minArgs) {
    return UsageError(io, o.json, command, "missing argument");
  }
  if (chosen->args.size() > command->maxArgs) {
    return UsageError(io, o.json, command,
                      "unexpected argument '" + chosen->args[command->maxArgs] + "'");
  }
  o.args = chosen->args;
  for (const CommandOption& option : command->options) {
    CLI::Option* given = chosen->app->get_option(option.name);
    if (given->count() == 0) continue;
    o.values.emplace_back(option.name,
                          option.kind == ValueKind::Flag ? "" : chosen->values[option.name]);
  }
  CliContext ctx(o, io);
  int status = kExitOk;
  // A command lets the Bench's failures through when all it would add is
  // the exit status their kind has.
  try {
    status = ctx.bench ? command->run(ctx) : Fail(ctx, kExitUsage, ctx.stateFolderProblem);
  } catch (const Error& e) {
    status = Fail(ctx, e);
  }
  if (o.json) EndJsonOutput(ctx, status);
  // Output lost on a full disk or a closed pipe must not pass for success.
  io.out.flush();
  if (!io.out) {
    io.err << "evmctl " << o.command << ": cannot write the output\n";
    return kExitUsage;
  }
  return status;
}

}  // namespace evm::cli
