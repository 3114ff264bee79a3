// SPDX-License-Identifier: GPL-3.0-or-later
#include "script/script_interpreter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <tuple>

#include "script/evm_script_board.h"
#include "script/fake_script_board.h"
#include "script/responding_board.h"
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
}

TEST(ScriptInterpreter, ResultWithoutAReadByteFailsInsteadOfPassingAsZero) {
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
TEST(ScriptInterpreter, ExitLoopInAWatchedRunLetsThePauseInProgressRunOut) {
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
}

// A goto met after Exit Loop is not followed, by this run nor by the next.
TEST(ScriptInterpreter, ARunAfterExitLoopStartsAtRowOneAndRunsEveryRow) {
  Runner r({{"CMD SETUP"}, {"goto 1"}, {"CMD DONE"}});
  r.ui.onProcessEvents = [&] { PressExitLoop(r.grid); };
  const std::vector<std::string> once = {"CMD SETUP", "CMD DONE"};
  RunScript(r.ctx);
  EXPECT_EQ(r.board.sent, once) << "the loop ends at its goto";
  r.board.sent.clear();
  RunScript(r.ctx);
  EXPECT_EQ(r.board.sent, once);
}

TEST(ScriptInterpreter, KeywordsMatchAsTheTableSaysAndLookAlikesAreSent) {
  Runner r({{"write_dac_b2500m"}, {"pause 1.5"}, {"pause 0"}, {"break "}, {"break"}});
  RunScript(r.ctx);
  EXPECT_EQ(r.board.dac, (std::vector<std::pair<char, double>>{{'B', 2.5}}));
  EXPECT_EQ(r.board.waits, std::vector<double>{1.5});
  EXPECT_EQ(r.board.sent, std::vector<std::string>{"break "});
  ASSERT_EQ(r.ui.messages.size(), 1u);
  EXPECT_EQ(r.ui.messages[0].text, "PRESS TO CONTINUE");
}

TEST(ScriptInterpreter, ATimeLimitCutsWaitsAndEndsLoops) {
  // Rows, limit in seconds, cut short, steps sent.
  const std::tuple<std::vector<Row>, double, bool, size_t> cases[] = {
      {{{"pause 1e9"}, {"CMD ON"}}, 2.5, true, 0},
      {{{"CMD ON"}, {"goto 1"}}, 1.2, true, 3},
      {{{"pause 1"}, {"CMD ON"}}, 2.5, false, 1},
  };
  for (const auto& [rows, seconds, cut, sent] : cases) {
    Runner r(rows);
    EXPECT_EQ(RunScriptWithin(r.ctx, r.clock, seconds), cut);
    EXPECT_EQ(r.board.sent.size(), sent);
    EXPECT_LE(r.clock.ElapsedMs(), static_cast<int64_t>(seconds * 1000));
  }
}

TEST(ScriptInterpreter, AStepThatDoesNotParseFailsAndLeavesNothingToCheck) {
  test::SimContext c;
  c.evm.shell.UsbAddress = 0x2F90;
  EvmScriptBoard board(c.evm);
  Runner r({{"I2C CH2 S 91 ACKS R ACKM R ACKM P"},
            {"result", "0", "FF"},
            {"I2C CH2 S 91 ACKS R ACKMM P"},
            {"result", "0", "FF"}});
  ScriptContext ctx{r.grid, board, c.ui, c.evm.locale};
  RunScript(ctx);
  EXPECT_EQ(r.Verdict(2), "PASS");
  EXPECT_EQ(r.Verdict(3), "FAIL");
  EXPECT_EQ(r.Result(3), c.evm.dutWriter.MnemonicError);
  EXPECT_NE(r.Result(3), "");
  EXPECT_EQ(r.Verdict(4), "FAIL") << "the earlier read's bytes are not this step's";
}

TEST(ScriptInterpreter, EmptyStepEndsTheRunAndOldResultsAreCleared) {
  Runner r({{"CMD ON"}, {""}, {"CMD OFF"}});
  r.grid.Cell(3, 5) = "old";
  r.grid.Cell(1, 6) = "FAIL";
  RunScript(r.ctx);
  EXPECT_EQ(r.board.sent, std::vector<std::string>{"CMD ON"});
  EXPECT_EQ(r.grid.ScriptLastRow, 1);
  EXPECT_EQ(r.Verdict(1), "");
  EXPECT_EQ(r.Result(3), "old") << "rows past the end are not touched";
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

}  // namespace
}  // namespace evm
