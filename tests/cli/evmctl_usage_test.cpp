// SPDX-License-Identifier: GPL-3.0-or-later
// Exit statuses, error texts, help and the board listing of evmctl.
#include <algorithm>
#include <map>

#include "cli/cli_fixture.h"
#include "cli/commands.h"
#include "common/atomic_file.h"
#include "shell/settings_file.h"

namespace evm::test {
namespace {

// Every class of failure gives its status, and the error names the input
// at fault.
TEST_F(Evmctl, FailuresExitWithTheirStatusAndNameTheInput) {
  const std::string missing = File("missing.txt");
  const std::string notRegisters = File("not_registers.csv");
  ASSERT_TRUE(WriteFileAtomically(notRegisters, "1\r\n2\r\nthree\r\n"));
  const std::string notScript = File("not_script.txt");
  ASSERT_TRUE(
      WriteFileAtomically(notScript, "\"a\",\"CMD ON\",\"\",\"\"\r\n\"only two\",\"x\"\r\n"));
  const std::string failing = (kScripts / "dac_to_cnv1.txt").string();
  const std::string example = (kExamples / "dac_to_converters.txt").string();
  const std::string blank = File("blank.txt");
  ASSERT_TRUE(WriteFileAtomically(blank, "\r\n  \r\n\r\n"));
  const std::string endless = File("endless.txt");
  ASSERT_TRUE(WriteFileAtomically(endless, "\"\",\"pause 1e9\",\"\",\"\"\r\n"));
  const std::map<std::string, std::string> names = {
      {"$sim", "--simulate"},    {"$dir", dir.path().string()},
      {"$missing", missing},     {"$notRegisters", notRegisters},
      {"$notScript", notScript}, {"$failing", failing},
      {"$example", example},     {"$blank", blank},
      {"$endless", endless}};
  const auto expand = [&](std::string field) {
    for (const auto& [name, value] : names) {
      if (field.rfind(name, 0) == 0) field.replace(0, name.size(), value);
    }
    return field;
  };
  std::istringstream table(ReadWholeFile(kTestData / "cli" / "refusals.txt").value_or(""));
  int cases = 0;
  for (std::string line; std::getline(table, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == '#') continue;
    std::vector<std::string> fields;
    for (size_t pos = 0, bar = 0; bar != std::string::npos; pos = bar + 1) {
      bar = line.find('|', pos);
      fields.push_back(expand(line.substr(pos, bar - pos)));
    }
    const std::vector<std::string> args(fields.begin() + 2, fields.end());
#ifdef _WIN32
    if (std::find_if(args.begin(), args.end(),
                     [](const std::string& a) { return a.rfind("/dev/", 0) == 0; }) != args.end()) {
      continue;
    }
#endif
    SCOPED_TRACE(line);
    const CliResult r = Run(args);
    EXPECT_EQ(r.code, std::stoi(fields[0])) << r.err;
    EXPECT_NE(r.err.find(fields[1]), std::string::npos) << r.err;
    ++cases;
  }
  EXPECT_GT(cases, 40) << "the table was read";
}

TEST_F(Evmctl, StateFileFaultsNameTheFile) {
  const auto settings = dir.path() / kSettingsFileName;
  ASSERT_TRUE(WriteFileAtomically(settings, "\"x\"\r\n\"1\"\r\n\"50u\"\r\n1\r\n2026\r\n"));
  const CliResult read = Sim({"read"});
  EXPECT_EQ(read.code, 0) << read.err;
  EXPECT_NE(read.err.find("Rshunt 'x' stored in '" + settings.string() + "'"), std::string::npos)
      << read.err;

  std::filesystem::remove(settings);
  std::filesystem::create_directory(settings);
  const CliResult stored =
      Sim({"calibrate", "--rshunt", "0.1", "--max-current", "1", "--lsb", "50u", "--write"});
  EXPECT_EQ(stored.code, 2);
  EXPECT_NE(stored.err.find("could not be stored in '" + settings.string() + "'"),
            std::string::npos)
      << stored.err;
}

TEST(EvmctlOptions, ConfigDirMustNameAFolder) {
  FakeClock clock;
  for (const auto& [folder, error] :
       {std::pair{"", "--config-dir: the value is empty"},
        std::pair{"/dev/null", "--config-dir: '/dev/null' is not a folder"}}) {
#ifdef _WIN32
    if (std::string(folder) == "/dev/null") continue;
#endif
    const CliResult r = RunEvmctlWith({"--config-dir", folder, "encode", "CMD ON"}, clock);
    EXPECT_EQ(r.code, 2);
    EXPECT_NE(r.err.find(error), std::string::npos) << r.err;
  }
}

TEST_F(Evmctl, EveryCommandHasItsOwnHelp) {
  const CliResult all = Run({"--help"});
  ASSERT_EQ(all.code, 0);
  ASSERT_FALSE(cli::Commands().empty());
  for (const cli::Command& c : cli::Commands()) {
    const std::string& command = c.name;
    SCOPED_TRACE(command);
    EXPECT_NE(all.out.find("\n  " + command), std::string::npos) << "listed";
    const CliResult r = Run({command, "--help"});
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(r.out.rfind("Usage: evmctl [common options] " + command, 0), 0u) << r.out;
    EXPECT_GT(Lines(r.out).size(), 1u) << "a description follows the synopsis";
  }
}

TEST_F(Evmctl, EncodePrintsTheReportInTextOrJson) {
  const std::string hex = ReportHex("04 05 40", 1);
  const CliResult r = Run({"encode", "CMD", "MUX", "40"});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out, hex + "\n") << "unquoted words are one text";
  const Json json = Parsed(Run({"--json", "encode", "CMD MUX 40"}));
  EXPECT_EQ(json["hex"].get<std::string>(), hex);

  // Text that is not UTF-8 still gives a document that parses.
  EXPECT_FALSE(Parsed(Run({"--json", "encode", "CMD \xff\xfe"})).empty());
}

// Every board is listed, the stored choice marked; one that cannot be opened
// is said to be so, and why.
TEST_F(Evmctl, DevicesListsEveryBoardAndMarksTheStoredSelectionAndReglinkNamesOne) {
  const CliResult refused = Sim({"--sim-fault", "reglink:no-permission", "devices"});
  EXPECT_EQ(refused.code, 0) << "the interface board can be used";
  const auto marked = Lines(refused.out);
  ASSERT_EQ(marked.size(), 2u) << refused.out;
  EXPECT_NE(marked[0].find("cannot open"), std::string::npos) << marked[0];
  EXPECT_NE(refused.err.find("udev rule"), std::string::npos) << refused.err;

  // --reglink names the board read; the simulated chips sit on different buses.
  const auto busVolts = [this](std::vector<std::string> args) {
    args.insert(args.end(), {"--sim-boards", "2", "--json", "read"});
    return Parsed(Sim(args))["registers"][2]["scaled"].get<double>();
  };
  EXPECT_NEAR(busVolts({}), 12.0, 0.1);
  EXPECT_NEAR(busVolts({"--reglink", "RL0002"}), 6.0, 0.1);

  ASSERT_TRUE(WriteFileAtomically(dir.path() / "EVM_Board_Selection.csv",
                                  "\"RegLink\",\"RL0002\"\r\n\"Interface\",\"\"\r\n"));
  const auto lines = Lines(Sim({"--sim-boards", "2", "devices"}).out);
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[0].rfind("3A5F:5F00", 0), 0u) << lines[0];
  EXPECT_NE(lines[0].find("register link"), std::string::npos);
  EXPECT_EQ(lines[0].find("(selected)"), std::string::npos) << lines[0];
  EXPECT_EQ(lines[1].rfind("3A5F:2F90", 0), 0u) << lines[1];
  EXPECT_NE(lines[2].find("serial RL0002"), std::string::npos) << lines[2];
  EXPECT_NE(lines[2].find("(selected)"), std::string::npos) << lines[2];
}

// With --json every command answers with one document on standard output,
// a failure with its error and status, and no float carries rounding noise.
// The keys are the vocabulary every front end shares: a quantity has one
// name, with its unit, in every command.
TEST_F(Evmctl, JsonAnswersAreOneDocumentInTheSharedVocabularyFailuresIncluded) {
  const std::string regs = File("regs.csv");
  const struct {
    std::vector<std::string> args;
    int code;
    std::vector<std::string> keys;  // keys of the command's own answer
    const char* error;              // the start of the error's cause, or nullptr
  } cases[] = {
      // The quantities' names; Python's tests hold each against its own.
      {{"--simulate", "read"}, 0, {"registers", "amps", "current_lsb_amps"}, nullptr},
      {{"--simulate", "monitor", "--passes", "1"}, 0, {"time_s", "amps", "current_raw"}, nullptr},
      {{"calibrate", "--rshunt", "0.01", "--max-current", "2", "--lsb", "100u", "--pga", "div8",
        "--bus", "32"},
       0,
       {"max_bus_volts", "current_lsb_amps"},
       nullptr},
      {{"--simulate", "save-regs", regs}, 0, {"saved"}, nullptr},
      {{"--simulate", "load-regs", regs}, 0, {"loaded"}, nullptr},
      {{"--simulate", "load-regs", File("missing.csv")}, 2, {}, nullptr},
      {{"--simulate", "--sim-fault", "reglink:no-reply", "read"}, 1, {}, nullptr},
      {{"--simulate", "write", "1", "1234"}, 1, {"match"}, nullptr},
      {{"--simulate", "write", "6", "1"}, 0, {"match"}, nullptr},  // the trim register too
      {{"--simulate", "devices"}, 0, {"devices"}, nullptr},
      // One shape with boards or without, and the cause in the error.
      {{"--vendor-id", "0001", "devices"}, 3, {"devices"}, "no board with vendor id 0001 found"},
      {{"--vendor-id", "0001", "read"}, 3, {}, nullptr},
      {{"read", "--bogus"}, 2, {}, nullptr},
      {{"encode", ""}, 2, {"text"}, nullptr},
  };
  for (const auto& k : cases) {
    std::vector<std::string> args = k.args;
    args.insert(args.begin(), "--json");
    SCOPED_TRACE(testing::PrintToString(args));
    const CliResult r = Run(args);
    EXPECT_EQ(r.code, k.code) << r.err;
    ASSERT_EQ(Lines(r.out).size(), 1u) << r.out;
    const Json doc = Parsed(r);
    EXPECT_EQ(doc.value("schema", 0), 1) << r.out;
    EXPECT_EQ(r.out.rfind("{\"schema\":1,", 0), 0u) << "the layout's version first";
    for (const std::string& key : k.keys) EXPECT_TRUE(doc.contains(key)) << key << ": " << r.out;
    if (k.code != 0) {
      EXPECT_EQ(doc.value("exit", 0), k.code) << r.out;
      const std::string error = doc.value("error", "");
      EXPECT_NE(error, "") << r.out;
      EXPECT_NE(error, "failed") << "the cause, not a word for any failure";
      if (k.error) {
        EXPECT_NE(error.find(k.error), std::string::npos) << error;
      }
      EXPECT_NE(r.err, "") << "messages stay on standard error";
    }
    EXPECT_EQ(r.out.find("0000000"), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find("9999999"), std::string::npos) << r.out;
  }
}

// A device just powered up has 0 in register 05h, as every simulated run's
// is: before the first measurement the stored calibration is written to it,
// with a note. With --keep-blank it reads 0 A, and read, monitor and log
// say why, once.
TEST_F(Evmctl, ABlankDeviceGetsTheStoredCalibrationBeforeItsFirstMeasurement) {
  ASSERT_EQ(
      Sim({"calibrate", "--rshunt", "0.01", "--max-current", "2", "--lsb", "100u", "--write"}).code,
      0);
  const std::string wrote = "register 05h was 0: wrote A000 (the stored calibration)";
  const std::string note = "register 05h (Full Scale Cal) is 0, so current and power read 0";
  for (const std::string command : {"read", "monitor", "log"}) {
    for (const bool keepBlank : {false, true}) {
      std::vector<std::string> args = {"--json", command, "--passes", "2"};
      if (command == "read") args.resize(2);
      if (command == "log") args.insert(args.begin() + 2, File("run.csv"));
      if (keepBlank) args.insert(args.begin(), "--keep-blank");
      SCOPED_TRACE(testing::PrintToString(args));
      const CliResult r = Sim(args);
      ASSERT_EQ(r.code, 0) << r.err;
      EXPECT_EQ(r.err.find(wrote) != std::string::npos, !keepBlank) << r.err;
      const size_t at = r.err.find(note);
      EXPECT_EQ(at != std::string::npos, keepBlank) << r.err;
      EXPECT_EQ(r.err.find(note, at + 1), std::string::npos) << "one note at most";
      if (command == "log") continue;                          // its document holds no quantity
      const Json doc = Parsed({0, Lines(r.out).front(), ""});  // 1 A through 10 mOhm
      EXPECT_NEAR(doc.value("amps", -1.0), keepBlank ? 0.0 : 1.0, 0.01) << r.out;
    }
  }
}

}  // namespace
}  // namespace evm::test
