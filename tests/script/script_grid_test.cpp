// SPDX-License-Identifier: GPL-3.0-or-later
#include "script/script_grid.h"

#include <gtest/gtest.h>

#include "common/atomic_file.h"
#include "script/script_files.h"
#include "support/recording_ui.h"
#include "support/temp_dir.h"

namespace evm {
namespace {

std::vector<std::string> Steps(const ScriptGrid& g, int from, int to) {
  std::vector<std::string> s;
  for (int r = from; r <= to; ++r) s.push_back(g.Cell(r, 2));
  return s;
}

ScriptGrid Typed(const std::vector<std::string>& steps) {
  ScriptGrid g;
  g.Col = 2;
  for (const auto& step : steps) {
    g.Text1 = step;
    EnterText(g);
  }
  return g;
}

// The user may have scrolled away from the row being edited; Enter brings
// the edited row and the next one back into view.
TEST(ScriptGrid, EnterMovesDownGrowsTheGridAndKeepsTheEditedRowInView) {
  ScriptGrid g = Typed({"a", "b"});
  EXPECT_EQ(Steps(g, 1, 2), (std::vector<std::string>{"a", "b"}));
  EXPECT_EQ(g.ScriptLastRow, 2);
  EXPECT_EQ(g.Row_, 3);
  EXPECT_EQ(g.HighlightRow, 3);
  ScriptGrid big = Typed(std::vector<std::string>(30, "x"));
  EXPECT_EQ(big.ScriptLastRow, 30);
  EXPECT_EQ(big.Rows(), 33) << "one empty row below the entry row";
  EXPECT_EQ(big.Cell(30, 0), " 30");
  EXPECT_EQ(big.TopRow, 31 - 15 + 1) << "the grid scrolls to keep the entry row in view";

  struct Case {
    int row, top, expectedTop;
  } cases[] = {{5, 40, 5}, {60, 1, 61 - ScriptGrid::kVisibleSpan}, {20, 10, 10}};
  for (const Case& c : cases) {
    ScriptGrid edited = Typed(std::vector<std::string>(70, "x"));
    edited.Row_ = c.row;
    edited.TopRow = c.top;
    edited.Text1 = "y";
    EnterText(edited);
    EXPECT_EQ(edited.TopRow, c.expectedTop) << "row " << c.row << ", top " << c.top;
  }
}

TEST(ScriptGrid, InsertAndDeleteAroundTheLastRow) {
  ScriptGrid g = Typed({"a", "b", "c"});
  g.Cell(2, 5) = "res";
  g.Row_ = 2;
  InsertRowAbove(g);
  EXPECT_EQ(Steps(g, 1, 4), (std::vector<std::string>{"a", "", "b", "c"}));
  EXPECT_EQ(g.ScriptLastRow, 4);
  EXPECT_EQ(g.Cell(2, 5), "res") << "results do not move with the steps";
  g.Row_ = 1;
  DeleteCurrentRow(g);
  EXPECT_EQ(Steps(g, 1, 4), (std::vector<std::string>{"", "b", "c", ""}));
  EXPECT_EQ(g.ScriptLastRow, 3);
  EXPECT_EQ(g.Row_, 1);
  g.Row_ = 3;
  DeleteCurrentRow(g);
  EXPECT_EQ(Steps(g, 1, 3), (std::vector<std::string>{"", "b", ""}));
  EXPECT_EQ(g.ScriptLastRow, 2);
}

TEST(ScriptGrid, InsertGrowsTheGridByOneRowPerRowMoved) {
  struct Case {
    int row;           // where Insert Row Above is pressed
    int rowsAfter;     // grid rows, header included
    int lastRowAfter;  // ScriptLastRow
  };
  // A script of three steps in the twenty rows of a new grid.
  const Case cases[] = {
      {1, 24, 4},   // three rows move
      {3, 22, 4},   // one row moves
      {10, 21, 4},  // below the script nothing moves
  };
  for (const Case& t : cases) {
    ScriptGrid g = Typed({"a", "b", "c"});
    ASSERT_EQ(g.Rows(), 21);
    g.Row_ = t.row;
    InsertRowAbove(g);
    EXPECT_EQ(g.Rows(), t.rowsAfter) << "insert at row " << t.row;
    EXPECT_EQ(g.ScriptLastRow, t.lastRowAfter) << "insert at row " << t.row;
    EXPECT_EQ(g.Cell(t.lastRowAfter, 0), RowNumberText(t.lastRowAfter));
    for (int r = 21; r < g.Rows(); ++r) {
      EXPECT_EQ(g.Cell(r, 0), "") << "only the last script row is numbered, row " << r;
    }
  }
  ScriptGrid g;
  while (g.Rows() < 1003) g.AppendRow();
  for (int r = 1; r <= 1001; ++r) g.Cell(r, 2) = "s" + std::to_string(r);
  g.ScriptLastRow = 1001;
  g.Row_ = 1;
  InsertRowAbove(g);
  EXPECT_EQ(g.ScriptLastRow, 1002);
  EXPECT_EQ(g.Cell(1002, 2), "s1001");
  EXPECT_EQ(g.Cell(2, 2), "s1");
}

TEST(ScriptFiles, SavedScriptsEndWithOneEmptyStepAndStoreQuotesAsApostrophes) {
  test::TempDir dir;
  test::RecordingUi ui;
  const auto file = dir.path() / "s.txt";
  const std::string line1 = "\"\",\"I2C CH2 S 98 ACKS 10 ACKS 40 ACKS 11 ACKS P\",\"\",\"\"\r\n";
  const std::string line2 = "\"check\",\"result\",\"0\",\"FF\"\r\n";
  const std::string empty = "\"\",\"\",\"\",\"\"\r\n";
  ASSERT_TRUE(WriteFileAtomically(file, line1 + line2));
  ScriptGrid g;
  ASSERT_TRUE(LoadScript(g, file, ui));
  EXPECT_EQ(g.ScriptLastRow, 3);
  ASSERT_TRUE(SaveScript(g, file));
  EXPECT_EQ(*ReadWholeFile(file), line1 + line2 + empty) << "one more empty line after a load";

  // An empty step ends the saved script.
  g = Typed({"CMD ON", "", "CMD OFF"});
  g.Cell(1, 1) = "say \"on\"";
  ASSERT_TRUE(SaveScript(g, file));
  EXPECT_EQ(*ReadWholeFile(file), "\"say 'on'\",\"CMD ON\",\"\",\"\"\r\n" + empty);
  ASSERT_TRUE(LoadScript(g, file, ui));
  EXPECT_EQ(g.Cell(1, 1), "say 'on'");

  // Hand-written: bare fields, the last two empty.
  ASSERT_TRUE(WriteFileAtomically(file, "a,CMD CTRL 6 MEAS,,\r\n"));
  ASSERT_TRUE(LoadScript(g, file, ui));
  EXPECT_EQ(g.Cell(1, 2), "CMD CTRL 6 MEAS");
  EXPECT_TRUE(ui.messages.empty());
}

// A results file reads the same on every PC: its figures carry a point,
// whatever mark the locale that ran the script showed; the script keeps
// what was typed.
TEST(ScriptFiles, ResultsFilesWriteFiguresWithAPointAndLeaveOtherTextAlone) {
  const std::tuple<const char*, const char*, const char*, const char*> cases[] = {
      // low, high, result as the grid holds them; the line's last four fields
      {"2,49", "2,51", "2,496", "\"2.49\",\"2.51\",\"2.496\",\"PASS\""},
      {"-1,5E-03", ",5", "12,", "\"-1.5E-03\",\".5\",\"12.\",\"PASS\""},
      {"3F", "4000", "3FE8", "\"3F\",\"4000\",\"3FE8\",\"PASS\""},
      {"", "1,2,3", "no read byte 2", "\"\",\"1,2,3\",\"no read byte 2\",\"PASS\""},
      {"1,5E", ",", "2,4 (limit 'x' is not a number)",
       "\"1,5E\",\",\",\"2,4 (limit 'x' is not a number)\",\"PASS\""},
  };
  for (const auto& [low, high, result, fields] : cases) {
    ScriptGrid g = Typed({"read_cnv1"});
    g.Cell(1, kColDescription) = "d,1";
    g.Cell(1, kColLow) = low;
    g.Cell(1, kColHigh) = high;
    g.Cell(1, kColResult) = result;
    g.Cell(1, kColVerdict) = "PASS";
    EXPECT_EQ(FormatScriptLine(g, 1, kColVerdict),
              std::string("\"d,1\",\"read_cnv1\",") + fields + "\r\n");
    EXPECT_EQ(FormatScriptLine(g, 1, kColHigh),
              std::string("\"d,1\",\"read_cnv1\",\"") + low + "\",\"" + high + "\"\r\n");
  }
}

TEST(ScriptFiles, ALineWithThreeFieldsStopsTheLoadAndKeepsEarlierRows) {
  test::TempDir dir;
  test::RecordingUi ui;
  const auto in = dir.path() / "bad.txt";
  ASSERT_TRUE(WriteFileAtomically(in,
                                  "\"\",\"CMD ON\",\"\",\"\"\r\n\"\",\"CMD OFF\",\"\"\r\n"
                                  "\"\",\"CMD MUX 40\",\"\",\"\"\r\n"));
  ScriptGrid g;
  EXPECT_FALSE(LoadScript(g, in, ui));
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(ui.messages[0].text, "Error Loading Script!  Check file format.\n\nThe file \"" +
                                     in.string() +
                                     "\", line 2: 3 fields where a script line has 4.");
  EXPECT_EQ(g.Cell(1, 2), "CMD ON");
  EXPECT_EQ(g.Cell(2, 2), "");

  // Through the button, the script being edited stays as it was, and with
  // it the name a Save would write it under.
  ScriptGrid edited = Typed({"CMD MUX 81", "CMD OFF"});
  edited.DialogFileName = "kept.txt";
  for (const std::string& file : {in.string(), dir.path().string()}) {
    ui.openFileAnswers = {file};
    LoadScriptCommand(edited, ui);
    EXPECT_EQ(edited.Cell(1, 2), "CMD MUX 81");
    EXPECT_EQ(edited.Cell(2, 2), "CMD OFF");
    EXPECT_EQ(edited.DialogFileName, "kept.txt");
    EXPECT_EQ(edited.Caption, "Script - kept.txt");
  }
  EXPECT_EQ(ui.messages.back().text,
            "Error Loading Script!  Check file format.\n\n" +
                UnreadableFileMessage(dir.path(), std::make_error_code(std::errc::is_a_directory)));
}

TEST(ScriptFiles, DialogCommandsSetTheCaptionAndReportFailedSaves) {
  test::TempDir dir;
  test::RecordingUi ui;
  ScriptGrid g = Typed({"CMD ON"});
  ui.saveFileAnswers = {std::nullopt};
  SaveScriptCommand(g, ui);
  EXPECT_EQ(g.Caption, "Script - ") << "cancel the first time: the name is still empty";
  const std::string good = (dir.path() / "a.txt").string();
  ui.saveFileAnswers = {good, std::nullopt, (dir.path() / "no" / "b.txt").string()};
  SaveScriptCommand(g, ui);
  EXPECT_EQ(g.Caption, "Script - " + good);
  SaveScriptCommand(g, ui);
  EXPECT_EQ(g.Caption, "Script - " + good) << "cancel keeps the previous name";
  SaveScriptCommand(g, ui);
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(ui.messages[0].text, "Error Saving Script!  Check file format.");

  ui.saveFileAnswers = {(dir.path() / "r.txt").string()};
  g.Cell(1, 5) = "AB";
  g.Cell(1, 6) = "PASS";
  SaveResultsCommand(g, ui);
  EXPECT_EQ(*ReadWholeFile(dir.path() / "r.txt"), "\"\",\"CMD ON\",\"\",\"\",\"AB\",\"PASS\"\r\n");
}

}  // namespace
}  // namespace evm
