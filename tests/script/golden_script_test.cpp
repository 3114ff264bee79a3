// Script files run against the simulated EVM; the results file of each must
// match the one stored beside it.
#include <gtest/gtest.h>

#include <filesystem>

#include "common/atomic_file.h"
#include "script/evm_script_board.h"
#include "script/script_files.h"
#include "script/script_interpreter.h"
#include "shell/main_load.h"
#include "support/sim_fixture.h"

namespace evm {
namespace {

const std::filesystem::path kDir = std::filesystem::path(EVM_TEST_DATA_DIR) / "script";

class GoldenScript : public ::testing::TestWithParam<std::string> {};

TEST_P(GoldenScript, ResultsMatchTheStoredFile) {
  test::SimContext c;
  MainLoad(c.evm);
  EvmScriptBoard board(c.evm);
  ScriptGrid grid;
  ASSERT_TRUE(LoadScript(grid, kDir / (GetParam() + ".txt"), c.ui));
  ScriptContext ctx{grid, board, c.ui, NumberLocale::Point()};
  RunScript(ctx);
  const auto out = c.dir.path() / "results.txt";
  ASSERT_TRUE(SaveResults(grid, out, c.ui));
  const auto expectedFile = kDir / (GetParam() + ".expected.txt");
  const auto actual = ReadWholeFile(out);
  ASSERT_TRUE(actual);
  if (std::getenv("EVM_UPDATE_GOLDEN")) WriteFileAtomically(expectedFile, *actual);
  const auto expected = ReadWholeFile(expectedFile);
  ASSERT_TRUE(expected) << expectedFile;
  EXPECT_EQ(*actual, *expected);
}

INSTANTIATE_TEST_SUITE_P(Files, GoldenScript,
                         ::testing::Values("dac_to_cnv1", "empty_step_ends",
                                           "dac_a_ranges_and_gotos"));

TEST(GoldenScriptTiming, PauseAndFollowedGotoWaitOnTheClock) {
  test::SimContext c;
  MainLoad(c.evm);
  EvmScriptBoard board(c.evm);
  ScriptGrid grid;
  ASSERT_TRUE(LoadScript(grid, kDir / "empty_step_ends.txt", c.ui));
  ScriptContext ctx{grid, board, c.ui, NumberLocale::Point()};
  const int64_t before = c.clock.ElapsedMs();
  RunScript(ctx);
  EXPECT_GE(c.clock.ElapsedMs() - before, 1500);
  EXPECT_LT(c.clock.ElapsedMs() - before, 2500);
}

}  // namespace
}  // namespace evm
