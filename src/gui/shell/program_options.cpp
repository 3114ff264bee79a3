// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/shell/program_options.h"

#include <QCommandLineParser>
#include <QLocale>
#include <QStringList>

#include "common/hex_text.h"
#include "common/utf8_path.h"
#include "devices/sim/sim_load.h"

namespace evm {

ProgramOptions ParseProgramOptions(const std::vector<std::string>& args) {
  QCommandLineParser parser;
  parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
  const QCommandLineOption simulate("simulate");
  const QCommandLineOption launcher("launcher");
  const QCommandLineOption help(QStringList{"h", "help"});
  const QCommandLineOption version("version");
  const QCommandLineOption configDir("config-dir", "", "DIR");
  const QCommandLineOption screenshots("screenshots", "", "DIR");
  const QCommandLineOption vendorId("vendor-id", "", "HEX");
  const QCommandLineOption simBoards("sim-boards", "", "N");
  const QCommandLineOption simLoad("sim-load", "", "SPEC");
  parser.addOptions(
      {simulate, launcher, help, version, configDir, screenshots, vendorId, simBoards, simLoad});

  QStringList arguments{"zm5520-evm"};
  for (const std::string& a : args) arguments << QString::fromStdString(a);
  ProgramOptions o;
  if (!parser.parse(arguments)) {
    o.error = parser.errorText().toStdString();
    return o;
  }
  if (!parser.positionalArguments().isEmpty()) {
    o.error = "unexpected argument '" + parser.positionalArguments().first().toStdString() + "'";
    return o;
  }
  o.simulate = parser.isSet(simulate);
  o.launcher = parser.isSet(launcher);
  o.help = parser.isSet(help);
  o.version = parser.isSet(version);
  for (const auto& [option, folder, name] :
       {std::tuple{&configDir, &o.configDir, "--config-dir"},
        std::tuple{&screenshots, &o.screenshots, "--screenshots"}}) {
    if (!parser.isSet(*option)) continue;
    const std::string value = parser.value(*option).toStdString();
    if (value.empty()) {
      o.error = std::string(name) + " needs a folder";
      return o;
    }
    *folder = PathFromUtf8(value);
  }
  if (parser.isSet(vendorId)) {
    const std::string value = parser.value(vendorId).toStdString();
    o.vendorId = ParseHex16(value);
    if (!o.vendorId) {
      o.error = "--vendor-id: '" + value + "' is not a 16-bit hexadecimal id";
      return o;
    }
  }
  if (parser.isSet(simBoards)) {
    const std::string v = parser.value(simBoards).toStdString();
    const bool digits =
        !v.empty() && v.size() <= 2 && v.find_first_not_of("0123456789") == std::string::npos;
    if (!digits || std::stoi(v) < 1) {
      o.error = "--sim-boards: '" + v + "' is not a number of boards from 1 to 99";
      return o;
    }
    o.simBoards = std::stoi(v);
  }
  if (parser.isSet(simLoad)) {
    o.simLoad = parser.value(simLoad).toStdString();
    std::string why;
    if (!sim::LoadProfile::Parse(o.simLoad, &why)) {
      o.error = "--sim-load: " + why;
      return o;
    }
    if (!o.simulate) {
      o.error = "--sim-load works on the simulated EVM only; add --simulate";
      return o;
    }
  }
  // Real boards would bring up the USB-problem dialog and wait for a person.
  if (o.screenshots && !o.simulate) {
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
         "  --sim-boards N      with --simulate, N boards of each kind\n"
         "  --sim-load SPEC     with --simulate, a load that changes over time, as\n"
         "                      evmctl takes it: \"step:at=5,amps=2;noise:amps=0.01\"\n"
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

namespace {
char AsciiMark(const QString& mark) {
  if (mark.size() != 1 || mark.at(0).unicode() > 0x7E || mark.at(0).unicode() < 0x20) return 0;
  return static_cast<char>(mark.at(0).unicode());
}
}  // namespace

NumberLocale NumberLocaleOf(const QLocale& locale) {
  const char point = AsciiMark(locale.decimalPoint());
  if (point != '.' && point != ',') return NumberLocale::Point();
  const char group = AsciiMark(locale.groupSeparator());
  // French groups with a no-break space; a plain one stands in for it.
  return NumberLocale{point, group != 0 && group != point ? group : ' '};
}

}  // namespace evm
