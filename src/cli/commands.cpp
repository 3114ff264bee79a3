// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/commands.h"

#include <cstdio>
#include <limits>

#include "devices/sim/sim_faults.h"

namespace evm::cli {

namespace {
constexpr size_t kAny = std::numeric_limits<size_t>::max();

const CommandOption kFastOption{
    "--fast", "", ValueKind::Flag, {"read each conversion of the device, with no settle time"}, {}};
const CommandOption kRegistersOption{
    "--registers",
    "N",
    ValueKind::Choice,
    {"with --fast: 4 reads shunt, bus, power and current; 2 reads current and",
     "bus voltage only (power computed from them, shunt not read)"},
    {"4", "2"}};
}  // namespace

const std::vector<Command>& Commands() {
  static const std::vector<Command> kCommands = {
      {"devices",
       "devices",
       "list the HID devices and mark the boards",
       "Lists the HID devices with vendor id, product id and path, marking the\n"
       "register link and the interface boards.\n",
       {},
       0,
       0,
       ValueKind::Text,
       RunDevices},
      {"read",
       "read [--engineering]",
       "read and scale the registers",
       "Reads registers 00h-05h (00h-07h with --engineering) and prints address,\n"
       "name, hexadecimal and binary value, and the scaled value of 01h-04h.\n"
       "Power and current are scaled by the calibration of the last session\n"
       "(see calibrate --write); nothing is written to the device.\n",
       {{"--engineering", "", ValueKind::Flag, {"registers 00h-07h, not only 00h-05h"}, {}}},
       0,
       0,
       ValueKind::Text,
       RunRead},
      {"write",
       "write REG VALUE",
       "write a register and check it by reading back",
       "Writes VALUE to register REG (both hexadecimal), reads it back and says\n"
       "whether it matches. Exit status 1 when it does not or the device did\n"
       "not acknowledge.\n",
       {},
       2,
       2,
       ValueKind::Text,
       RunWrite},
      {"send",
       "send TEXT...",
       "send mnemonic commands to the interface board",
       "Sends each TEXT as a mnemonic command to the interface board and prints\n"
       "the command and answer reports, the bytes read and the acknowledges.\n"
       "Nothing is sent unless every TEXT parses. Exit status 1 when an\n"
       "acknowledge is not 00 or the board does not answer.\n",
       {},
       1,
       kAny,
       ValueKind::Text,
       RunSend},
      {"encode",
       "encode TEXT",
       "show the report of a mnemonic command",
       "Parses TEXT as a mnemonic command without sending it and prints the 32\n"
       "bytes of its command report (stamped with sequence number 01), or the\n"
       "parse error. Words given as several arguments are joined by spaces.\n",
       {},
       1,
       kAny,
       ValueKind::Text,
       RunEncode},
      {"calibrate",
       "calibrate --rshunt R --max-current I --lsb L [--pga div1..div8] [--bus 16|32] [--write]",
       "compute (and store) the initial calibration",
       "Runs the initial calibration calculator and prints every result the\n"
       "calibration tab shows. Values take engineering prefixes (10m, 100u).\n"
       "The ranges come from the device's register 00h unless --pga and --bus\n"
       "are both given, in which case no board is needed. --write stores the\n"
       "calibration in register 05h (and a changed --pga/--bus in 00h), checks\n"
       "it by reading back, and keeps the inputs for the next commands.\n",
       {{"--rshunt", "R", ValueKind::Number, {"shunt resistance in ohms (10m is 0.01)"}, {}},
        {"--max-current", "I", ValueKind::Number, {"largest expected current in amperes"}, {}},
        {"--lsb", "L", ValueKind::Number, {"current LSB in amperes per bit (100u)"}, {}},
        {"--pga",
         "DIV",
         ValueKind::Choice,
         {"the PGA range, instead of register 00h's"},
         {"div1", "div2", "div4", "div8"}},
        {"--bus",
         "V",
         ValueKind::Choice,
         {"the bus range in volts, instead of 00h's"},
         {"16", "32"}},
        {"--write", "", ValueKind::Flag, {"store the calibration and keep the inputs"}, {}}},
       0,
       0,
       ValueKind::Text,
       RunCalibrate},
      {"log",
       "log FILE (--passes N | --seconds S) [--fast [--registers 4|2]] [--summary T]",
       "log the registers continuously",
       "Reads the registers continuously into the log FILE, in the format of the\n"
       "main window's log, for N passes or S seconds. A pass in which the device\n"
       "did not acknowledge every read is not logged (exit status 1). Ctrl-C ends\n"
       "the log early with the passes done so far (exit status 130).\n"
       "With --fast every conversion of the device is read with no settle time\n"
       "into a CSV file of its own layout: a line '# started' with the time of\n"
       "the first sample, a header naming the columns time_s, bus_volts,\n"
       "shunt_volts, amps, watts, shunt_raw, bus_raw, power_raw and current_raw,\n"
       "then one line per sample, its time in seconds since the first (to the\n"
       "microsecond). --passes then counts samples.\n"
       "With --summary T the file holds one row per interval of T instead of\n"
       "one per measurement, for runs of days: the start of the interval in\n"
       "seconds since the first sample (time_s), the count of its samples and\n"
       "of those lost, min, mean and max of bus_volts, shunt_volts, amps and\n"
       "watts, and the charge (charge_amp_seconds) and energy (energy_joules)\n"
       "of the interval, each sample holding its value until the next.\n",
       {{"--passes", "N", ValueKind::WholeAbove0, {"log N passes"}, {}},
        {"--seconds", "S", ValueKind::SecondsAbove0, {"log for S seconds"}, {}},
        kFastOption,
        kRegistersOption,
        {"--summary",
         "T",
         ValueKind::Interval,
         {"one row of statistics per interval T (1s, 500ms, 5min, 1h) instead of",
          "one per measurement"},
         {}}},
       1,
       1,
       ValueKind::File,
       RunLog},
      {"monitor",
       "monitor [--passes N | --seconds S] [--fast [--registers 4|2]] [--stats]",
       "print each pass of a continuous reading",
       "Reads the registers continuously and prints each pass as it is read:\n"
       "time, bus voltage, shunt voltage, current and power; with --json one\n"
       "JSON object per line. Runs until N passes or S seconds are done, or\n"
       "Ctrl-C. Exit status 1 when the device did not acknowledge every read\n"
       "of a pass.\n"
       "With --fast each conversion of the device is read once, with no settle\n"
       "time: about 125 samples a second at the fastest conversion time of\n"
       "register 00h (250 with --registers 2), one per conversion when the\n"
       "device is slower. At the end standard error tells the samples, the\n"
       "rate and the samples lost. --passes then counts samples.\n"
       "With --stats the run ends with its statistics: min, mean, max,\n"
       "standard deviation and peak-to-peak of each quantity, the samples, the\n"
       "seconds they cover and those lost, the charge in A*s and mAh and the\n"
       "energy in J and Wh; with --json as a last line {\"schema\": 1,\n"
       "\"statistics\": {...}}.\n",
       {{"--passes", "N", ValueKind::WholeAbove0, {"end after N passes"}, {}},
        {"--seconds", "S", ValueKind::SecondsAbove0, {"end after S seconds"}, {}},
        kFastOption,
        kRegistersOption,
        {"--stats", "", ValueKind::Flag, {"end with the statistics of the run"}, {}}},
       0,
       0,
       ValueKind::Text,
       RunMonitor},
      {"save-regs",
       "save-regs FILE",
       "save the registers into a register file",
       "Reads the registers and saves them into the register settings FILE.\n",
       {},
       1,
       1,
       ValueKind::File,
       RunSaveRegs},
      {"load-regs",
       "load-regs FILE",
       "write the registers of a register file",
       "Loads the register settings FILE and writes the registers it changes.\n",
       {},
       1,
       1,
       ValueKind::File,
       RunLoadRegs},
      {"script",
       "script FILE [--results OUT] [--max-seconds S] [--junit XML] [--record JSON] "
       "[--dut-id ID] [--station-id ID] [--operator NAME] [--boards all|PAIRS]",
       "run a test script",
       "Runs the script FILE as the script window does and prints each row's\n"
       "step, result and verdict; --results writes the results file. A break\n"
       "step is reported and skipped. --max-seconds ends the run (a goto loop,\n"
       "a long pause) after S seconds with the rows run so far. Exit status 1\n"
       "when a row FAILs or the time ran out, 2 when the script has no steps;\n"
       "Ctrl-C ends the run with the rows run so far (exit status 130).\n"
       "--junit and --record write the run's JUnit XML and JSON record (see the\n"
       "README's \"Test stations\"), also for a run that failed or could not\n"
       "start. --boards runs the script on several pairs of boards at once,\n"
       "each in its own session: all pairs attached, or a list such as\n"
       "RL0001/IB0001,RL0002/IB0002 (register link/interface board serials).\n"
       "Each pair prints a line as it ends, and a table ends the run; each gets\n"
       "its own record, in files named FILE-SERIAL (the interface board's), and\n"
       "one JUnit file holds them all. The exit status is the worst of them: a\n"
       "pair that cannot be opened is an ERROR and exit status 3.\n",
       {{"--results", "OUT", ValueKind::File, {"write the results file OUT"}, {}},
        {"--max-seconds", "S", ValueKind::ScriptSeconds, {"end the run after S seconds"}, {}},
        {"--junit", "XML", ValueKind::File, {"write the run as JUnit XML"}, {}},
        {"--record", "JSON", ValueKind::File, {"write the run's JSON record"}, {}},
        {"--dut-id",
         "ID",
         ValueKind::Text,
         {"the device's id for the records;", "with --boards a list, one a pair"},
         {}},
        {"--station-id", "ID", ValueKind::Text, {"the test station's id for the records"}, {}},
        {"--operator", "NAME", ValueKind::Text, {"who ran the test, for the records"}, {}},
        {"--boards",
         "all|PAIRS",
         ValueKind::Text,
         {"run on every pair of boards, or on the pairs", "REGLINK/INTERFACE,... at once"},
         {}}},
       1,
       1,
       ValueKind::File,
       RunScriptFile},
      {"serve",
       "serve [--listen HOST:PORT] [--allow-remote]",
       "be a SCPI instrument for VISA clients",
       "Serves the EVM as a SCPI instrument on a raw socket (default\n"
       "127.0.0.1:5025), for VISA clients and test executives: lines end with LF\n"
       "(CR LF taken), answers with LF. Several clients may connect; their\n"
       "commands run one at a time on the board, in the order they came, and\n"
       "each client has its own error queue. Each connection is logged on\n"
       "standard error; Ctrl-C ends the server. A device whose register 05h is 0\n"
       "gets the stored calibration first. The command tree is in the manual.\n",
       {{"--listen",
         "HOST:PORT",
         ValueKind::Text,
         {"the address to listen on (127.0.0.1:5025; port 0: any free one)"},
         {}},
        {"--allow-remote",
         "",
         ValueKind::Flag,
         {"allow an address other machines reach: they can write registers"},
         {}}},
       0,
       0,
       ValueKind::Text,
       RunServe},
  };
  return kCommands;
}

const std::vector<CommandOption>& CommonOptions() {
  static const std::vector<CommandOption> kOptions = [] {
    std::vector<std::string> faults;
    const std::string names = sim::SimFaultNames();
    for (size_t pos = 0; pos < names.size();) {
      const size_t comma = names.find(", ", pos);
      faults.push_back(names.substr(pos, comma - pos));
      pos = comma == std::string::npos ? names.size() : comma + 2;
    }
    return std::vector<CommandOption>{
        {"--simulate", "", ValueKind::Flag, {"use the simulated EVM instead of USB boards"}, {}},
        {"--sim-fault",
         "NAME",
         ValueKind::SimFault,
         {"with --simulate: a board misbehaves for the run, as BOARD:FAULT",
          "(BOARD reglink or interface; FAULT no-board, no-reply,",
          "wrong-reply-code, non-zero-status, write-failure,",
          "read-failure, wrong-echo, garbage, unplug, no-permission or",
          "slow-reply[:MS], answering MS ms late, 2000 by default);",
          "BOARD:FAULT@N starts the fault after N reports;",
          "BOARD#K:FAULT strikes the Kth board of that kind"},
         faults},
        {"--address", "HEX", ValueKind::Hex7Bit, {"I2C address of the ZM5520/1 (default 40)"}, {}},
        {"--usb-address",
         "HEX",
         ValueKind::Hex16,
         {"product id of the interface board (default: the stored one)"},
         {}},
        {"--vendor-id",
         "HEX",
         ValueKind::Hex16,
         {"USB vendor id of the boards (default 3A5F)"},
         {}},
        {"--config-dir", "DIR", ValueKind::Folder, {"folder of the state files"}, {}},
        {"--reglink",
         "SERIAL|PATH",
         ValueKind::Text,
         {"the register link to use for this run"},
         {}},
        {"--interface",
         "SERIAL|PATH",
         ValueKind::Text,
         {"the interface board to use for this run"},
         {}},
        {"--sim-boards", "N", ValueKind::Boards, {"with --simulate, N boards of each kind"}, {}},
        {"--sim-load",
         "SPEC",
         ValueKind::SimLoad,
         {"with --simulate, a load that changes over time: TERM[;TERM...],",
          "each KIND:key=value,... in seconds since the start, amperes and",
          "volts: constant:amps=A,volts=V (default 1 A at 12 V),",
          "step:at=T,amps=A (the value from T on), pulse:at=T,width=W,amps=A",
          "(the value in [T, T+W)), ramp:at=T,over=D,amps=A (from 0 at T to A",
          "at T+D), noise:amps=A (deterministic noise of that size); each",
          "takes amps=, volts= or both; later terms act on the earlier ones"},
         {}},
        {"--sim-frame-ms",
         "MS",
         ValueKind::FrameMs,
         {"with --simulate, the USB frame: each report takes one each way",
          "(default 1; 0 answers at once)"},
         {}},
        {"--sim-fast",
         "",
         ValueKind::Flag,
         {"with --simulate, waits pass at once on virtual time"},
         {}},
        {"--json", "", ValueKind::Flag, {"machine-readable output, errors included"}, {}},
        {"--help", "", ValueKind::Flag, {"this text, or a command's own with COMMAND --help"}, {}},
        {"--version", "", ValueKind::Flag, {"the program's version"}, {}},
    };
  }();
  return kOptions;
}

namespace {

std::string OptionLines(const std::vector<CommandOption>& options) {
  std::string text;
  for (const CommandOption& o : options) {
    const std::string head = o.name + (o.valueName.empty() ? "" : " " + o.valueName);
    for (size_t i = 0; i < o.help.size(); ++i) {
      char line[160];
      std::snprintf(line, sizeof line, "  %-24s %s\n", i == 0 ? head.c_str() : "",
                    o.help[i].c_str());
      text += line;
    }
  }
  return text;
}

}  // namespace

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
  return text + "\nCommon options:\n" + OptionLines(CommonOptions()) +
         "\nExit status: 0 success, 1 a check failed or the device did not acknowledge,\n"
         "2 bad usage or input, 3 no board found, 130 ended by Ctrl-C.\n";
}

std::string CommandHelp(const Command& c) {
  std::string text = "Usage: evmctl [common options] " + c.synopsis + "\n" + c.help;
  if (!c.options.empty()) text += "\nOptions:\n" + OptionLines(c.options);
  return text;
}

}  // namespace evm::cli
