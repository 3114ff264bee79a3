// SPDX-License-Identifier: GPL-3.0-or-later
// The statistics at the end of a monitor and the summary log, as a script
// reads them.
#include <cmath>
#include <fstream>
#include <string>
#include <vector>

#include "cli/cli_fixture.h"

namespace evm::test {
namespace {

using EvmctlStatistics = Evmctl;

std::vector<std::string> FileLines(const std::string& file) {
  std::ifstream in(PathFromUtf8(file));
  return Lines(std::string(std::istreambuf_iterator<char>(in), {}));
}

TEST_F(EvmctlStatistics, MonitorEndsWithTheFiguresOfThePrintedSamples) {
  for (const char* registers : {"4", "2"}) {
    const CliResult r =
        Sim({"--sim-load", "step:at=0.5,amps=3;noise:amps=0.05", "monitor", "--fast", "--registers",
             registers, "--passes", "300", "--stats", "--json"});
    ASSERT_EQ(r.code, 0) << r.err;
    const std::vector<std::string> lines = Lines(r.out);
    ASSERT_EQ(lines.size(), 301u) << registers;
    double sumBus = 0, sumShunt = 0, minShunt = 1e9, maxShunt = -1e9;
    for (size_t i = 0; i + 1 < lines.size(); ++i) {
      const Json pass = Json::parse(lines[i]);
      sumBus += pass["bus_volts"].get<double>();
      if (pass["shunt_volts"].is_null()) continue;
      const double shunt = pass["shunt_volts"].get<double>();
      sumShunt += shunt;
      minShunt = std::min(minShunt, shunt);
      maxShunt = std::max(maxShunt, shunt);
    }
    const Json last = Json::parse(lines.back());
    EXPECT_EQ(last["schema"], 1);
    const Json& stats = last["statistics"];
    EXPECT_EQ(stats["samples"], 300);
    EXPECT_EQ(stats["lost"], 0);
    EXPECT_GT(stats["seconds"].get<double>(), 0.5);
    EXPECT_NEAR(stats["bus_volts"]["mean"].get<double>(), sumBus / 300, 1e-9);
    if (std::string(registers) == "2") {
      EXPECT_TRUE(stats["shunt_volts"].is_null());
    } else {
      // The step is in the run: its spread is the step's, not the noise's.
      EXPECT_NEAR(stats["shunt_volts"]["mean"].get<double>(), sumShunt / 300, 1e-12);
      EXPECT_DOUBLE_EQ(stats["shunt_volts"]["min"].get<double>(), minShunt);
      EXPECT_NEAR(stats["shunt_volts"]["peak_to_peak"].get<double>(), maxShunt - minShunt, 1e-12);
    }
    for (const char* key : {"charge_amp_seconds", "charge_mah", "energy_joules", "energy_wh"}) {
      EXPECT_TRUE(stats[key].is_number()) << key;
    }
  }
  // In words without --json, after the passes.
  const CliResult text = Sim({"monitor", "--fast", "--passes", "5", "--stats"});
  ASSERT_EQ(text.code, 0) << text.err;
  EXPECT_NE(text.out.find("statistics of 5 samples over"), std::string::npos) << text.out;
  EXPECT_NE(text.out.find("charge "), std::string::npos) << text.out;
}

TEST_F(EvmctlStatistics, SummaryLogHasARowPerInterval) {
  const std::string file = File("summary.csv");
  const CliResult r =
      Sim({"log", file, "--fast", "--seconds", "5", "--summary", "500ms", "--json"});
  ASSERT_EQ(r.code, 0) << r.err;
  const long logged = Parsed(r)["logged"].get<long>();
  const std::vector<std::string> lines = FileLines(file);
  ASSERT_GE(lines.size(), 12u);
  EXPECT_NE(lines[0].find("interval 0.5 s"), std::string::npos) << lines[0];
  EXPECT_EQ(lines[1].substr(0, 19), "time_s,samples,lost");
  // Ten intervals of 5 s, and maybe the one the last sample opens at 5 s.
  EXPECT_LE(lines.size() - 2, 11u);
  long samples = 0;
  for (size_t i = 2; i < lines.size(); ++i)
    samples += std::stol(lines[i].substr(lines[i].find(',') + 1));
  EXPECT_EQ(samples, logged);

  // A link that goes silent part way leaves the row of the last interval.
  const std::string cut = File("cut.csv");
  EXPECT_EQ(Sim({"--sim-fault", "reglink:no-reply@300", "log", cut, "--fast", "--seconds", "5",
                 "--summary", "1s"})
                .code,
            1);
  const std::vector<std::string> cutLines = FileLines(cut);
  ASSERT_EQ(cutLines.size(), 3u);
  EXPECT_GT(std::stol(cutLines[2].substr(cutLines[2].find(',') + 1)), 10);

  for (const char* bad : {"0s", "1x", "0.1ms", "s", "-1s"}) {
    const CliResult refused = Sim({"log", File("b.csv"), "--seconds", "1", "--summary", bad});
    EXPECT_EQ(refused.code, 2) << bad;
  }
}

}  // namespace
}  // namespace evm::test
