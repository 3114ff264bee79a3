// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <memory>

#include "script/run_record.h"
#include "zm5520evm/bench.h"

namespace evm {

class Clock;

// Not installed: the clock is the program's own type, so only its own front
// ends (evmctl, the tests) open a Bench on a clock they keep.
struct BenchAccess {
  // As Bench::Open, waiting on `clock` (which must outlive the Bench).
  static std::unique_ptr<Bench> Open(const BenchOptions& options, Clock& clock);
  // The record of the bench's last script run, for a file of several runs.
  static RunRecord LastScriptRecord(const Bench& bench);
};

}  // namespace evm
