// Exit statuses and error texts of evmctl, run as a process.
#include <algorithm>
#include <regex>

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
  // No board carries this vendor id, simulated or real.
  const std::vector<std::string> nowhere = {"--vendor-id", "0001"};

  struct Case {
    const char* name;
    std::vector<std::string> args;
    int code;
    std::string named;  // must appear in standard error
  };
  const Case cases[] = {
      {"no command", {}, 2, "no command"},
      {"unknown command", {"frobnicate"}, 2, "'frobnicate'"},
      {"unknown common option", {"--frob", "read"}, 2, "--frob"},
      {"unknown command option", {"--simulate", "read", "--bogus"}, 2, "'--bogus'"},
      {"stray argument", {"--simulate", "read", "extra"}, 2, "'extra'"},
      {"bad device address", {"--simulate", "--address", "80", "read"}, 2, "'80'"},
      {"bad vendor id", {"--vendor-id", "xyz", "devices"}, 2, "'xyz'"},
      {"unknown fault",
       {"--simulate", "--sim-fault", "reglink:smoke", "read"},
       2,
       "'reglink:smoke'"},
      {"fault without the simulator", {"--sim-fault", "reglink:no-reply", "read"}, 2, "--simulate"},
      {"register out of range", {"--simulate", "write", "8", "0"}, 2, "'8'"},
      {"value not hexadecimal", {"--simulate", "write", "5", "12G4"}, 2, "'12G4'"},
      {"value above 16 bits", {"--simulate", "write", "5", "10000"}, 2, "'10000'"},
      {"write without value", {"--simulate", "write", "5"}, 2, "write REG VALUE"},
      {"malformed mnemonic", {"encode", "CMD", "MUX", "4G"}, 2, "4G"},
      {"unknown mnemonic", {"encode", "FOO BAR"}, 2, "'FOO BAR'"},
      {"malformed mnemonic is not sent",
       {"--simulate", "send", "CMD ON", "CMD FOO"},
       2,
       "'CMD FOO'"},
      {"unreadable script", {"--simulate", "script", missing}, 2, missing},
      {"malformed script", {"--simulate", "script", notScript}, 2, "line 2"},
      {"unreadable register file", {"--simulate", "load-regs", missing}, 2, missing},
      {"malformed register file", {"--simulate", "load-regs", notRegisters}, 2, notRegisters},
      {"register file is a folder", {"--simulate", "load-regs", folder}, 2, "Is a directory"},
      {"script is a folder", {"--simulate", "script", folder}, 2, "Is a directory"},
      {"empty register file name", {"--simulate", "save-regs", ""}, 2, "FILE is empty"},
      {"empty log name", {"--simulate", "log", "", "--passes", "1"}, 2, "FILE is empty"},
      {"empty results name",
       {"--simulate", "script", example, "--results", ""},
       2,
       "--results is empty"},
      {"script without steps", {"--simulate", "script", blank}, 2, "no steps"},
      {"results onto a full device",
       {"--simulate", "script", example, "--results", "/dev/full"},
       2,
       std::make_error_code(std::errc::no_space_on_device).message()},
      {"log onto a full device",
       {"--simulate", "log", "/dev/full", "--passes", "2"},
       2,
       "/dev/full"},
      {"script past its time",
       {"--simulate", "script", endless, "--max-seconds", "0.2"},
       1,
       "--max-seconds 0.2"},
      {"log without a length", {"--simulate", "log", File("l.csv")}, 2, "--passes"},
      {"log with both lengths",
       {"--simulate", "log", File("l.csv"), "--passes", "1", "--seconds", "1"},
       2,
       "--seconds"},
      {"log with zero passes", {"--simulate", "log", File("l.csv"), "--passes", "0"}, 2, "'0'"},
      {"log into no folder",
       {"--simulate", "log", File("no/such/dir/l.csv"), "--passes", "1"},
       2,
       "no/such/dir/l.csv"},
      {"calibrate without shunt",
       {"calibrate", "--max-current", "2", "--lsb", "100u"},
       2,
       "--rshunt"},
      {"calibrate with zero shunt",
       {"--simulate", "calibrate", "--rshunt", "0", "--max-current", "2", "--lsb", "100u"},
       2,
       "--rshunt '0'"},
      {"calibrate above possible current",
       {"--simulate", "calibrate", "--rshunt", "0.01", "--max-current", "99", "--lsb", "100u"},
       2,
       "--max-current '99'"},
      {"calibrate with LSB out of range",
       {"--simulate", "calibrate", "--rshunt", "0.01", "--max-current", "2", "--lsb", "1u"},
       2,
       "--lsb '1u'"},
      {"calibrate with unknown gain",
       {"calibrate", "--rshunt", "0.01", "--max-current", "2", "--lsb", "100u", "--pga", "div3",
        "--bus", "16"},
       2,
       "'div3'"},
      {"read-only register does not read back",
       {"--simulate", "write", "1", "1234"},
       1,
       "register 01h"},
      {"device not at the address", {"--simulate", "--address", "45", "read"}, 1, "45h"},
      {"no log of a device not there",
       {"--simulate", "--address", "4C", "log", File("l.csv"), "--passes", "1"},
       1,
       "4Ch"},
      {"device not acknowledging a send",
       {"--simulate", "send", "I2C CH2 S 92 ACKS R ACKM P"},
       1,
       "'I2C CH2 S 92 ACKS R ACKM P'"},
      {"script with a FAIL", {"--simulate", "script", failing}, 1, failing},
      {"no register link", {nowhere[0], nowhere[1], "read"}, 3, "0001"},
      {"no board to list", {nowhere[0], nowhere[1], "devices"}, 3, "0001"},
      {"no board to write to", {nowhere[0], nowhere[1], "write", "5", "A000"}, 3, "register link"},
      {"no interface board for send",
       {nowhere[0], nowhere[1], "send", "CMD ON"},
       3,
       "interface board"},
      {"interface board at another address",
       {"--simulate", "--usb-address", "2F93", "send", "CMD ON"},
       3,
       "2F93"},
      {"no interface board for a script",
       {nowhere[0], nowhere[1], "script", example},
       3,
       "interface board"},
      {"no board for a stored calibration",
       {nowhere[0], nowhere[1], "calibrate", "--rshunt", "0.01", "--max-current", "2", "--lsb",
        "100u", "--write"},
       3,
       "register link"},
  };
  for (const Case& k : cases) {
#ifdef _WIN32
    if (std::find(k.args.begin(), k.args.end(), "/dev/full") != k.args.end()) continue;
#endif
    SCOPED_TRACE(k.name);
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

TEST_F(Evmctl, EncodePrintsTheReportCoreBuilds) {
  const std::regex format("^([0-9A-F]{2} ){31}[0-9A-F]{2}\n$");
  for (const char* text : {"CMD MUX 40", "I2C CH2 S 98 ACKS 10 ACKS 40 ACKS 11 ACKS P",
                           "SPI CH1 AFEL L 3C R H", "ONE R R 55"}) {
    SCOPED_TRACE(text);
    const CliResult r = Run({"encode", text});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_TRUE(std::regex_match(r.out, format)) << r.out;
    ParsedMnemonic parsed;
    ParseMnemonicText(text, 1, parsed);
    ASSERT_TRUE(parsed.error.empty());
    for (size_t i = 0; i < 32; ++i) {
      EXPECT_EQ(std::stoul(r.out.substr(i * 3, 2), nullptr, 16), parsed.report[i]) << "byte " << i;
    }
  }
  EXPECT_EQ(Run({"encode", "CMD", "MUX", "40"}).out, Run({"encode", "CMD MUX 40"}).out)
      << "unquoted words are one text";
  EXPECT_EQ(Run({"encode", "CMD MUX 40"}).out.substr(0, 9), "04 05 40 ");
}

TEST_F(Evmctl, EncodeJsonCarriesTheBytesOrTheError) {
  const CliResult ok = Run({"--json", "encode", "CMD MUX 40"});
  ASSERT_EQ(ok.code, 0);
  const Json good = Parsed(ok);
  EXPECT_EQ(good["text"].get<std::string>(), "CMD MUX 40");
  ASSERT_EQ(good["report"].size(), 32u);
  EXPECT_EQ(good["report"][0].get<double>(), 4);
  EXPECT_EQ(good["report"][2].get<double>(), 0x40);
  EXPECT_EQ(good["report"][31].get<double>(), 1) << "the first sequence number";
  EXPECT_EQ(good["hex"].get<std::string>() + "\n", Run({"encode", "CMD MUX 40"}).out);

  const CliResult bad = Run({"--json", "encode", "CMD FOO"});
  EXPECT_EQ(bad.code, 2);
  const Json refused = Parsed(bad);
  ParsedMnemonic parsed;
  ParseMnemonicText("CMD FOO", 1, parsed);
  EXPECT_EQ(refused["error"].get<std::string>(), parsed.error);
  EXPECT_FALSE(refused.contains("report"));
  // Text that is not UTF-8 still gives a document that parses.
  EXPECT_FALSE(Parsed(Run({"--json", "encode", "CMD \xff\xfe"})).empty());
}

TEST_F(Evmctl, DevicesMarksBothSimulatedBoards) {
  const CliResult r = Sim({"devices"});
  ASSERT_EQ(r.code, 0) << r.err;
  const auto lines = Lines(r.out);
  ASSERT_EQ(lines.size(), 2u) << r.out;
  EXPECT_EQ(lines[0].rfind("3A5F:5F00", 0), 0u) << lines[0];
  EXPECT_NE(lines[0].find("register link"), std::string::npos);
  EXPECT_EQ(lines[1].rfind("3A5F:2F90", 0), 0u) << lines[1];
  EXPECT_NE(lines[1].find("interface board"), std::string::npos);

  // A board the user may not open is still named from the listing, and marked.
  const CliResult refused = Sim({"--sim-fault", "reglink:no-permission", "devices"});
  EXPECT_EQ(refused.code, 0) << "the interface board can be used";
  const auto marked = Lines(refused.out);
  ASSERT_EQ(marked.size(), 2u) << refused.out;
  EXPECT_EQ(marked[0].rfind("3A5F:5F00", 0), 0u) << marked[0];
  EXPECT_NE(marked[0].find("cannot open"), std::string::npos) << marked[0];
  EXPECT_NE(refused.err.find("udev rule"), std::string::npos) << refused.err;
}

TEST_F(Evmctl, InjectedFaultsEndTheRunAsTheBoardWould) {
  const CliResult silent = Sim({"--sim-fault", "reglink:no-reply", "read"});
  EXPECT_NE(silent.code, 0);
  const CliResult other = Sim({"--sim-fault", "interface:no-reply", "read"});
  EXPECT_EQ(other.code, 0) << other.err;
}

}  // namespace
}  // namespace evm::test
