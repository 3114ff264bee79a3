// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <filesystem>
#include <string>
#include <system_error>

#include "common/user_interface.h"
#include "script/script_grid.h"

namespace evm {

inline constexpr const char* kScriptFilter = "Text (*.txt)|*.txt|All Files (*.*)|*.*";
inline constexpr const char* kResultsFilter = "Result (*.RSL)|*.txt|All Files (*.*)|*.*";

// Row texts as a script line: the given columns as quoted strings, a quote
// inside a cell written as a single quote.
std::string FormatScriptLine(const ScriptGrid& grid, int row, int lastColumn);

// Writes rows 1 to ScriptLastRow after the save trim; false when the file
// could not be written (the old file is then untouched).
bool SaveScript(ScriptGrid& grid, const std::filesystem::path& file);
bool SaveResults(ScriptGrid& grid, const std::filesystem::path& file, UserInterface& ui);
// The results without the window's message: the reason is in `ec`.
bool SaveResultsFile(ScriptGrid& grid, const std::filesystem::path& file, std::error_code& ec);
// Fills the grid from row 1; a line that does not hold four fields stops the
// load with a message, the rows read before it stay.
bool LoadScript(ScriptGrid& grid, const std::filesystem::path& file, UserInterface& ui);

// The buttons: file dialog, then the file operation.
void SaveScriptCommand(ScriptGrid& grid, UserInterface& ui);
void LoadScriptCommand(ScriptGrid& grid, UserInterface& ui);
void SaveResultsCommand(ScriptGrid& grid, UserInterface& ui);

}  // namespace evm
