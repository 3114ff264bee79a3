// SPDX-License-Identifier: GPL-3.0-or-later
// The register commands of evmctl on the simulated EVM, run as processes.

#include "calibration/continuous_read.h"
#include "calibration/measurement_log.h"
#include "calibration/register_file.h"
#include "cli/cli_fixture.h"
#include "common/atomic_file.h"
#include "common/write_records.h"
#include "shell/settings_file.h"

namespace evm::test {
namespace {

// Each run starts the simulation afresh, so both outputs show the same values.
TEST_F(Evmctl, ReadTextAndJsonShowTheSameRegisters) {
  const CliResult text = Sim({"read"});
  ASSERT_EQ(text.code, 0) << text.err;
  const Json regs = Parsed(Sim({"--json", "read"}))["registers"];
  const auto lines = Lines(text.out);
  ASSERT_EQ(regs.size(), 6u);
  ASSERT_EQ(lines.size(), regs.size()) << text.out;
  EXPECT_EQ(lines[0], "00h  Config               0x399F 0011_1001_1001_1111");
  EXPECT_EQ(regs[0]["address"].get<std::string>() + " " + regs[0]["name"].get<std::string>() + " " +
                regs[0]["hex"].get<std::string>(),
            "00h Config 399F");
  EXPECT_FALSE(regs[0]["scaled"].is_number()) << "the configuration has no unit";
  EXPECT_NEAR(regs[2]["scaled"].get<double>(), 12.0, 0.05);
  EXPECT_NE(lines[2].find(" V"), std::string::npos) << lines[2];
  EXPECT_EQ(Lines(Sim({"read", "--engineering"}).out).size(), 8u) << "with the trim registers";
}

TEST_F(Evmctl, WriteSaysWhetherTheReadBackMatches) {
  const CliResult trim = Sim({"write", "6", "1"});
  EXPECT_EQ(trim.code, 0) << "the trim register is reached too: " << trim.err;

  const CliResult readOnly = Sim({"write", "2", "1234"});
  EXPECT_EQ(readOnly.code, 1);
  EXPECT_NE(readOnly.out.find("wrote 1234"), std::string::npos) << readOnly.out;
  EXPECT_NE(readOnly.out.find("MISMATCH"), std::string::npos) << readOnly.out;
  EXPECT_NE(readOnly.err.find("read-only"), std::string::npos) << readOnly.err;
}

TEST_F(Evmctl, CalibrateShowsTheTabsResultsWithOrWithoutABoard) {
  // Both ranges given: a calculation only, even where there is no board.
  const CliResult offline =
      Run({"--vendor-id", "0001", "--json", "calibrate", "--rshunt", "0.01", "--max-current", "2",
           "--lsb", "100u", "--pga", "div1", "--bus", "16"});
  ASSERT_EQ(offline.code, 0) << offline.err;
  const Json a = Parsed(offline);
  // Numbers as numbers, the tab's texts beside them.
  EXPECT_EQ(a["calibration"].get<double>(), 40960);
  EXPECT_EQ(a["text"]["calibration_hex"].get<std::string>(), "A000");
  EXPECT_FALSE(a.contains("overflow"));
  EXPECT_EQ(a["text"]["overflow"].get<std::string>(), "(Overflow Possible)");
  EXPECT_FALSE(a["written"].get<bool>());

  // The ranges from the device's register 00h (0.32 V, 32 V at power-up).
  const CliResult text =
      Sim({"calibrate", "--rshunt", "100m", "--max-current", "1", "--lsb", "100u"});
  ASSERT_EQ(text.code, 0) << text.err;
  const size_t shunt = text.out.find("\nMax Shunt Voltage ");
  ASSERT_NE(shunt, std::string::npos) << text.out;
  EXPECT_NE(text.out.substr(shunt, text.out.find('\n', shunt + 1) - shunt).find(" 0.32 "),
            std::string::npos)
      << text.out;
  EXPECT_EQ(Lines(text.out).back(), "(Overflow Not Possible)");
  EXPECT_FALSE(std::filesystem::exists(dir.path() / kSettingsFileName)) << "nothing kept";
}

// The settings file is the only one the command writes; the address given
// is for this run, and the reminder nobody saw here stays due.
TEST_F(Evmctl, CalibrateWriteStoresTheRegisterAndTheInputsOnly) {
  const std::pair<const char*, const char*> untouched[] = {
      {"EVM_Address_Settings.csv", "4661\r\n"}, {"ControlEVM_Settings.csv", "3\r\n2\r\n"}};
  for (const auto& [name, content] : untouched)
    ASSERT_TRUE(WriteFileAtomically(File(name), content));
  ASSERT_TRUE(
      WriteFileAtomically(File(kSettingsFileName), "\"1\"\r\n\"2\"\r\n\"3u\"\r\n1\r\n2020\r\n"));
  const CliResult r = Sim({"--usb-address", "2F92", "calibrate", "--rshunt", "0.1", "--max-current",
                           "1", "--lsb", "50u", "--write"});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_NE(r.out.find("register 05h = 2000 written"), std::string::npos) << r.out;
  EXPECT_EQ(ReadWholeFile(File(kSettingsFileName)), "\"0.1\"\r\n\"1\"\r\n\"50u\"\r\n1\r\n2020\r\n");
  for (const auto& [name, content] : untouched) EXPECT_EQ(ReadWholeFile(File(name)), content);

  // A later calculation starts from them: without --write nothing changes.
  const CliResult json = Sim(
      {"--json", "calibrate", "--rshunt", "0.1", "--max-current", "1", "--lsb", "50u", "--write"});
  ASSERT_EQ(json.code, 0) << json.err;
  EXPECT_TRUE(Parsed(json)["written"].get<bool>()) << "the JSON stays the only output";
}

// The log is the main window's: the header record, then one record per pass
// with the raw register values. A pass takes six register reads, so half a
// second holds a few.
TEST_F(Evmctl, LogFileHasTheMainWindowsFormatAndStopsAfterItsPassesOrTime) {
  for (const auto& [length, value, least, most] :
       {std::tuple{"--passes", "3", 3u, 3u}, std::tuple{"--seconds", "0.5", 1u, 3u}}) {
    SCOPED_TRACE(length);
    const std::string file = File(std::string("log") + value + ".csv");
    const CliResult r = Sim({"log", file, length, value});
    ASSERT_EQ(r.code, 0) << r.err;
    const std::string content = ReadWholeFile(file).value_or("");
    const std::string header = LogHeaderRecord();
    ASSERT_EQ(content.substr(0, header.size()), header);
    const std::string kRecordEnd = "\"\r\n\"\r\n";
    size_t records = 0;
    for (size_t pos = header.size(), end; pos < content.size(); pos = end + kRecordEnd.size()) {
      end = content.find(kRecordEnd, pos);
      ASSERT_NE(end, std::string::npos) << "a record without its end";
      const auto fields = ReadRecordFields(content.substr(pos, end + kRecordEnd.size() - pos));
      ASSERT_GE(fields.size(), 10u);
      EXPECT_EQ(fields[4].text, "14751") << "register 00h at power-up";
      ++records;
    }
    EXPECT_GE(records, least);
    EXPECT_LE(records, most);
    EXPECT_NE(r.out.find(std::to_string(records) + " pass"), std::string::npos) << r.out;
  }
}

TEST_F(Evmctl, RegisterFilesRoundTrip) {
  // A name outside ASCII (and outside the Windows ANSI code page) must reach
  // the file system intact through the command line.
  const std::string file = File("regs-J\xC3\xB6rg-\xD0\x96.csv");
  const CliResult saved = Sim({"save-regs", file});
  ASSERT_EQ(saved.code, 0) << saved.err;
  const auto content = ReadWholeFile(PathFromUtf8(file));
  ASSERT_TRUE(content);
  EXPECT_EQ(Lines(*content).size(), static_cast<size_t>(kRegisterFileValues));
  EXPECT_EQ(content->substr(0, 7), "14751\r\n");

  const CliResult loaded = Sim({"load-regs", file});
  EXPECT_EQ(loaded.code, 0) << loaded.err;
  EXPECT_NE(loaded.out.find("registers loaded"), std::string::npos);

  const CliResult elsewhere = Sim({"--address", "45", "load-regs", file});
  EXPECT_EQ(elsewhere.code, 1);
  EXPECT_NE(elsewhere.err.find("45h"), std::string::npos) << elsewhere.err;
}

// Ctrl-C a minute in, during a log or a looping script: the run ends at the next pass or
// row, keeps what it did and exits with 130. For the monitor it is the usual
// end of a run: the passes printed so far stand and the status is 0.
TEST_F(Evmctl, InterruptionKeepsWhatWasDone) {
  const std::string log = File("stopped.csv");
  const std::string loop = File("loop.txt");
  ASSERT_TRUE(WriteFileAtomically(loop,
                                  "\"route\",\"CMD MUX 05\",\"\",\"\"\r\n"
                                  "\"again\",\"goto 1\",\"\",\"\"\r\n"));
  const std::string results = File("loop_results.txt");
  struct Case {
    std::vector<std::string> args;
    int code;
    std::string kept;      // empty: the passes on standard output
    size_t minimum;        // bytes the kept file holds, or lines printed, at least
    const char* progress;  // what standard error, a terminal, shows meanwhile
    const char* said;      // on standard output at the end
  };
  const Case cases[] = {
      {{"log", log, "--seconds", "100000"}, 130, log, 1000, "99 passes, 60 s, last 0 A", "logged"},
      {{"script", loop, "--results", results},
       130,
       results,
       20,
       " rows run",
       "INTERRUPTED after row 2: 0 passed, 0 failed"},
      {{"monitor"}, 130, "", 10, "", "current"},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.args[0]);
    std::atomic<bool> stop{false};
    FakeClock virtualTime;
    AlarmClock interrupting(virtualTime, stop, 60000);
    std::vector<std::string> args = {"--config-dir", dir.path().string(), "--simulate"};
    args.insert(args.end(), k.args.begin(), k.args.end());
    std::ostringstream out, err;
    const int code = cli::RunEvmctl(args, cli::EvmctlIo{out, err, interrupting, &stop, true});
    EXPECT_EQ(code, k.code) << err.str();
    EXPECT_NE(err.str().find(k.progress), std::string::npos) << err.str();
    EXPECT_NE(out.str().find(k.said), std::string::npos) << out.str();
    const size_t kept =
        k.kept.empty() ? Lines(out.str()).size() : ReadWholeFile(k.kept).value_or("").size();
    EXPECT_GT(kept, k.minimum) << "what was done before is kept";
  }
}

}  // namespace
}  // namespace evm::test
