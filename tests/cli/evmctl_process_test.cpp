// evmctl as the shell runs it: exit statuses end to end.
#include <gtest/gtest.h>

#include "cli/evmctl_process.h"

namespace evm::test {
namespace {

TEST(EvmctlProcess, ExitStatusesReachTheShell) {
  TempDir config;
  struct Case {
    std::vector<std::string> args;
    int code;
    const char* out;  // start of standard output; nullptr: not checked
  };
  const Case cases[] = {
      {{"--version"}, 0, "evmctl " EVM_VERSION_STRING "\n"},
      {{"--simulate", "write", "5", "A000"}, 0, "05h  wrote A000  read A000  match"},
      {{"--simulate", "write", "2", "1234"}, 1, nullptr},
      {{"frobnicate"}, 2, nullptr},
      {{"--vendor-id", "0001", "devices"}, 3, nullptr},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.args.back());
    const ProcessResult r = RunEvmctlProcess(config.path(), k.args);
    EXPECT_EQ(r.code, k.code) << r.err;
    if (k.out) {
      EXPECT_EQ(r.out.rfind(k.out, 0), 0u) << r.out;
    }
  }
}

}  // namespace
}  // namespace evm::test
