#include <pthread.h>
#include <unistd.h>

#include <atomic>
#include <csignal>
#include <iostream>
#include <thread>

#include "cli/evmctl.h"
#include "common/clock.h"

// Ctrl-C and a termination request are taken by a thread of their own, which
// only raises the stop flag; the command ends its loop at the next pass and
// keeps what it did. A second signal ends the program at once.
int main(int argc, char* argv[]) {
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGINT);
  sigaddset(&signals, SIGTERM);
  sigaddset(&signals, SIGUSR1);  // the program's own "no more signals to wait for"
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);

  std::atomic<bool> stop{false};
  std::thread watcher([&] {
    for (;;) {
      int signal = 0;
      if (sigwait(&signals, &signal) != 0 || signal == SIGUSR1) return;
      if (stop.exchange(true)) std::_Exit(130);
    }
  });

  evm::SystemClock clock;
  const evm::cli::EvmctlIo io{std::cout, std::cerr, clock, &stop, isatty(STDERR_FILENO) == 1};
  const int status = evm::cli::RunEvmctl(std::vector<std::string>(argv + 1, argv + argc), io);
  pthread_kill(watcher.native_handle(), SIGUSR1);
  watcher.join();
  return status;
}
