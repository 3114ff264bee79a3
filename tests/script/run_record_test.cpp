// SPDX-License-Identifier: GPL-3.0-or-later
// The record of a script run: each outcome of a run and of its steps, on
// the simulated EVM. The files' layouts are checked against their schemas
// by tests/script/check_station_records.py.
#include "script/run_record.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "api/bench_access.h"
#include "common/sha256.h"
#include "script/record_writers.h"
#include "support/temp_dir.h"
#include "zm5520evm/bench.h"

namespace evm {
namespace {

struct Row {
  const char* step;
  const char* low = "";
  const char* high = "";
};

std::string ScriptText(const std::vector<Row>& rows) {
  std::string text;
  for (const Row& r : rows) {
    text += std::string("\"\",\"") + r.step + "\",\"" + r.low + "\",\"" + r.high + "\"\r\n";
  }
  return text;
}

std::vector<std::string> StepOutcomes(const RunRecord& record) {
  std::vector<std::string> names;
  for (const StepRecord& s : record.steps) names.push_back(StepOutcomeName(s.outcome));
  return names;
}

TEST(RunRecord, EachOutcomeOfARunAndOfItsSteps) {
  const std::vector<Row> measure = {
      {"CMD MUX 05"}, {"write_dac_b 2.5"}, {"pause 0.2"}, {"read_cnv1", "2.49", "2.51"}};
  struct Case {
    const char* name;
    std::vector<Row> rows;
    const char* fault;
    int stopAfterRow;  // 0: no stop
    const char* outcome;
    std::vector<std::string> steps;
  };
  const Case kCases[] = {
      {"pass", measure, "", 0, "PASS", {"DONE", "DONE", "DONE", "PASS"}},
      {"fail",
       {{"CMD MUX 05"}, {"write_dac_b 2.5"}, {"read_cnv1", "0", "1"}},
       "",
       0,
       "FAIL",
       {"DONE", "DONE", "FAIL"}},
      {"refused", {{"CMD FROB 1"}, {"read_cnv1", "0", "5"}}, "", 0, "FAIL", {"REFUSED", "PASS"}},
      {"break", {{"break"}, {"read_cnv1", "0", "5"}}, "", 0, "PASS", {"BREAK", "PASS"}},
      {"stop", measure, "", 2, "ABORTED", {"DONE", "DONE", "NOT_RUN", "NOT_RUN"}},
      // What runs once the board is silent is not carried out; a pause is.
      {"silent mid-run",
       measure,
       "interface:no-reply@1",
       0,
       "ERROR",
       {"DONE", "REFUSED", "DONE", "FAIL"}},
      {"goto past the end", {{"goto 99"}, {"CMD OFF"}}, "", 0, "PASS", {"DONE", "NOT_RUN"}},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    test::TempDir dir;
    const auto file = dir.path() / "run.txt";
    const std::string text = ScriptText(c.rows);
    std::ofstream(file, std::ios::binary) << text;
    BenchOptions options{.simulate = true};
    options.simulation.fault = c.fault;
    auto bench = Bench::Open(options);
    try {
      bench->RunScript(file, 0, [&](const ScriptRowResult& row) {
        if (row.row == c.stopAfterRow) bench->RequestStop();
      });
    } catch (const Error&) {
      // A stopped run throws; its record is the subject here.
    }
    const RunRecord record = BenchAccess::LastScriptRecord(*bench);
    EXPECT_STREQ(RunOutcomeName(record.outcome), c.outcome);
    EXPECT_EQ(StepOutcomes(record), c.steps);
    EXPECT_EQ(record.steps.size(), c.rows.size());
    EXPECT_EQ(record.scriptSha256, Sha256Hex(text));
    EXPECT_EQ(record.interfaceBoard, "IB0001");
    // An unfinished run says why.
    EXPECT_EQ(record.error.empty(),
              record.outcome == RunOutcome::Pass || record.outcome == RunOutcome::Fail);
  }
}

// A step's value, limits and time are what it read and how long it took;
// a row that a goto loop runs again adds its runs and its time.
TEST(RunRecord, StepsCarryValuesLimitsAndTimes) {
  test::TempDir dir;
  const auto file = dir.path() / "loop.txt";
  std::ofstream(file, std::ios::binary) << ScriptText({{"CMD MUX 05"},
                                                       {"write_dac_b 1.5"},
                                                       {"pause 0.3"},
                                                       {"read_cnv1", "1,49", "1.51"},
                                                       {"I2C CH2 S 91 ACKS R ACKM R ACKM P"},
                                                       {"result16", "2000", "2800"},
                                                       {"result", "", ""},
                                                       {"result", "", ""}});
  auto bench = Bench::Open({.simulate = true});
  bench->RunScript(file);
  const RunRecord r = BenchAccess::LastScriptRecord(*bench);
  ASSERT_EQ(r.steps.size(), 8u);
  EXPECT_NEAR(r.steps[2].seconds, 0.3, 0.05);
  EXPECT_EQ(r.steps[2].runs, 1);
  const StepRecord& volts = r.steps[3];
  EXPECT_TRUE(volts.checksValue);
  EXPECT_NEAR(volts.value.value_or(0), 1.5, 0.01);
  EXPECT_EQ(volts.unit, "V");
  EXPECT_EQ(volts.low, 1.49);  // the comma reads as the point
  EXPECT_EQ(volts.high, 1.51);
  const StepRecord& word = r.steps[5];
  EXPECT_EQ(word.low, 0x2000);
  EXPECT_EQ(word.high, 0x2800);
  EXPECT_EQ(word.unit, "");
  EXPECT_EQ(word.outcome, StepOutcome::Pass);
  // Past the two bytes read: no value, and the reason instead.
  const StepRecord& past = r.steps[7];
  EXPECT_EQ(past.outcome, StepOutcome::Fail);
  EXPECT_FALSE(past.value.has_value());
  EXPECT_EQ(past.message, "no read byte 3");
  EXPECT_GT(r.seconds, 0.29);
}

TEST(RunRecord, JUnitEscapesCellsAndCountsEachCheck) {
  RunRecord r;
  r.scriptFile = "/scripts/a&b.txt";
  r.outcome = RunOutcome::Error;
  r.error = "the interface board stopped answering";
  StepRecord pass{.row = 1, .description = "<in> \"range\"", .step = "read_cnv1"};
  pass.checksValue = true;
  pass.outcome = StepOutcome::Pass;
  StepRecord fail = pass;
  fail.row = 2;
  fail.outcome = StepOutcome::Fail;
  fail.value = 2.6;
  fail.unit = "V";
  fail.low = 2.49;
  fail.high = 2.51;
  StepRecord action{.row = 3, .step = "CMD OFF"};
  action.outcome = StepOutcome::Done;
  r.steps = {pass, fail, action};
  const std::string xml = JUnitXml({r, r});
  // Two checks and the unfinished run, per suite.
  EXPECT_NE(xml.find("tests=\"6\" failures=\"2\" errors=\"2\""), std::string::npos) << xml;
  EXPECT_NE(xml.find("name=\"a&amp;b.txt\""), std::string::npos);
  EXPECT_NE(xml.find("row 1: &lt;in&gt; &quot;range&quot; (read_cnv1)"), std::string::npos);
  EXPECT_NE(xml.find("message=\"2.6 V is outside 2.49 to 2.51 V\""), std::string::npos);
  EXPECT_NE(xml.find("<property name=\"row 2 value\" value=\"2.6\"/>"), std::string::npos);
  EXPECT_EQ(xml.find("CMD OFF"), std::string::npos);  // a step that checks nothing
}

TEST(Sha256, KnownDigests) {
  struct Case {
    std::string data;
    const char* digest;
  };
  const Case kCases[] = {
      {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
      {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
      // 56 bytes: the length no longer fits the block, a second one follows.
      {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
       "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
      {std::string(1000000, 'a'),
       "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
  };
  for (const Case& c : kCases) EXPECT_EQ(Sha256Hex(c.data), c.digest) << c.data.size();
}

}  // namespace
}  // namespace evm
