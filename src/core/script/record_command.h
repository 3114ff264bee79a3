// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "common/user_interface.h"
#include "script/run_record.h"
#include "script/script_grid.h"

namespace evm {

inline constexpr const char* kRecordFilter =
    "JSON record (*.json)|*.json|JUnit XML (*.xml)|*.xml|All Files (*.*)|*.*";
inline constexpr const char* kNoRunToRecordMessage =
    "There is no run to record yet: run the script first.";

// What a window's run records of its script: the rows as the grid holds
// them, whose hash is that of the file Save Script writes (the grid may have
// been edited since it was loaded), and the program's version.
void DescribeWindowRun(const ScriptGrid& grid, RunRecord& record);

// The script window's "Save Record": the record of its last run, as JUnit
// XML for a name ending in ".xml" and as the JSON record otherwise. Nothing
// is asked when there was no run.
void SaveRecordCommand(const RunRecord* record, UserInterface& ui);

}  // namespace evm
