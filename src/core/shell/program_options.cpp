#include "shell/program_options.h"

#include "common/hex_text.h"

namespace evm {

std::optional<uint16_t> ParseHex16(const std::string& text) {
  std::string t = text;
  if (t.size() > 2 && t[0] == '0' && (t[1] == 'x' || t[1] == 'X')) t = t.substr(2);
  if (!t.empty() && (t.back() == 'h' || t.back() == 'H')) t.pop_back();
  if (t.empty() || t.size() > 4) return std::nullopt;
  const auto value = ParseHexDigits(t);
  if (!value) return std::nullopt;
  return static_cast<uint16_t>(*value);
}

ProgramOptions ParseProgramOptions(const std::vector<std::string>& args) {
  ProgramOptions o;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    auto value = [&](const std::string& name) -> std::optional<std::string> {
      const std::string prefix = name + "=";
      if (a.rfind(prefix, 0) == 0) return a.substr(prefix.size());
      if (a == name) {
        if (i + 1 < args.size()) return args[++i];
        o.error = name + " needs a value";
      }
      return std::nullopt;
    };
    if (a == "--simulate") {
      o.simulate = true;
    } else if (a == "--launcher") {
      o.launcher = true;
    } else if (a == "--help" || a == "-h") {
      o.help = true;
    } else if (a == "--version") {
      o.version = true;
    } else if (a == "--config-dir" || a.rfind("--config-dir=", 0) == 0) {
      if (auto v = value("--config-dir")) {
        if (v->empty()) {
          o.error = "--config-dir needs a folder";
        } else {
          o.configDir = *v;
        }
      }
    } else if (a == "--screenshots" || a.rfind("--screenshots=", 0) == 0) {
      if (auto v = value("--screenshots")) {
        if (v->empty()) {
          o.error = "--screenshots needs a folder";
        } else {
          o.screenshots = *v;
        }
      }
    } else if (a == "--vendor-id" || a.rfind("--vendor-id=", 0) == 0) {
      if (auto v = value("--vendor-id")) {
        o.vendorId = ParseHex16(*v);
        if (!o.vendorId) o.error = "--vendor-id: '" + *v + "' is not a 16-bit hexadecimal id";
      }
    } else {
      o.error = "unknown option '" + a + "'";
    }
    if (!o.error.empty()) break;
  }
  // Real boards would bring up the USB-problem dialog and wait for a person.
  if (o.error.empty() && o.screenshots && !o.simulate) {
    o.error = "--screenshots works on the simulated EVM only; add --simulate";
  }
  return o;
}

std::string ProgramUsage(const std::string& programName) {
  return "Usage: " + programName +
         " [options]\n"
         "Control program of the ZM5520/1 evaluation module.\n\n"
         "Options:\n"
         "  --simulate          run against the simulated EVM instead of USB boards\n"
         "  --config-dir DIR    keep the state files in DIR (default: the user's\n"
         "                      configuration folder, ~/.config/zm5520-evm; run from\n"
         "                      its build folder, the program's folder)\n"
         "  --vendor-id HEX     USB vendor id of the boards (default 3A5F)\n"
         "  --launcher          also open the launcher window (\"USB DUT Write Software\n"
         "                      Template\"), from which the script window is reached\n"
         "  --screenshots DIR   with --simulate: bring the program into a typical state,\n"
         "                      save a picture of every window to DIR/<window>.png\n"
         "                      and end (status 1 names the windows that failed)\n"
         "  --help              show this text\n"
         "  --version           show the program version\n";
}

}  // namespace evm
