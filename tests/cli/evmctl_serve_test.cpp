// SPDX-License-Identifier: GPL-3.0-or-later
// What evmctl serve refuses before it listens, with its status and reason.
#include "cli/cli_fixture.h"
#include "cli/commands.h"

namespace evm::test {
namespace {

using ServeCommand = Evmctl;

// Nothing listens where other machines reach it unless the user says so, and
// a host that names no address is refused for that, not for being remote.
TEST_F(ServeCommand, RefusesWhatItShouldNotListenOnWithTheReason) {
  struct Case {
    const char* listen;
    int code;
    const char* says;
    const char* never;
  };
  const Case cases[] = {
      {"0.0.0.0:0", cli::kExitUsage, "lets other machines write the registers; add --allow-remote",
       "cannot resolve"},
      {"[::ffff:127.0.0.1]:0", cli::kExitUsage, "lets other machines write the registers", ""},
      {"127.0.0.1:99999", cli::kExitUsage, "is not HOST:PORT", "lets other machines"},
      {"a..b:0", cli::kExitFailed, "evmctl serve: cannot resolve 'a..b': ", "lets other machines"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.listen);
    const CliResult r = Sim({"serve", "--listen", c.listen});
    EXPECT_EQ(r.code, c.code) << r.err;
    EXPECT_NE(r.err.find(c.says), std::string::npos) << r.err;
    if (*c.never) {
      EXPECT_EQ(r.err.find(c.never), std::string::npos) << r.err;
    }
  }
}

}  // namespace
}  // namespace evm::test
