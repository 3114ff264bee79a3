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

  void Start(Clock& clock) {
    start = clock.SecondsSinceMidnight();
    last_ = start;
    daysPassed_ = 0;
  }
  // After `done` passes; a run over midnight, or of more than a day, goes
  // on counting its seconds.
  bool Over(long done, Clock& clock) const;
  // Seconds since Start, over midnight too. Asked at least twice a day, as
  // every run does between its passes.
  double Elapsed(Clock& clock) const;

 private:
  // The time of day seen last and the whole days since Start, so that the
  // time of day coming round to where it started is not a run of 0 s.
  mutable double last_ = 0;
  mutable double daysPassed_ = 0;
};

}  // namespace evm
