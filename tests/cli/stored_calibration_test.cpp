// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include "cli/cli_fixture.h"
#include "common/atomic_file.h"
#include "shell/main_load.h"
#include "shell/settings_file.h"
#include "support/sim_fixture.h"

namespace evm::test {
namespace {

// The same stored settings scale the same in the main window (in either
// locale) and in evmctl, whichever locale wrote them.
TEST_F(Evmctl, StoredSettingsScaleAsTheMainWindowScalesThem) {
  struct Case {
    const char* name;
    const char *rshunt, *current, *lsb;
    double currentLsb, powerLsb;
    const char* note;  // what evmctl says about the stored inputs
  };
  const Case cases[] = {
      {"written with a point", "0.01", "2", "100u", 100e-6, 2e-3, ""},
      {"written in a comma locale", "0,1", "1,5", "50u", 50e-6, 1e-3, ""},
      {"shunt not a number", "abc", "2", "100u", 0, 0, "Rshunt 'abc'"},
      {"negative current stops the chain", "0.01", "-2", "100u", 0, 0, "Current '-2'"},
      {"current above the possible", "0.01", "50", "100u", 0, 0, "Current '50'"},
      {"LSB out of range scales the current only", "0.01", "2", "10u", 10e-6, 0, "LSB '10u'"},
      {"calibration beyond 16 bits", "0.0001", "2", "100u", 100e-6, 0, "LSB '100u'"},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.name);
    const std::string settings = std::string("\"") + k.rshunt + "\"\r\n\"" + k.current +
                                 "\"\r\n\"" + k.lsb + "\"\r\n4\r\n2026\r\n";
    ASSERT_TRUE(WriteFileAtomically(dir.path() / kSettingsFileName, settings));
    const CliResult r = Sim({"--json", "read"});
    ASSERT_EQ(r.code, 0) << r.err;
    const Json doc = Parsed(r);
    EXPECT_DOUBLE_EQ(doc.value("current_lsb", -1.0), k.currentLsb);
    EXPECT_DOUBLE_EQ(doc.value("power_lsb", -1.0), k.powerLsb);
    EXPECT_EQ(r.err.find("' stored in '") != std::string::npos, *k.note != 0) << r.err;
    EXPECT_NE(r.err.find(k.note), std::string::npos) << r.err;

    for (const NumberLocale locale : {NumberLocale::Point(), NumberLocale::Comma()}) {
      SimContext gui(locale);
      ASSERT_TRUE(WriteFileAtomically(gui.evm.StateFile(kSettingsFileName), settings));
      ASSERT_EQ(MainLoad(gui.evm), LoadOutcome::Loaded);
      FirstActivation(gui.evm);
      EXPECT_DOUBLE_EQ(gui.evm.registers.CurrentLsb, k.currentLsb);
      EXPECT_DOUBLE_EQ(gui.evm.registers.PowerLsb, k.powerLsb);
    }
  }
}

}  // namespace
}  // namespace evm::test
