// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "common/clock.h"

namespace evm {

// How long a continuous read runs: N passes or S seconds, or (neither
// given) until it is stopped.
struct RunLength {
  long passes = 0;
  double seconds = 0;
  double start = 0;  // seconds since midnight when reading began

  void Start(Clock& clock) { start = clock.SecondsSinceMidnight(); }
  // After `done` passes; a run over midnight goes on counting its seconds.
  bool Over(long done, Clock& clock) const;
  // Seconds since Start, over midnight too.
  double Elapsed(Clock& clock) const;
};

}  // namespace evm
