// SPDX-License-Identifier: GPL-3.0-or-later
// evmctl as the shell runs it: exit statuses end to end. On Windows,
// tools/test-windows.sh compares evmctl.exe's statuses with these.
#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/wait.h>

#include <cstdlib>

#include "common/atomic_file.h"
#include "support/temp_dir.h"

namespace evm::test {
namespace {

TEST(EvmctlProcess, ExitStatusesReachTheShell) {
  TempDir dir;
  const struct {
    const char* args;
    int code;
    const char* out;  // start of standard output; nullptr: not checked
  } cases[] = {
      {"--version", 0, "evmctl " EVM_VERSION_STRING "\n"},
      {"--simulate write 5 A000", 0, "05h  wrote A000  read A000  match"},
      {"--simulate write 2 1234", 1, nullptr},
      {"frobnicate", 2, nullptr},
      {"--vendor-id 0001 devices", 3, nullptr},
  };
  const std::string out = (dir.path() / "out").string();
  for (const auto& k : cases) {
    SCOPED_TRACE(k.args);
    // Standard input empty: a prompt that waited for an answer ends the run.
    const std::string command = "'" EVMCTL_PATH "' --config-dir '" + dir.path().string() + "' " +
                                k.args + " >'" + out + "' 2>/dev/null </dev/null";
    const int status = std::system(command.c_str());
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), k.code);
    if (k.out) {
      EXPECT_EQ(ReadWholeFile(out).value_or("").rfind(k.out, 0), 0u);
    }
  }
}

}  // namespace
}  // namespace evm::test
#endif
