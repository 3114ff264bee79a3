// SPDX-License-Identifier: GPL-3.0-or-later
#include <atomic>
#include <csignal>
#include <cstdlib>
#include <iostream>

#include "cli/evmctl.h"
#include "common/clock.h"
#include "common/program_arguments.h"

#ifdef _WIN32
#include <io.h>
#define EVMCTL_ISATTY(fd) (_isatty(fd) != 0)
#else
#include <unistd.h>
#define EVMCTL_ISATTY(fd) (isatty(fd) == 1)
#endif

namespace {

// Ctrl-C and a termination request only raise this flag; the command ends
// its loop at the next pass or row and keeps what it did. A second signal
// ends the program at once.
std::atomic<bool> g_stop{false};
static_assert(std::atomic<bool>::is_always_lock_free, "the flag is set by a signal handler");

extern "C" void OnStopSignal(int) {
  if (g_stop.exchange(true)) std::_Exit(130);
}

}  // namespace

int main(int argc, char* argv[]) {
  evm::UseByteStandardStreams();
#ifdef _WIN32
  std::signal(SIGINT, OnStopSignal);
  std::signal(SIGTERM, OnStopSignal);
#else
  // Without SA_RESTART, which std::signal sets here: a system call blocked
  // on a device or a pipe ends with EINTR, so the flag is seen at once.
  struct sigaction action {};
  action.sa_handler = OnStopSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = 0;
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
#endif
  evm::SystemClock clock;
  const evm::cli::EvmctlIo io{std::cout, std::cerr, clock, &g_stop, EVMCTL_ISATTY(2)};
  return evm::cli::RunEvmctl(evm::ProgramArguments(argc, argv), io);
}
