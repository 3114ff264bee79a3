// SPDX-License-Identifier: GPL-3.0-or-later
// `evmctl script --boards`: several pairs at once, each in its own session
// with its own record, and the worst exit status of them.
#include <map>

#include "cli/cli_fixture.h"

namespace evm::test {
namespace {

class Station : public Evmctl {
 protected:
  Json Record(const std::string& name) {
    std::ifstream in(dir.path() / name);
    Json json = Json::parse(in, nullptr, false);
    EXPECT_FALSE(json.is_discarded()) << name;
    return json;
  }
};

TEST_F(Station, EachPairRunsAloneAndTheWorstStatusWins) {
  const std::string example = Utf8FromPath(kExamples / "dac_to_converters.txt");
  struct Case {
    const char* name;
    std::vector<std::string> options;  // before the command
    std::vector<std::string> scriptOptions;
    bool stopFirst;
    int status;
    std::map<std::string, std::string> outcomes;  // record file: outcome
  };
  const std::vector<Case> kCases = {
      {"four pairs, the third goes silent",
       {"--sim-boards", "4", "--sim-fault", "interface#3:no-reply@5"},
       {"--boards", "all"},
       false,
       1,
       {{"r-IB0001.json", "PASS"},
        {"r-IB0002.json", "PASS"},
        {"r-IB0003.json", "ERROR"},
        {"r-IB0004.json", "PASS"}}},
      {"a pair whose interface board is not there",
       {"--sim-boards", "2"},
       {"--boards", "RL0001/IB0001,RL0002/IB0009"},
       false,
       3,
       {{"r-IB0001.json", "PASS"}, {"r-IB0009.json", "ERROR"}}},
      {"an odd board out has no pair",
       {"--sim-boards", "2", "--sim-fault", "interface#2:no-board"},
       {"--boards", "all"},
       false,
       3,
       {{"r-IB0001.json", "PASS"}, {"r-pair2.json", "ERROR"}}},
      {"stopped",
       {"--sim-boards", "2"},
       {"--boards", "all"},
       true,
       130,
       {{"r-IB0001.json", "ABORTED"}, {"r-IB0002.json", "ABORTED"}}},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    std::vector<std::string> args = Args({"--simulate", "--sim-fast"});
    args.insert(args.end(), c.options.begin(), c.options.end());
    for (const std::string& a : {std::string("script"), example, std::string("--record"),
                                 File("r.json"), std::string("--junit"), File("r.xml")}) {
      args.push_back(a);
    }
    args.insert(args.end(), c.scriptOptions.begin(), c.scriptOptions.end());
    std::atomic<bool> stop{c.stopFirst};
    const CliResult r = RunEvmctlWith(args, clock, &stop);
    EXPECT_EQ(r.code, c.status) << r.err;
    for (const auto& [file, outcome] : c.outcomes) {
      const Json record = Record(file);
      EXPECT_EQ(record.value("outcome", ""), outcome) << file;
      // A pair that passed is complete: every row ran, every check passed.
      if (outcome == "PASS") {
        EXPECT_EQ(record["steps"].size(), 11u);
        EXPECT_EQ(record["counts"]["not_run"], 0);
        EXPECT_EQ(record["counts"]["pass"], 3);
      }
      // One line for each pair as it ends, and one in the table.
      const std::string serial = file.substr(2, file.size() - 7);
      size_t lines = 0;
      for (const std::string& line : Lines(r.out)) {
        lines += line.find("/" + serial) != std::string::npos ? 1 : 0;
      }
      if (serial.rfind("pair", 0) != 0) {
        EXPECT_EQ(lines, 2u) << r.out;
      }
    }
    // One JUnit file holds every pair's suite.
    std::ifstream xml(dir.path() / "r.xml");
    const std::string junit((std::istreambuf_iterator<char>(xml)), {});
    size_t suites = 0;
    for (size_t at = junit.find("<testsuite "); at != std::string::npos;
         at = junit.find("<testsuite ", at + 1)) {
      ++suites;
    }
    EXPECT_EQ(suites, c.outcomes.size());
    for (const auto& [file, outcome] : c.outcomes) std::filesystem::remove(dir.path() / file);
  }
}

TEST_F(Station, DutIdsGoToThePairsInOrder) {
  const std::string example = Utf8FromPath(kExamples / "dac_to_converters.txt");
  const auto run = [&](const std::string& ids) {
    return Run({"--simulate", "--sim-fast", "--sim-boards", "2", "script", example, "--boards",
                "all", "--record", File("d.json"), "--dut-id", ids});
  };
  EXPECT_EQ(run("A,B").code, 0);
  EXPECT_EQ(Record("d-IB0001.json")["dut_id"], "A");
  EXPECT_EQ(Record("d-IB0002.json")["dut_id"], "B");
  const CliResult wrong = run("A,B,C");
  EXPECT_EQ(wrong.code, 2);
  EXPECT_NE(wrong.err.find("3 ids for 2 pairs"), std::string::npos) << wrong.err;
}

}  // namespace
}  // namespace evm::test
