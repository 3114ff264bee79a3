// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>

#include "common/clock.h"
#include "common/number_locale.h"
#include "common/user_interface.h"
#include "script/script_board.h"
#include "script/script_grid.h"

namespace evm {

struct ScriptContext {
  ScriptGrid& grid;
  ScriptBoard& board;
  UserInterface& ui;
  NumberLocale locale;
};

// Executes row `row`: reads columns 2 to 4, writes columns 5 and 6.
void ExeScript(ScriptContext& ctx, int row);

// What a caller without a window hooks into a run.
struct ScriptRunHooks {
  // Asked before each row; true ends the run there, the rows run so far
  // keep their results.
  std::function<bool()> stop;
  // Told after each row ran.
  std::function<void(int row)> onRow;
};

// Runs rows 1 to the end of the script. Window events are processed between
// steps so that "Exit Loop" can end an endless goto loop.
void RunScript(ScriptContext& ctx, const ScriptRunHooks& hooks = {});
void SingleStep(ScriptContext& ctx);

// RunScript for at most `maxSeconds` on `clock`: a wait is cut short at the
// limit, and the run ends with the step in progress. True when the limit
// ended it (the rows run so far keep their results).
bool RunScriptWithin(ScriptContext& ctx, Clock& clock, double maxSeconds,
                     const ScriptRunHooks& hooks = {});
void PressExitLoop(ScriptGrid& grid);

// A run ends at the first row without a step; with none in row 1 there is
// nothing to run, and the window says so instead of doing nothing.
bool HasStepToRun(const ScriptGrid& grid);
inline constexpr const char* kNoStepToRunMessage =
    "There is no step to run: type a command into the second column of row 1.";

}  // namespace evm
