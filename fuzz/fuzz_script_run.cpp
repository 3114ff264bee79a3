// SPDX-License-Identifier: GPL-3.0-or-later
// A script file run against the simulated EVM on the fake clock, as evmctl
// runs it: any script ends (an endless goto by the row budget, a long pause
// by the time limit), and every row's verdict is PASS, FAIL or none.
#include "fuzz_support.h"
#include "script/evm_script_board.h"
#include "script/script_files.h"
#include "script/script_interpreter.h"
#include "support/sim_fixture.h"

using namespace evm;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const auto file = fuzz::InputFile("run.txt", data, size);
  test::SimContext c;
  c.evm.shell().UsbAddress = 0x2F90;
  ScriptGrid grid;
  if (!LoadScript(grid, file, c.ui)) return 0;
  EvmScriptBoard board(c.evm);
  ScriptContext script{grid, board, c.ui, NumberLocale::Point()};
  constexpr double kMaxSeconds = 60;
  int rows = 0;
  ScriptRunHooks hooks;
  hooks.stop = [&rows] { return ++rows > 400; };
  RunScriptWithin(script, c.clock, kMaxSeconds, hooks);
  // The limit cuts every wait; only the step in progress may finish, and
  // the longest is a silent interface board's two time-outs.
  FUZZ_CHECK(c.clock.ElapsedMs() <= static_cast<int64_t>(kMaxSeconds * 1000) + 2 * 6000 + 1000);
  FUZZ_CHECK(!grid.Running);
  for (int r = 1; r < grid.Rows(); ++r) {
    const std::string& verdict = grid.Cell(r, kColVerdict);
    FUZZ_CHECK(verdict.empty() || verdict == "PASS" || verdict == "FAIL");
  }
  return 0;
}
