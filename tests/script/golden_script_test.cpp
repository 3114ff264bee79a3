// SPDX-License-Identifier: GPL-3.0-or-later
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

struct GoldenCase {
  std::string name;
  int64_t waitedMs;  // pauses and followed gotos wait on the clock
};

class GoldenScript : public ::testing::TestWithParam<GoldenCase> {};

TEST_P(GoldenScript, ResultsMatchTheStoredFile) {
  const std::string name = GetParam().name;
  test::SimContext c;
  MainLoad(c.evm);
  EvmScriptBoard board(c.evm);
  ScriptGrid grid;
  ASSERT_TRUE(LoadScript(grid, kDir / (name + ".txt"), c.ui));
  ScriptContext ctx{grid, board, c.ui, NumberLocale::Point()};
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
                         ::testing::Values(GoldenCase{"dac_to_cnv1", 500},
                                           GoldenCase{"empty_step_ends", 1500},
                                           GoldenCase{"dac_a_ranges_and_gotos", 0}));

}  // namespace
}  // namespace evm
