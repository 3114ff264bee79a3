// The register commands of evmctl on the simulated EVM, run as processes.
#include <cmath>

#include "calibration/continuous_read.h"
#include "calibration/register_file.h"
#include "cli/cli_fixture.h"
#include "common/atomic_file.h"
#include "common/write_records.h"
#include "registers/register_map.h"
#include "shell/settings_file.h"
#include "support/sim_fixture.h"

namespace evm::test {
namespace {

// Each run starts the simulation afresh, so both outputs show the same values.
TEST_F(Evmctl, ReadTextAndJsonShowTheSameRegisters) {
  for (const bool engineering : {false, true}) {
    SCOPED_TRACE(engineering ? "engineering" : "normal");
    std::vector<std::string> args = {"read"};
    if (engineering) args.push_back("--engineering");
    const CliResult text = Sim(args);
    args.insert(args.begin(), "--json");
    const Json doc = Parsed(Sim(args));
    ASSERT_EQ(text.code, 0) << text.err;
    EXPECT_EQ(doc["device_address"].get<int>(), 0x40);
    const auto& regs = doc["registers"];
    const auto lines = Lines(text.out);
    ASSERT_EQ(regs.size(), engineering ? 8u : 6u);
    ASSERT_EQ(lines.size(), regs.size()) << text.out;
    for (size_t i = 0; i < regs.size(); ++i) {
      const Json& reg = regs[i];
      const auto value = static_cast<int32_t>(reg["value"].get<double>());
      EXPECT_EQ(reg["hex"].get<std::string>(), FormatRegText(value, kFormHex, false));
      EXPECT_EQ(lines[i].rfind(
                    reg["address"].get<std::string>() + "  " + reg["name"].get<std::string>(), 0),
                0u)
          << lines[i];
      EXPECT_NE(lines[i].find("0x" + reg["hex"].get<std::string>()), std::string::npos) << lines[i];
      EXPECT_EQ(reg["scaled"].is_number(), i >= 1 && i <= 4) << i;
    }
    // The bus voltage of the simulated supply, in volts, in both outputs.
    EXPECT_NEAR(regs[2]["scaled"].get<double>(), 12.0, 0.05);
    EXPECT_NE(lines[2].find(" V"), std::string::npos);
    EXPECT_EQ(regs[0]["value"].get<double>(), 0x399F) << "the configuration at power-up";
  }
}

TEST_F(Evmctl, WriteSaysWhetherTheReadBackMatches) {
  const CliResult ok = Sim({"write", "5", "a000"});
  EXPECT_EQ(ok.code, 0) << ok.err;
  EXPECT_EQ(ok.out, "05h  wrote A000  read A000  match\n");

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
  struct Shown {
    const char* key;
    double number;  // NAN: text only
    const char* text;
  };
  const Shown shown[] = {
      {"max_possible_current", 4, "4."}, {"min_current_lsb", 61.037e-6, "61.037u"},
      {"calibration", 40960, "40960"},   {"calibration_hex", NAN, "A000"},
      {"max_power", 52.4272, "52.427"},  {"overflow", NAN, "(Overflow Possible)"}};
  for (const Shown& k : shown) {
    SCOPED_TRACE(k.key);
    if (!std::isnan(k.number)) {
      ASSERT_TRUE(a[k.key].is_number());
      EXPECT_NEAR(a[k.key].get<double>(), k.number, std::fabs(k.number) * 1e-6);
    } else {
      EXPECT_FALSE(a.contains(k.key));
    }
    EXPECT_EQ(a["text"][k.key].get<std::string>(), k.text);
  }
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
// exactly as core's log writer makes it from the values read. A pass takes
// six register reads, so half a second holds a few.
TEST_F(Evmctl, LogFileHasTheMainWindowsFormatAndStopsAfterItsPassesOrTime) {
  SimContext c;
  RegisterStore& store = c.evm.registers;
  // The calibration tab's initial inputs (100u A/bit) scale power and current.
  store.CurrentLsb = 100e-6;
  store.PowerLsb = 2e-3;
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
      const std::string record = content.substr(pos, end + kRecordEnd.size() - pos);
      const auto fields = ReadRecordFields(record);
      ASSERT_GE(fields.size(), 10u) << record;
      DateTime t;
      ASSERT_EQ(std::sscanf(fields[0].text.c_str(), "%d-%d-%d %d:%d:%d", &t.month, &t.day, &t.year,
                            &t.hour, &t.minute, &t.second),
                6);
      for (int i = 0; i <= kNormalLastReg; ++i) {
        store.RegValue[static_cast<size_t>(i)] = std::stoi(fields[static_cast<size_t>(4 + i)].text);
        ScaleReg(store, i);
      }
      EXPECT_EQ(store.RegValue[0], 0x399F);
      EXPECT_EQ(record, LogDataRecord(c.evm, t));
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
  const auto values = ParseRegisterFile(*content);
  ASSERT_TRUE(values) << *content;
  EXPECT_EQ((*values)[0], 0x399F);
  EXPECT_EQ(Lines(*content).size(), static_cast<size_t>(kRegisterFileValues));
  EXPECT_EQ(content->substr(0, 7), "14751\r\n");

  const CliResult loaded = Sim({"load-regs", file});
  EXPECT_EQ(loaded.code, 0) << loaded.err;
  EXPECT_NE(loaded.out.find("registers loaded"), std::string::npos);

  const CliResult elsewhere = Sim({"--address", "45", "load-regs", file});
  EXPECT_EQ(elsewhere.code, 1);
  EXPECT_NE(elsewhere.err.find("45h"), std::string::npos) << elsewhere.err;
}

// Virtual time that raises the stop flag, as Ctrl-C would, once a minute
// has passed.
class InterruptingClock final : public Clock {
 public:
  explicit InterruptingClock(std::atomic<bool>& stop) : stop_(stop) {}
  void SleepMs(int64_t ms) override {
    clock_.SleepMs(ms);
    if (clock_.ElapsedMs() >= 60000) stop_ = true;
  }
  double SecondsSinceMidnight() override { return clock_.SecondsSinceMidnight(); }
  DateTime Now() override { return clock_.Now(); }

 private:
  FakeClock clock_;
  std::atomic<bool>& stop_;
};

// Ctrl-C during a log or a looping script: the run ends at the next pass or
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
    std::string kept;  // empty: the passes on standard output
    size_t minimum;    // bytes the kept file holds, or lines printed, at least
  };
  const Case cases[] = {
      {{"log", log, "--seconds", "100000"}, 130, log, 1000},
      {{"script", loop, "--results", results}, 130, results, 20},
      {{"monitor"}, 0, "", 10},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.args[0]);
    std::atomic<bool> stop{false};
    InterruptingClock interrupting(stop);
    std::vector<std::string> args = {"--config-dir", dir.path().string(), "--simulate"};
    args.insert(args.end(), k.args.begin(), k.args.end());
    std::ostringstream out, err;
    const int code = cli::RunEvmctl(args, cli::EvmctlIo{out, err, interrupting, &stop, false});
    EXPECT_EQ(code, k.code) << err.str();
    const size_t kept =
        k.kept.empty() ? Lines(out.str()).size() : ReadWholeFile(k.kept).value_or("").size();
    EXPECT_GT(kept, k.minimum) << "what was done before is kept";
  }
}

}  // namespace
}  // namespace evm::test
