// Exit statuses and error texts of evmctl, run as a process.
#include <algorithm>

#include "cli/cli_fixture.h"
#include "common/atomic_file.h"
#include "mnemonic/mnemonic_language.h"
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
  const std::string folder = dir.path().string();

  struct Case {
    std::vector<std::string> args;
    int code;
    std::string named;  // must appear in standard error
  };
  const std::string sim = "--simulate";
  // clang-format off
  const Case cases[] = {
      {{}, 2, "no command"},
      {{"frobnicate"}, 2, "'frobnicate'"},
      {{"--frob", "read"}, 2, "--frob"},
      {{sim, "read", "--bogus"}, 2, "'--bogus'"},
      {{sim, "read", "extra"}, 2, "'extra'"},
      {{sim, "--address", "80", "read"}, 2, "'80'"},
      {{"--vendor-id", "xyz", "devices"}, 2, "'xyz'"},
      {{sim, "--sim-fault", "reglink:smoke", "read"}, 2, "'reglink:smoke'"},
      {{"--sim-fault", "reglink:no-reply", "read"}, 2, "--simulate"},
      {{sim, "write", "8", "0"}, 2, "'8'"},
      {{sim, "write", "5", "12G4"}, 2, "'12G4'"},
      {{sim, "write", "5", "10000"}, 2, "'10000'"},
      {{sim, "write", "5"}, 2, "write REG VALUE"},
      {{"encode", "CMD", "MUX", "4G"}, 2, "4G"},
      {{"encode", "FOO BAR"}, 2, "'FOO BAR'"},
      {{sim, "send", "CMD ON", "CMD FOO"}, 2, "'CMD FOO'"},  // nothing is sent
      {{sim, "script", missing}, 2, missing},
      {{sim, "script", notScript}, 2, "line 2"},
      {{sim, "load-regs", missing}, 2, missing},
      {{sim, "load-regs", notRegisters}, 2, notRegisters},
      {{sim, "load-regs", folder}, 2, "Is a directory"},
      {{sim, "script", folder}, 2, "Is a directory"},
      {{sim, "save-regs", ""}, 2, "FILE is empty"},
      {{sim, "log", "", "--passes", "1"}, 2, "FILE is empty"},
      {{sim, "script", example, "--results", ""}, 2, "--results is empty"},
      {{sim, "script", blank}, 2, "no steps"},
      {{sim, "script", example, "--results", "/dev/full"}, 2, std::make_error_code(std::errc::no_space_on_device).message()},
      {{sim, "log", "/dev/full", "--passes", "2"}, 2, "/dev/full"},
      {{sim, "script", endless, "--max-seconds", "0.2"}, 1, "--max-seconds 0.2"},
      {{sim, "log", File("l.csv")}, 2, "--passes"},
      {{sim, "log", File("l.csv"), "--passes", "1", "--seconds", "1"}, 2, "--seconds"},
      {{sim, "log", File("l.csv"), "--passes", "0"}, 2, "'0'"},
      {{sim, "log", File("no/such/dir/l.csv"), "--passes", "1"}, 2, "no/such/dir/l.csv"},
      {{"calibrate", "--max-current", "2", "--lsb", "100u"}, 2, "--rshunt"},
      {{sim, "calibrate", "--rshunt", "0", "--max-current", "2", "--lsb", "100u"}, 2, "--rshunt '0'"},
      {{sim, "calibrate", "--rshunt", "0.01", "--max-current", "99", "--lsb", "100u"}, 2, "--max-current '99'"},
      {{sim, "calibrate", "--rshunt", "0.01", "--max-current", "2", "--lsb", "1u"}, 2, "--lsb '1u'"},
      {{"calibrate", "--rshunt", "0.01", "--max-current", "2", "--lsb", "100u", "--pga", "div3", "--bus", "16"}, 2, "'div3'"},
      {{sim, "write", "1", "1234"}, 1, "register 01h"},  // read-only: no read-back
      {{sim, "--address", "45", "read"}, 1, "45h"},
      {{sim, "--sim-fault", "reglink:no-reply", "read"}, 1, "did not acknowledge"},
      {{sim, "--address", "4C", "log", File("l.csv"), "--passes", "1"}, 1, "4Ch"},  // no log started
      {{sim, "send", "I2C CH2 S 92 ACKS R ACKM P"}, 1, "'I2C CH2 S 92 ACKS R ACKM P'"},
      {{sim, "script", failing}, 1, failing},
      {{"--vendor-id", "0001", "read"}, 3, "0001"},  // no board has this id, simulated or real
      {{"--vendor-id", "0001", "devices"}, 3, "0001"},
      {{"--vendor-id", "0001", "send", "CMD ON"}, 3, "interface board"},
      {{sim, "--usb-address", "2F93", "send", "CMD ON"}, 3, "2F93"},
      {{"--vendor-id", "0001", "script", example}, 3, "interface board"},
      {{"--vendor-id", "0001", "calibrate", "--rshunt", "0.01", "--max-current", "2", "--lsb", "100u", "--write"}, 3, "register link"},
  };
  // clang-format on
  for (const Case& k : cases) {
#ifdef _WIN32
    if (std::find(k.args.begin(), k.args.end(), "/dev/full") != k.args.end()) continue;
#endif
    SCOPED_TRACE(k.named);
    const CliResult r = Run(k.args);
    EXPECT_EQ(r.code, k.code) << r.err;
    EXPECT_NE(r.err.find(k.named), std::string::npos) << r.err;
  }
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
       {std::pair{"", "--config-dir needs a folder"},
        std::pair{"/dev/null", "--config-dir: '/dev/null' is not a folder"}}) {
#ifdef _WIN32
    if (std::string(folder) == "/dev/null") continue;
#endif
    std::ostringstream out, err;
    EXPECT_EQ(cli::RunEvmctl({"--config-dir", folder, "encode", "CMD ON"},
                             cli::EvmctlIo{out, err, clock, nullptr, false}),
              2);
    EXPECT_NE(err.str().find(error), std::string::npos) << err.str();
  }
}

TEST_F(Evmctl, EveryCommandHasItsOwnHelp) {
  const CliResult all = Run({"--help"});
  ASSERT_EQ(all.code, 0);
  for (const char* command : {"devices", "read", "write", "send", "encode", "calibrate", "log",
                              "save-regs", "load-regs", "script"}) {
    SCOPED_TRACE(command);
    EXPECT_NE(all.out.find(std::string("\n  ") + command), std::string::npos) << "listed";
    const CliResult r = Run({command, "--help"});
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(r.out.rfind(std::string("Usage: evmctl [common options] ") + command, 0), 0u)
        << r.out;
    EXPECT_GT(Lines(r.out).size(), 1u) << "a description follows the synopsis";
  }
}

TEST_F(Evmctl, EncodePrintsTheReportCoreBuildsInTextOrJson) {
  for (const char* text : {"CMD MUX 40", "SPI CH1 AFEL L 3C R H"}) {
    SCOPED_TRACE(text);
    const std::string hex = ReportText(text, 1);
    const CliResult r = Run({"encode", text});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out, hex + "\n");
    const Json json = Parsed(Run({"--json", "encode", text}));
    EXPECT_EQ(json["hex"].get<std::string>(), hex);
    ASSERT_EQ(json["report"].size(), 32u);
    EXPECT_EQ(json["report"][31].get<double>(), 1) << "the first sequence number";
  }
  EXPECT_EQ(Run({"encode", "CMD", "MUX", "40"}).out, Run({"encode", "CMD MUX 40"}).out)
      << "unquoted words are one text";

  const CliResult bad = Run({"--json", "encode", "CMD FOO"});
  EXPECT_EQ(bad.code, 2);
  ParsedMnemonic parsed;
  ParseMnemonicText("CMD FOO", 1, parsed);
  EXPECT_EQ(Parsed(bad)["error"].get<std::string>(), parsed.error);
  // Text that is not UTF-8 still gives a document that parses.
  EXPECT_FALSE(Parsed(Run({"--json", "encode", "CMD \xff\xfe"})).empty());
}

TEST_F(Evmctl, DevicesNamesBothSimulatedBoardsAndOneThatCannotBeOpened) {
  const auto lines = Lines(Sim({"devices"}).out);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0].rfind("3A5F:5F00", 0), 0u) << lines[0];
  EXPECT_NE(lines[0].find("register link"), std::string::npos);
  EXPECT_EQ(lines[1].rfind("3A5F:2F90", 0), 0u) << lines[1];

  const CliResult refused = Sim({"--sim-fault", "reglink:no-permission", "devices"});
  EXPECT_EQ(refused.code, 0) << "the interface board can be used";
  const auto marked = Lines(refused.out);
  ASSERT_EQ(marked.size(), 2u) << refused.out;
  EXPECT_NE(marked[0].find("cannot open"), std::string::npos) << marked[0];
  EXPECT_NE(refused.err.find("udev rule"), std::string::npos) << refused.err;
  EXPECT_EQ(Sim({"--sim-fault", "interface:no-reply", "read"}).code, 0) << "another board";
}

}  // namespace
}  // namespace evm::test
