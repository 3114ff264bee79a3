// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "cli/cli_context.h"

namespace evm::cli {

// The statistics of a run as JSON: samples, seconds, lost, one object
// {"min","mean","max","std","peak_to_peak"} per quantity (null for one the
// run did not read), charge and energy.
Json StatisticsJson(const RunStatistics& stats);
// At the end of a run: one JSON line {"schema": 1, "statistics": {...}}
// with --json, a small table otherwise.
void PrintStatistics(CliContext& ctx, const RunStatistics& stats);

}  // namespace evm::cli
