// SPDX-License-Identifier: GPL-3.0-or-later
#include "script/script_interpreter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "common/atomic_file.h"
#include "script/evm_script_board.h"
#include "script/fake_script_board.h"
#include "script/responding_board.h"
#include "script/script_files.h"
#include "shell/main_load.h"
#include "support/recording_ui.h"
#include "support/sim_fixture.h"

namespace evm {
namespace {

struct Row {
  std::string step, low = {}, high = {};
};

struct Runner {
  explicit Runner(const std::vector<Row>& rows, NumberLocale locale = NumberLocale::Point())
      : board(clock), ctx{grid, board, ui, locale} {
    for (size_t i = 0; i < rows.size(); ++i) {
      const int r = static_cast<int>(i) + 1;
      grid.Cell(r, 2) = rows[i].step;
      grid.Cell(r, 3) = rows[i].low;
      grid.Cell(r, 4) = rows[i].high;
    }
    grid.ScriptLastRow = static_cast<int>(rows.size());
  }
  std::string Result(int r) const { return grid.Cell(r, 5); }
  std::string Verdict(int r) const { return grid.Cell(r, 6); }

  FakeClock clock;
  ScriptGrid grid;
  test::FakeScriptBoard board;
  test::RecordingUi ui;
  ScriptContext ctx;
};

// A result check without a read byte behind it fails instead of passing as 0.
TEST(ScriptInterpreter, ResultChecksCompareReadBytesWithHexLimits) {
  Runner r({{"I2C CH2 S 91 ACKS R ACKM R ACKM P"},
            {"result16", "1234", "1234"},
            {"result", "zz", "FF"}});
  r.board.data = {0x12, 0x35};
  RunScript(r.ctx);
  EXPECT_EQ(r.Result(2), "1235");
  EXPECT_EQ(r.Verdict(2), "FAIL");
  EXPECT_EQ(r.Verdict(3), "FAIL");
  EXPECT_NE(r.Result(3).find("zz"), std::string::npos) << "the reason names the limit";

  Runner past({{"CMD ON"}});
  while (past.grid.Rows() < 24) past.grid.AppendRow();
  for (int i = 2; i <= 22; ++i) past.grid.Cell(i, 2) = "result16", past.grid.Cell(i, 4) = "FFFF";
  past.grid.ScriptLastRow = 22;
  for (auto& d : past.board.data) d = 0;
  RunScript(past.ctx);
  EXPECT_EQ(past.Verdict(21), "PASS") << "bytes 38 and 39";
  EXPECT_EQ(past.Verdict(22), "FAIL") << "index 40 and 41: past the table";
}

// Results are shown in the user's locale; numbers in a script take a point
// or a comma in every locale.
TEST(ScriptInterpreter, ConverterChecksAndScriptNumbersInBothLocales) {
  for (const bool comma : {false, true}) {
    SCOPED_TRACE(comma ? "comma" : "point");
    Runner r({{"read_cnv1", "2.4", "2,6"},
              {"read_cnv2", "0", "1"},
              {"read_cnv1", "", "3"},
              {"write_dac_b 2.5"},
              {"write_dac_c 1,5"},
              {"pause 0,5"},
              {"goto 8.0"}},
             comma ? NumberLocale::Comma() : NumberLocale::Point());
    r.board.cnv1 = 2.50049;
    r.board.cnv2 = 1.25;
    RunScript(r.ctx);
    EXPECT_EQ(r.Result(1), comma ? "2,5" : "2.5");
    EXPECT_EQ(r.Verdict(1), "PASS");
    EXPECT_EQ(r.Result(2), comma ? "1,25" : "1.25");
    EXPECT_EQ(r.Verdict(2), "FAIL");
    EXPECT_EQ(r.Verdict(3), "FAIL") << "an empty limit is no number";
    EXPECT_EQ(r.board.dac, (std::vector<std::pair<char, double>>{{'B', 2.5}, {'C', 1.5}}));
    EXPECT_EQ(r.board.waits, (std::vector<double>{0.5, 0.5}));
  }
}

// A pause is the settle time of the rows after it: Exit Loop leaves the
// loop at its goto, not in the middle of a pause.
TEST(ScriptInterpreter, ExitLoopLetsThePauseInProgressRunOutAndHoldsForTheNextRun) {
  // The click arrives at this many ms: during the pause, then during the jump's wait.
  for (const int clickMs : {1000, 4200}) {
    Runner r({{"pause 4"}, {"CMD MEAS"}, {"goto 1"}, {"CMD OFF"}});
    RespondingBoard board(r.board, r.ui, r.grid);
    ScriptContext ctx{r.grid, board, r.ui, NumberLocale::Point()};
    int64_t measuredAt = -1;
    r.ui.onProcessEvents = [&] {
      if (measuredAt < 0 && !r.board.sent.empty()) measuredAt = r.clock.ElapsedMs();
      if (r.clock.ElapsedMs() >= clickMs && r.grid.ExitLoop == 0) PressExitLoop(r.grid);
    };
    RunScript(ctx);
    EXPECT_EQ(measuredAt, 4000) << clickMs;
    EXPECT_EQ(r.board.sent, (std::vector<std::string>{"CMD MEAS", "CMD OFF"})) << clickMs;
  }
  // A goto met after Exit Loop is not followed, by this run nor by the next.
  Runner r({{"CMD SETUP"}, {"goto 1"}, {"CMD DONE"}});
  r.ui.onProcessEvents = [&] { PressExitLoop(r.grid); };
  const std::vector<std::string> once = {"CMD SETUP", "CMD DONE"};
  RunScript(r.ctx);
  EXPECT_EQ(r.board.sent, once) << "the loop ends at its goto";
  r.board.sent.clear();
  RunScript(r.ctx);
  EXPECT_EQ(r.board.sent, once);
}

TEST(ScriptInterpreter, KeywordsMatchAsTheTableSaysAndAnEmptyStepEndsTheRun) {
  Runner r({{"write_dac_b2500m"}, {"pause 1.5"}, {"pause 0"}, {"break "}, {"break"}});
  RunScript(r.ctx);
  EXPECT_EQ(r.board.dac, (std::vector<std::pair<char, double>>{{'B', 2.5}}));
  EXPECT_EQ(r.board.waits, std::vector<double>{1.5});
  EXPECT_EQ(r.board.sent, std::vector<std::string>{"break "});
  ASSERT_EQ(r.ui.messages.size(), 1u);
  EXPECT_EQ(r.ui.messages[0].text, "PRESS TO CONTINUE");

  Runner ended({{"CMD ON"}, {""}, {"CMD OFF"}});
  ended.grid.Cell(3, 5) = "old";
  ended.grid.Cell(1, 6) = "FAIL";
  RunScript(ended.ctx);
  EXPECT_EQ(ended.board.sent, std::vector<std::string>{"CMD ON"});
  EXPECT_EQ(ended.grid.ScriptLastRow, 1);
  EXPECT_EQ(ended.Verdict(1), "");
  EXPECT_EQ(ended.Result(3), "old") << "rows past the end are not touched";
}

TEST(ScriptInterpreter, AStepThatDoesNotParseFailsAndLeavesNothingToCheck) {
  test::InterfaceContext c;
  EvmScriptBoard board(c.evm);
  Runner r({{"I2C CH2 S 91 ACKS R ACKM R ACKM P"},
            {"result", "0", "FF"},
            {"I2C CH2 S 91 ACKS R ACKMM P"},
            {"result", "0", "FF"}});
  ScriptContext ctx{r.grid, board, c.ui, c.evm.locale()};
  RunScript(ctx);
  EXPECT_EQ(r.Verdict(2), "PASS");
  EXPECT_EQ(r.Verdict(3), "FAIL");
  EXPECT_EQ(r.Result(3), c.evm.dutWriter().MnemonicError);
  EXPECT_EQ(r.Verdict(4), "FAIL") << "the earlier read's bytes are not this step's";
}

TEST(ScriptInterpreter, SingleStepFollowsGotoWithoutPause) {
  Runner r({{"CMD ON"}, {"goto 1"}});
  r.grid.Row_ = 1;
  SingleStep(r.ctx);
  EXPECT_EQ(r.grid.Row_, 2);
  SingleStep(r.ctx);
  EXPECT_EQ(r.grid.Row_, 1);
  EXPECT_TRUE(r.board.waits.empty());
  PressExitLoop(r.grid);
  r.grid.Row_ = 2;
  SingleStep(r.ctx);
  EXPECT_EQ(r.grid.Row_, 3) << "after Exit Loop a goto is not followed";
  EXPECT_EQ(r.grid.GotoRow, 1);
}

// A step writes its own row only, so a window that draws the rows written
// since its last drawing pays the same per step in a script of any length.
TEST(ScriptInterpreter, EachStepChangesOnlyItsOwnRow) {
  Runner r({});
  while (r.grid.Rows() < 502) r.grid.AppendRow();
  for (int i = 1; i <= 500; ++i) r.grid.Cell(i, 2) = i % 2 ? "CMD ON" : "result";
  r.grid.ScriptLastRow = 500;
  RunScript(r.ctx);  // leaves results to be cleared by the next run
  r.grid.TakeChangedRows();
  std::vector<size_t> changedPerStep;
  r.ui.onProcessEvents = [&] { changedPerStep.push_back(r.grid.TakeChangedRows().size()); };
  RunScript(r.ctx);
  ASSERT_EQ(changedPerStep.size(), 500u);
  EXPECT_GT(changedPerStep[0], 250u) << "the run first clears every result";
  EXPECT_EQ(*std::max_element(changedPerStep.begin() + 1, changedPerStep.end()), 1u);
}

// The run starts at the top of the grid and scrolls one row at a time once
// the current row is more than 14 rows below the top visible row; it never
// scrolls back up on its own.
TEST(ScriptInterpreter, RunsScrollTheGridOneRowAtATime) {
  Runner r({});
  while (r.grid.Rows() < 32) r.grid.AppendRow();
  for (int i = 1; i <= 30; ++i) r.grid.Cell(i, 2) = "CMD ON";
  r.grid.ScriptLastRow = 30;
  r.grid.TopRow = 9;
  std::vector<int> tops;
  r.ui.onProcessEvents = [&] { tops.push_back(r.grid.TopRow); };
  RunScript(r.ctx);
  ASSERT_EQ(tops.size(), 30u);
  EXPECT_EQ(tops[0], 1) << "a run starts at the top";
  EXPECT_EQ(tops[14], 1) << "row 15 is still in view";
  EXPECT_EQ(tops[15], 2) << "row 16 scrolls by one";
  EXPECT_EQ(tops[29], 16);

  // A goto back to row 1 leaves the view where it is.
  r.grid.Cell(30, 2) = "goto 1";
  tops.clear();
  r.ui.onProcessEvents = [&] {
    tops.push_back(r.grid.TopRow);
    if (tops.size() == 31) PressExitLoop(r.grid);
  };
  RunScript(r.ctx);
  ASSERT_GE(tops.size(), 31u);
  EXPECT_EQ(tops[29], 16);
  EXPECT_EQ(tops[30], 16) << "back at row 1, the view stays";

  // Single Step scrolls by one row as well, however far below the row is.
  r.grid.TopRow = 1;
  r.grid.Row_ = 20;
  r.ui.onProcessEvents = nullptr;
  SingleStep(r.ctx);
  EXPECT_EQ(r.grid.Row_, 21);
  EXPECT_EQ(r.grid.TopRow, 2);
}

// Script files run against the simulated EVM; the results file of each must
// match the one stored beside it.
const std::filesystem::path kDir = std::filesystem::path(EVM_TEST_DATA_DIR) / "script";

struct GoldenCase {
  std::string name;
  int64_t waitedMs;  // pauses, followed gotos and the reports wait on the clock
  // The window's locale: the results file is the same under either mark.
  NumberLocale locale = NumberLocale::Point();
};

class GoldenScript : public ::testing::TestWithParam<GoldenCase> {};

TEST_P(GoldenScript, ResultsMatchTheStoredFile) {
  const std::string name = GetParam().name;
  test::SimContext c;
  MainLoad(c.evm, c.panels);
  EvmScriptBoard board(c.evm);
  ScriptGrid grid;
  ASSERT_TRUE(LoadScript(grid, kDir / (name + ".txt"), c.ui));
  ScriptContext ctx{grid, board, c.ui, GetParam().locale};
  const int64_t before = c.clock.ElapsedMs();
  RunScript(ctx);
  EXPECT_EQ(c.clock.ElapsedMs() - before, GetParam().waitedMs);
  const auto out = c.dir.path() / "results.txt";
  ASSERT_TRUE(SaveResults(grid, out, c.ui));
  const auto expectedFile = kDir / (name + ".expected.txt");
  const auto actual = ReadWholeFile(out);
  ASSERT_TRUE(actual);
  if (std::getenv("EVM_UPDATE_GOLDEN")) WriteFileAtomically(expectedFile, *actual);
  const auto expected = ReadWholeFile(expectedFile);
  ASSERT_TRUE(expected) << expectedFile;
  EXPECT_EQ(*actual, *expected);
}

INSTANTIATE_TEST_SUITE_P(Files, GoldenScript,
                         // The pauses, and 2 ms of USB frames per report.
                         ::testing::Values(GoldenCase{"dac_to_cnv1", 500 + 14},
                                           GoldenCase{"dac_to_cnv1", 500 + 14,
                                                      NumberLocale::Comma()},
                                           GoldenCase{"empty_step_ends", 1500 + 4},
                                           GoldenCase{"dac_a_ranges_and_gotos", 26}));

}  // namespace
}  // namespace evm
