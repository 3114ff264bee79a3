// SPDX-License-Identifier: GPL-3.0-or-later
#include "acquisition/run_length.h"

namespace evm {

double RunLength::Elapsed(Clock& clock) const {
  constexpr double kSecondsPerDay = 86400;
  const double now = clock.SecondsSinceMidnight();
  // The time of day went back by more than half a day: midnight has passed
  // since it was last asked (an hour back is the end of summer time).
  if (now < last_ - kSecondsPerDay / 2) daysPassed_ += kSecondsPerDay;
  last_ = now;
  return now + daysPassed_ - start;
}

bool RunLength::Over(long done, Clock& clock) const {
  if (passes > 0) return done >= passes;
  if (seconds <= 0) return false;
  return Elapsed(clock) >= seconds;
}

}  // namespace evm
