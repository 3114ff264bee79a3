// SPDX-License-Identifier: GPL-3.0-or-later
// The register and interface-board commands of evmctl on the simulated EVM.

#include "acquisition/continuous_read.h"
#include "acquisition/measurement_log.h"
#include "calibration/register_file.h"
#include "cli/cli_fixture.h"
#include "common/atomic_file.h"
#include "common/write_records.h"
#include "plot/measurement_series.h"
#include "shell/settings_file.h"

namespace evm::test {
namespace {

// The JSON of each command is the operation's result (tests/python compares
// the two); here the text evmctl prints.
TEST_F(Evmctl, ReadShowsEachRegisterOnALine) {
  const CliResult text = Sim({"read"});
  ASSERT_EQ(text.code, 0) << text.err;
  const auto lines = Lines(text.out);
  ASSERT_EQ(lines.size(), 6u) << text.out;
  EXPECT_EQ(lines[0], "00h  Config               0x399F 0011_1001_1001_1111");
  EXPECT_NE(lines[2].find(" V"), std::string::npos) << lines[2];
  EXPECT_EQ(Lines(Sim({"read", "--engineering"}).out).size(), 8u) << "with the trim registers";
}

// A monitor pass on a line; without a device every pass is said to be
// unanswered, and the failure ends the stream.
TEST_F(Evmctl, MonitorPrintsEachPassAndAnAbsentDeviceEndsTheStream) {
  const CliResult text = Sim({"monitor", "--passes", "1"});
  ASSERT_EQ(text.code, 0) << text.err;
  EXPECT_NE(text.out.find(" V  shunt "), std::string::npos) << text.out;

  const CliResult absent = Sim({"--address", "45", "monitor", "--passes", "2", "--json"});
  EXPECT_EQ(absent.code, 1);
  const std::vector<std::string> passes = Lines(absent.out);
  ASSERT_EQ(passes.size(), 3u) << absent.out;
  for (size_t i = 0; i < 2; ++i) {
    EXPECT_NE(passes[i].find("\"acknowledged\":false"), std::string::npos) << passes[i];
  }
  const Json end = Json::parse(passes[2], nullptr, false);
  EXPECT_EQ(end.value("exit", 0), 1) << passes[2];
  EXPECT_NE(end.value("error", "").find("45h"), std::string::npos) << passes[2];
}

TEST_F(Evmctl, CalibrateShowsTheTabsResultsWithOrWithoutABoard) {
  // Both ranges given: a calculation only, even where there is no board.
  const CliResult offline =
      Run({"--vendor-id", "0001", "--json", "calibrate", "--rshunt", "0.01", "--max-current", "2",
           "--lsb", "100u", "--pga", "div1", "--bus", "16"});
  ASSERT_EQ(offline.code, 0) << offline.err;
  const Json a = Parsed(offline);
  EXPECT_EQ(a["calibration"].get<double>(), 40960);
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
    MeasurementSeries passes;
    const LogReadResult read = ReadLogText(content.substr(header.size()), passes);
    EXPECT_EQ(read.skipped, 0);
    const auto records = static_cast<size_t>(read.records);
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

// Ctrl-C (at `stopAtMs`) ends a log, a looping script or the monitor at the
// next pass or row, and a wait in progress at once; the run keeps what it
// did and exits with 130. Unstopped, a silent board ends the run at its first
// time-out, not at one per register.
TEST_F(Evmctl, StopEndsEveryRunAndWaitAndKeepsTheWorkDone) {
  const std::string loop = Put("loop.txt", ScriptOf({"CMD MUX 05", "goto 1"}));
  const std::string pause = Put("pause.txt", ScriptOf({"CMD MUX 05", "pause 3600", "CMD MUX 00"}));
  const std::string convert = Put("cnv.txt", ScriptOf({"read_cnv1"}));
  const std::string log = File("stopped.csv"), results = File("loop.txt.results");
  const int64_t never = int64_t{1} << 40;
  struct Case {
    std::vector<std::string> args;
    int64_t stopAtMs;
    int code;
    int64_t endsByMs;
    const char* progress;  // what standard error, a terminal, shows meanwhile
    const char* said;      // on standard output at the end
  };
  // clang-format off
  const Case cases[] = {
      // A pass of 612 ms: six registers, each 100 ms settle and two USB frames.
      {{"log", log, "--seconds", "100000"},    60000, 130, 61000, " passes, 60 s, last 1", "logged"},
      {{"script", loop, "--results", results}, 60000, 130, 61000, " rows run",
       "INTERRUPTED after row 2: 0 passed, 0 failed"},
      {{"monitor"},                            60000, 130, 61000, "", "current"},
      {{"script", pause, "--results", File("r.txt")},               1000, 130, 1200, "", ""},
      {{"--sim-fault", "interface:no-reply", "script", convert},    500,  130, 700,  "", ""},
      {{"--sim-fault", "reglink:no-reply", "read"},                 500,  130, 700,  "", ""},
      {{"--sim-fault", "reglink:no-reply", "read"},                 never, 1,  1200, "", ""},
      // Settle, the late answer and two USB frames for each exchange: four
      // to find the device blank and calibrate it, then six registers.
      {{"--sim-fault", "reglink:slow-reply:500", "read"},           never, 0,  int64_t{10} * (100 + 500 + 2), "", ""},
      {{"--sim-fault", "reglink:slow-reply:1500", "read"},          never, 1,  1200, "", ""},
      // Four reports to find the device blank and calibrate it, six a pass:
      // the link falls silent in the second pass.
      {{"--sim-fault", "reglink:no-reply@10", "log", File("mid.csv"), "--passes", "5"},
       never, 1, 60000, "", ""},
  };
  // clang-format on
  std::string monitored;
  for (const Case& k : cases) {
    std::vector<std::string> args = {"--simulate"};
    args.insert(args.end(), k.args.begin(), k.args.end());
    SCOPED_TRACE(testing::PrintToString(k.args));
    std::atomic<bool> stop{false};
    FakeClock virtualTime;
    AlarmClock alarm(virtualTime, stop, k.stopAtMs);
    const CliResult r = RunEvmctlWith(Args(args), alarm, &stop, true);
    EXPECT_EQ(r.code, k.code) << r.err;
    EXPECT_LE(virtualTime.ElapsedMs(), k.endsByMs);
    EXPECT_NE(r.err.find(k.progress), std::string::npos) << r.err;
    EXPECT_NE(r.out.find(k.said), std::string::npos) << r.out;
    if (args[1] == "monitor") monitored = r.out;
  }
  // What was done before is kept.
  EXPECT_GT(ReadWholeFile(log).value_or("").size(), 1000u);
  EXPECT_GT(ReadWholeFile(results).value_or("").size(), 20u);
  EXPECT_GT(Lines(monitored).size(), 10u);
  EXPECT_TRUE(std::filesystem::exists(File("r.txt"))) << "the results of the rows run so far";
  MeasurementSeries passes;
  EXPECT_EQ(ReadLogText(ReadWholeFile(File("mid.csv")).value_or(""), passes).records, 1);
}

const char* kReadCnv1 = "I2C CH2 S 91 ACKS R ACKM R ACKM P";

TEST_F(Evmctl, SendPrintsReportsReadsAndAcknowledges) {
  const CliResult r = Sim({"send", "CMD MUX 05", kReadCnv1});
  ASSERT_EQ(r.code, 0) << r.err;
  const auto lines = Lines(r.out);
  ASSERT_EQ(lines.size(), 10u) << r.out;
  EXPECT_EQ(lines[0], "> CMD MUX 05");
  EXPECT_EQ(lines[1], "  command  " + ReportHex("04 05 05", 1));
  EXPECT_EQ(lines[6], "  command  " + ReportHex("02 02 00 08 BF 00 00 03 91 06 FF 05 FF 05 04", 2))
      << "sequence numbers go on";
  EXPECT_EQ(lines[9], "  acks     00");
}

TEST_F(Evmctl, ExampleScriptPasses) {
  const CliResult r = Sim({"script", (kExamples / "dac_to_converters.txt").string()});
  EXPECT_EQ(r.code, 0) << r.out << r.err;
  const auto lines = Lines(r.out);
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines.back().rfind("PASS: ", 0), 0u) << lines.back();
  EXPECT_EQ(r.out.find("FAIL"), std::string::npos) << r.out;
}

// The results file is the script window's (the stored golden file); the
// JSON rows are the operation's (tests/python compares them).
TEST_F(Evmctl, ScriptWithFailsWritesTheWindowsResults) {
  const std::string results = File("results.txt");
  const CliResult r =
      Sim({"--json", "script", (kScripts / "dac_to_cnv1.txt").string(), "--results", results});
  EXPECT_EQ(r.code, 1);
  const auto written = ReadWholeFile(results);
  const auto expected = ReadWholeFile(kScripts / "dac_to_cnv1.expected.txt");
  ASSERT_TRUE(written);
  ASSERT_TRUE(expected);
  EXPECT_EQ(*written, *expected);
  const Json doc = Parsed(r);
  EXPECT_EQ(doc["verdict"].get<std::string>(), "FAIL");

  const CliResult text = Sim({"script", (kScripts / "dac_to_cnv1.txt").string()});
  EXPECT_EQ(text.code, 1);
  EXPECT_EQ(Lines(text.out).back(),
            "FAIL: " + std::to_string(static_cast<int>(doc["pass"].get<double>())) + " passed, " +
                std::to_string(static_cast<int>(doc["fail"].get<double>())) + " failed");
}

TEST_F(Evmctl, BreakStepsAreReportedAndSkipped) {
  const std::string script = File("with_break.txt");
  ASSERT_TRUE(WriteFileAtomically(script,
                                  "\"route\",\"CMD MUX 05\",\"\",\"\"\r\n"
                                  "\"wait for the user\",\"break\",\"\",\"\"\r\n"
                                  "\"set\",\"write_dac_b 2.5\",\"\",\"\"\r\n"
                                  "\"check\",\"read_cnv1\",\"2.49\",\"2.51\"\r\n"));
  const CliResult r = Sim({"--json", "script", script});
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_NE(r.err.find("row 2: break skipped"), std::string::npos) << r.err;
  const Json doc = Parsed(r);
  ASSERT_EQ(doc["rows"].size(), 4u);
  EXPECT_TRUE(doc["rows"][1]["skipped"].get<bool>());
  EXPECT_FALSE(doc["rows"][2]["skipped"].get<bool>());
  EXPECT_EQ(doc["rows"][3]["verdict"].get<std::string>(), "PASS")
      << "the run went on after the break";
  EXPECT_EQ(doc["verdict"].get<std::string>(), "PASS");
}

}  // namespace
}  // namespace evm::test
