// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/cli_fixture.h"

namespace evm::test {
namespace {

// Each pass of the monitor gives what `read` gives on the same board, in the
// same units and scaling; the simulated device's conversions differ by a few
// counts of noise from read to read. The scaling itself is core's.
TEST_F(Evmctl, MonitorPassesMatchRead) {
  const CliResult read = Sim({"--json", "read"});
  ASSERT_EQ(read.code, 0) << read.err;
  const Json registers = Parsed(read)["registers"];
  const CliResult monitor = Sim({"monitor", "--passes", "3", "--json"});
  ASSERT_EQ(monitor.code, 0) << monitor.err;
  const std::vector<std::string> lines = Lines(monitor.out);
  ASSERT_EQ(lines.size(), 3u) << monitor.out;
  for (const std::string& line : lines) {
    const Json pass = Json::parse(line, nullptr, false);
    ASSERT_TRUE(pass.is_object()) << line;
    EXPECT_TRUE(pass["acknowledged"].get<bool>());
    EXPECT_EQ(pass["time"].get<std::string>().size(), 23u) << line;
    EXPECT_NEAR(pass["bus_volts"].get<double>(), registers[2]["scaled"].get<double>(), 0.008);
    EXPECT_NEAR(pass["shunt_volts"].get<double>(), registers[1]["scaled"].get<double>(), 4e-5);
  }
  const CliResult text = Sim({"monitor", "--passes", "1"});
  ASSERT_EQ(text.code, 0) << text.err;
  EXPECT_NE(text.out.find(" V  shunt "), std::string::npos) << text.out;

  // No device at the address.
  const CliResult absent = Sim({"--address", "45", "monitor", "--passes", "2", "--json"});
  EXPECT_EQ(absent.code, 1);
  // Every pass is said to be unanswered, and the failure ends the stream.
  const std::vector<std::string> passes = Lines(absent.out);
  ASSERT_EQ(passes.size(), 3u) << absent.out;
  for (size_t i = 0; i < 2; ++i) {
    EXPECT_NE(passes[i].find("\"acknowledged\":false"), std::string::npos) << passes[i];
  }
  const Json end = Json::parse(passes[2], nullptr, false);
  EXPECT_EQ(end.value("exit", 0), 1) << passes[2];
  EXPECT_NE(end.value("error", "").find("45h"), std::string::npos) << passes[2];
}

}  // namespace
}  // namespace evm::test
