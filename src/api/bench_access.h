// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <memory>

#include "zm5520evm/bench.h"

namespace evm {

class Clock;

// Not installed: the clock is the program's own type, so only its own front
// ends (evmctl, the tests) open a Bench on a clock they keep.
struct BenchAccess {
  // As Bench::Open, waiting on `clock` (which must outlive the Bench).
  static std::unique_ptr<Bench> Open(const BenchOptions& options, Clock& clock);
};

}  // namespace evm
