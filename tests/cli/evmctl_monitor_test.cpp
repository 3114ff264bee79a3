#include <algorithm>
#include <cmath>

#include "cli/cli_fixture.h"

namespace evm::test {
namespace {

// Each pass of the monitor gives what `read` gives on the same board, in the
// same units and scaling; the simulated device's conversions differ by a few
// counts of noise from read to read.
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
    // Absolute noise for the voltages, 1 % for the products of the two.
    const std::tuple<const char*, size_t, double> fields[] = {
        {"shunt_volts", 1, 4e-5}, {"bus_volts", 2, 0.008}, {"watts", 3, 0}, {"amperes", 4, 0}};
    for (const auto& [key, reg, noise] : fields) {
      const double expected = registers[reg]["scaled"].get<double>();
      EXPECT_NEAR(pass[key].get<double>(), expected, std::max(noise, std::abs(expected) * 0.01))
          << key;
    }
  }
  const CliResult text = Sim({"monitor", "--passes", "1"});
  ASSERT_EQ(text.code, 0) << text.err;
  EXPECT_NE(text.out.find(" V  shunt "), std::string::npos) << text.out;

  // No device at the address: every pass is said to be unanswered.
  const CliResult absent = Sim({"--address", "45", "monitor", "--passes", "2", "--json"});
  EXPECT_EQ(absent.code, 1);
  ASSERT_EQ(Lines(absent.out).size(), 2u) << absent.out;
  for (const std::string& line : Lines(absent.out)) {
    EXPECT_NE(line.find("\"acknowledged\":false"), std::string::npos) << line;
  }
}

}  // namespace
}  // namespace evm::test
