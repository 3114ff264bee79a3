// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "acquisition/statistics.h"
#include "zm5520evm/results.h"

namespace evm {

// Core's record in the form the Bench gives it.
RunStatistics RunStatisticsOf(const Statistics& stats);

}  // namespace evm
