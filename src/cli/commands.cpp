#include "cli/commands.h"

#include <limits>

namespace evm::cli {

namespace {
constexpr size_t kAny = std::numeric_limits<size_t>::max();
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
       RunDevices},
      {"read",
       "read [--engineering]",
       "read and scale the registers",
       "Reads registers 00h-05h (00h-07h with --engineering) and prints address,\n"
       "name, hexadecimal and binary value, and the scaled value of 01h-04h.\n"
       "Power and current are scaled by the calibration of the last session\n"
       "(see calibrate --write); nothing is written to the device.\n",
       {{"--engineering", ""}},
       0,
       0,
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
       {{"--rshunt", "R"},
        {"--max-current", "I"},
        {"--lsb", "L"},
        {"--pga", "DIV"},
        {"--bus", "V"},
        {"--write", ""}},
       0,
       0,
       RunCalibrate},
      {"log",
       "log FILE (--passes N | --seconds S)",
       "log the registers continuously",
       "Reads the registers continuously into the log FILE, in the format of the\n"
       "main window's log, for N passes or S seconds. A pass in which the device\n"
       "did not acknowledge every read is not logged (exit status 1). Ctrl-C ends\n"
       "the log early with the passes done so far (exit status 130).\n",
       {{"--passes", "N"}, {"--seconds", "S"}},
       1,
       1,
       RunLog},
      {"monitor",
       "monitor [--passes N | --seconds S]",
       "print each pass of a continuous reading",
       "Reads the registers continuously and prints each pass as it is read:\n"
       "time, bus voltage, shunt voltage, current and power; with --json one\n"
       "JSON object per line. Runs until N passes or S seconds are done, or\n"
       "Ctrl-C. Exit status 1 when the device did not acknowledge every read\n"
       "of a pass.\n",
       {{"--passes", "N"}, {"--seconds", "S"}},
       0,
       0,
       RunMonitor},
      {"save-regs",
       "save-regs FILE",
       "save the registers into a register file",
       "Reads the registers and saves them into the register settings FILE.\n",
       {},
       1,
       1,
       RunSaveRegs},
      {"load-regs",
       "load-regs FILE",
       "write the registers of a register file",
       "Loads the register settings FILE and writes the registers it changes.\n",
       {},
       1,
       1,
       RunLoadRegs},
      {"script",
       "script FILE [--results OUT] [--max-seconds S]",
       "run a test script",
       "Runs the script FILE as the script window does and prints each row's\n"
       "step, result and verdict; --results writes the results file. A break\n"
       "step is reported and skipped. --max-seconds ends the run (a goto loop,\n"
       "a long pause) after S seconds with the rows run so far. Exit status 1\n"
       "when a row FAILs or the time ran out, 2 when the script has no steps;\n"
       "Ctrl-C ends the run with the rows run so far (exit status 130).\n",
       {{"--results", "OUT"}, {"--max-seconds", "S"}},
       1,
       1,
       RunScriptFile},
  };
  return kCommands;
}

}  // namespace evm::cli
