// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "script/run_record.h"

namespace evm {

// The record as the JSON document the README describes (its "schema" and
// "schema_version" fields say which layout it is).
std::string RunRecordJson(const RunRecord& record);

// JUnit XML: one testsuite per run, one testcase per row that checks a
// value, a failure for a FAIL and an error for a run that could not finish.
// The readers' schema has no properties in a testcase, so each check's
// value, limits and unit are properties of its suite, named after its row.
std::string JUnitXml(const std::vector<RunRecord>& runs);

// Both written whole or not at all (WriteFileAtomically); false with the
// reason in `ec`.
bool SaveRunRecordJson(const RunRecord& record, const std::filesystem::path& file,
                       std::error_code& ec);
bool SaveJUnitXml(const std::vector<RunRecord>& runs, const std::filesystem::path& file,
                  std::error_code& ec);

}  // namespace evm
