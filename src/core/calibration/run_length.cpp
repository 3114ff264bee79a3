// SPDX-License-Identifier: GPL-3.0-or-later
#include "calibration/run_length.h"

namespace evm {

double RunLength::Elapsed(Clock& clock) const {
  constexpr double kSecondsPerDay = 86400;
  double elapsed = clock.SecondsSinceMidnight() - start;
  if (elapsed < 0) elapsed += kSecondsPerDay;
  return elapsed;
}

bool RunLength::Over(long done, Clock& clock) const {
  if (passes > 0) return done >= passes;
  if (seconds <= 0) return false;
  return Elapsed(clock) >= seconds;
}

}  // namespace evm
