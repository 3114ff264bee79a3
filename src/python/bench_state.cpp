// SPDX-License-Identifier: GPL-3.0-or-later
#include "bench_state.h"

#include "monitor_run.h"

namespace evm::python {

Bench& BenchState::Take() {
  if (!bench_) throw Error("the bench is closed");
  if (monitor_) {
    throw Error("a monitor() is running on this bench: end its loop or close() it first");
  }
  if (busy_) throw Error("the bench is busy with a call of another thread");
  busy_ = true;
  return *bench_;
}

void BenchState::Close() {
  if (monitor_) monitor_->Close();
  if (busy_ && bench_) {
    // Waiting here could wait for ever, for a callback of that very call.
    bench_->RequestStop();
    throw Error(
        "the bench is busy with another call, which was asked to stop; close it when "
        "that call has ended");
  }
  bench_.reset();
}

}  // namespace evm::python
