#include "cli/cli_options.h"

#include <algorithm>

#include "shell/program_options.h"

namespace evm::cli {

std::optional<std::string> TakeOption(std::vector<std::string>& args, const std::string& name,
                                      std::string& error) {
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] == name) {
      if (i + 1 >= args.size()) {
        error = name + " needs a value";
        args.erase(args.begin() + static_cast<long>(i));
        return std::nullopt;
      }
      std::string value = args[i + 1];
      args.erase(args.begin() + static_cast<long>(i), args.begin() + static_cast<long>(i) + 2);
      return value;
    }
    if (args[i].rfind(name + "=", 0) == 0) {
      std::string value = args[i].substr(name.size() + 1);
      args.erase(args.begin() + static_cast<long>(i));
      return value;
    }
  }
  return std::nullopt;
}

bool TakeFlag(std::vector<std::string>& args, const std::string& name) {
  const auto it = std::find(args.begin(), args.end(), name);
  if (it == args.end()) return false;
  args.erase(it);
  return true;
}

CliOptions ParseCliOptions(const std::vector<std::string>& argv) {
  CliOptions o;
  std::vector<std::string> rest = argv;
  o.simulate = TakeFlag(rest, "--simulate");
  o.json = TakeFlag(rest, "--json");
  o.help = TakeFlag(rest, "--help") || TakeFlag(rest, "-h");
  o.version = TakeFlag(rest, "--version");
  if (auto v = TakeOption(rest, "--address", o.error)) {
    const auto a = ParseHex16(*v);
    if (!a || *a > 0x7F) {
      o.error = "--address: '" + *v + "' is not a 7-bit hexadecimal I2C address";
    } else {
      o.deviceAddress = *a;
    }
  }
  if (auto v = TakeOption(rest, "--usb-address", o.error)) {
    o.usbAddress = ParseHex16(*v);
    if (!o.usbAddress) o.error = "--usb-address: '" + *v + "' is not a hexadecimal product id";
  }
  if (auto v = TakeOption(rest, "--vendor-id", o.error)) {
    o.vendorId = ParseHex16(*v);
    if (!o.vendorId) o.error = "--vendor-id: '" + *v + "' is not a hexadecimal vendor id";
  }
  if (auto v = TakeOption(rest, "--config-dir", o.error)) {
    std::error_code ec;
    if (v->empty()) {
      o.error = "--config-dir needs a folder";
    } else if (std::filesystem::exists(*v, ec) && !std::filesystem::is_directory(*v, ec)) {
      o.error = "--config-dir: '" + *v + "' is not a folder";
    } else {
      o.configDir = *v;
    }
  }
  if (auto v = TakeOption(rest, "--sim-fault", o.error)) {
    o.simFault = sim::ParseSimFault(*v);
    if (!o.simFault) {
      o.error = "--sim-fault: '" + *v + "' is not one of " + sim::SimFaultNames();
    } else if (!o.simulate) {
      o.error = "--sim-fault works on the simulated EVM only; add --simulate";
    }
  }
  if (!rest.empty()) {
    o.command = rest.front();
    o.args.assign(rest.begin() + 1, rest.end());
  }
  if (o.error.empty() && o.command.empty() && !o.help && !o.version) o.error = "no command given";
  if (o.error.empty() && !o.command.empty() && o.command.rfind("--", 0) == 0) {
    o.error = "unknown option '" + o.command + "'";
  }
  return o;
}

}  // namespace evm::cli
