// SPDX-License-Identifier: GPL-3.0-or-later
// evmctl capture on the simulated load profiles, on virtual time.
#include <algorithm>

#include "cli/cli_fixture.h"

namespace evm::test {
namespace {

using EvmctlCapture = Evmctl;

constexpr const char* kTrain = "pulse:at=2,width=0.1,amps=2;pulse:at=3,width=0.1,amps=2";

std::vector<std::filesystem::path> FilesIn(const std::filesystem::path& folder) {
  std::vector<std::filesystem::path> files;
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(folder, ec)) {
    files.push_back(entry.path());
  }
  std::sort(files.begin(), files.end());
  return files;
}

TEST_F(EvmctlCapture, OneFilePerTriggerAndAnExitStatusForEachEnd) {
  const struct {
    std::vector<std::string> args;  // after --trigger, with --out DIR added
    int code;
    size_t files;
    const char* err;  // a part of standard error
  } cases[] = {
      {{"amps>1.5", "--pre", "0.05", "--post", "0.2"}, 0, 1, "1 capture, "},
      {{"amps>1.5", "--pre", "0.05", "--count", "2"}, 0, 2, "2 captures, "},
      {{"amps<1.5", "--count", "0", "--timeout", "4"}, 0, 2, "2 captures, "},
      {{"amps>2.5", "--timeout", "3"}, 1, 0, "the time-out of 3 s came after 0 of 1 captures"},
      {{"amps>1.5", "--post", "5", "--timeout", "4"},
       1,
       1,
       "came after 0 of 1 captures; capture 1 was cut short and kept"},
      {{"volts>1"}, 2, 0, "the trigger 'volts>1' watches 'volts'"},
      {{"amps>1", "--pre", "-1"}, 2, 0, "--pre: '-1' is not 0 to 3600 seconds"},
      {{"shunt_volts>1", "--registers", "2"}, 2, 0, "--registers 2 does not read shunt_volts"},
  };
  int run = 0;
  for (const auto& k : cases) {
    SCOPED_TRACE(k.args[0] + " " + std::to_string(run));
    const std::string out = File("captures" + std::to_string(run++));
    std::vector<std::string> args = {"--simulate", "--sim-load", kTrain,  "capture",
                                     "--trigger",  k.args[0],    "--out", out};
    args.insert(args.end(), k.args.begin() + 1, k.args.end());
    const CliResult r = Run(args);
    EXPECT_EQ(r.code, k.code) << r.err;
    EXPECT_NE(r.err.find(k.err), std::string::npos) << r.err;
    EXPECT_EQ(FilesIn(PathFromUtf8(out)).size(), k.files);
  }
  const CliResult r = Run({"--simulate", "capture", "--trigger", "amps>1"});
  EXPECT_EQ(r.code, 2);
  EXPECT_NE(r.err.find("give --out DIR"), std::string::npos) << r.err;
}

// One JSON record a capture, in the shared vocabulary, naming its file.
TEST_F(EvmctlCapture, JsonTellsEachCaptureAndItsFile) {
  const std::string out = File("captures");
  const CliResult r =
      Run({"--simulate", "--json", "--sim-load", kTrain, "capture", "--trigger", "amps>1.5",
           "--pre", "0.05", "--post", "0.2", "--count", "2", "--out", out});
  ASSERT_EQ(r.code, 0) << r.err;
  std::istringstream lines(r.out);
  std::vector<Json> records;
  for (std::string line; std::getline(lines, line);) records.push_back(Json::parse(line));
  ASSERT_EQ(records.size(), 2u);
  const auto files = FilesIn(PathFromUtf8(out));
  ASSERT_EQ(files.size(), 2u);
  for (size_t n = 0; n < 2; ++n) {
    const Json& j = records[n];
    EXPECT_EQ(j["schema"], 1);
    EXPECT_EQ(j["capture"], n + 1);
    EXPECT_EQ(j["trigger"], "amps>1.5");
    EXPECT_EQ(PathFromUtf8(j["file"].get<std::string>()), files[n]);
    // ISO 8601 with the zone, at the second of the pulse.
    const std::string at = j["trigger_time"];
    EXPECT_EQ(at.substr(0, 19), n == 0 ? "2026-01-15T09:00:02" : "2026-01-15T09:00:03");
    EXPECT_TRUE(at.size() == 32 && (at[26] == '+' || at[26] == '-')) << at;
    const double t = j["trigger_time_s"];
    EXPECT_GE(t, 0.05);
    EXPECT_LT(t, 0.058);
  }
}

}  // namespace
}  // namespace evm::test
