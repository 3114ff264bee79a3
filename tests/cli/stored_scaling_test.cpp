// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <string>

#include "cli_fixture.h"
#include "common/atomic_file.h"
#include "shell/main_load.h"
#include "shell/settings_file.h"
#include "support/sim_fixture.h"

namespace evm::test {
namespace {

// The settings the main window stored scale the readings alike in the
// window and in evmctl, values the window refuses and a comma locale
// included: both take the current and power LSBs from the same chain.
TEST(StoredScaling, TheMainWindowAndEvmctlReadTheSameSettingsAlike) {
  struct Case {
    const char* name;
    bool comma;
    const char *rshunt, *current, *lsb;
    double currentLsb, powerLsb;
  };
  // clang-format off
  const Case cases[] = {
      {"as stored",                  false, "0.01",   "2",   "100u", 100e-6, 2e-3},
      {"comma locale",               true,  "0,01",   "2",   "100u", 100e-6, 2e-3},
      {"comma locale, LSB in range", true,  "0,1",    "1",   "50u",  50e-6,  1e-3},
      {"negative current",           false, "0.01",   "-2",  "100u", 0,      0},
      {"current too large",          true,  "0,01",   "50",  "100u", 0,      0},
      {"LSB out of range",           false, "0.01",   "2",   "10u",  10e-6,  0},
      {"calibration beyond 16 bits", false, "0.0001", "2",   "100u", 100e-6, 0},
      {"shunt unusable",             false, "abc",    "2",   "100u", 0,      0},
  };
  // clang-format on
  for (const Case& k : cases) {
    SCOPED_TRACE(k.name);
    SimContext window(k.comma ? NumberLocale::Comma() : NumberLocale::Point());
    const std::string settings = std::string("\"") + k.rshunt + "\"\r\n\"" + k.current +
                                 "\"\r\n\"" + k.lsb + "\"\r\n1\r\n2026\r\n";
    ASSERT_TRUE(WriteFileAtomically(window.evm.StateFile(kSettingsFileName), settings));

    // evmctl first: the window's unload may store the settings anew.
    FakeClock clock;
    const CliResult read = RunEvmctlWith(
        {"--config-dir", Utf8FromPath(window.dir.path()), "--simulate", "--json", "read"}, clock);
    ASSERT_EQ(read.code, 0) << read.err;
    const Json doc = Json::parse(read.out);

    MainLoad(window.evm, window.panels);
    window.evm.regLink().OpenRegLink();
    FirstActivation(window.evm, window.panels);
    const RegisterStore& store = window.evm.registers();
    EXPECT_NEAR(store.CurrentLsb, k.currentLsb, 1e-12);
    EXPECT_NEAR(store.PowerLsb, k.powerLsb, 1e-12);
    EXPECT_NEAR(doc["current_lsb_amps"].get<double>(), store.CurrentLsb, 1e-12);
    EXPECT_NEAR(doc["power_lsb_watts"].get<double>(), store.PowerLsb, 1e-12);
  }
}

}  // namespace
}  // namespace evm::test
