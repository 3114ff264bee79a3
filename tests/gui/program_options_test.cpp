// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/shell/program_options.h"

#include <gtest/gtest.h>

#include <QLocale>

#include "common/eng_number.h"
#include "shell/main_load.h"

namespace evm {
namespace {

TEST(ProgramOptions, EachOptionIsTaken) {
  struct Case {
    std::vector<std::string> args;
    bool simulate, help, version, launcher;
    const char* configDir;    // nullptr: not given
    int vendorId;             // -1: not given
    const char* screenshots;  // nullptr: no screenshot mode
  };
  // clang-format off
  const Case cases[] = {
      {{},                                        false, false, false, false, nullptr, -1,     nullptr},
      {{"--simulate", "--launcher"},              true,  false, false, true,  nullptr, -1,     nullptr},
      {{"--help"},                                false, true,  false, false, nullptr, -1,     nullptr},
      {{"-h"},                                    false, true,  false, false, nullptr, -1,     nullptr},
      {{"--version"},                             false, false, true,  false, nullptr, -1,     nullptr},
      {{"--config-dir", "state"},                 false, false, false, false, "state", -1,     nullptr},
      {{"--config-dir=a b"},                      false, false, false, false, "a b",   -1,     nullptr},
      {{"--vendor-id", "1a2b"},                   false, false, false, false, nullptr, 0x1A2B, nullptr},
      {{"--vendor-id=0x3A5F"},                    false, false, false, false, nullptr, 0x3A5F, nullptr},
      {{"--vendor-id", "FFFFh"},                  false, false, false, false, nullptr, 0xFFFF, nullptr},
      {{"--simulate", "--screenshots", "pics"},   true,  false, false, false, nullptr, -1,     "pics"},
      {{"--screenshots=out/pics", "--simulate"},  true,  false, false, false, nullptr, -1,     "out/pics"},
  };
  // clang-format on
  for (const Case& k : cases) {
    SCOPED_TRACE(k.args.empty() ? "nothing" : k.args.front());
    const ProgramOptions o = ParseProgramOptions(k.args);
    EXPECT_EQ(o.error, "");
    EXPECT_EQ(o.simulate, k.simulate);
    EXPECT_EQ(o.help, k.help);
    EXPECT_EQ(o.version, k.version);
    EXPECT_EQ(o.launcher, k.launcher);
    EXPECT_EQ(o.configDir.value_or("-"), k.configDir ? k.configDir : "-");
    EXPECT_EQ(o.vendorId ? int{*o.vendorId} : -1, k.vendorId);
    EXPECT_EQ(o.screenshots.value_or("-"), k.screenshots ? k.screenshots : "-");
  }
  const ProgramOptions load = ParseProgramOptions({"--simulate", "--sim-load", "step:at=2,amps=3"});
  EXPECT_EQ(load.error, "");
  EXPECT_EQ(load.simLoad, "step:at=2,amps=3");
}

TEST(ProgramOptions, BadOnesAreNamed) {
  const std::pair<std::vector<std::string>, const char*> cases[] = {
      {{"--vendor-id", "10000"}, "'10000'"},
      {{"--vendor-id"}, "'--vendor-id'"},
      {{"--simulate", "--config-dir"}, "'--config-dir'"},
      {{"--config-dir="}, "--config-dir needs a folder"},
      {{"--simulate", "--frob"}, "'frob'"},
      {{"state"}, "'state'"},
      {{"--screenshots", "pics"}, "add --simulate"},
      {{"--simulate", "--screenshots="}, "--screenshots needs a folder"},
      {{"--simulate", "--sim-load", "ramp:at=1,amps=2"}, "'ramp:at=1,amps=2'"},
      {{"--sim-load", "step:at=1,amps=2"}, "add --simulate"},
  };
  for (const auto& [args, error] : cases) {
    const ProgramOptions o = ParseProgramOptions(args);
    EXPECT_NE(o.error.find(error), std::string::npos) << error << ": " << o.error;
  }
}

// Built from Qt's own locale data, so the table does not depend on the
// locales this machine has installed.
TEST(ProgramLocale, EveryLocaleGivesNumbersThatReadBack) {
  struct Case {
    QLocale locale;
    char point, group;
    const char* shown;  // 1.5 as the calibration tab shows it
  };
  const Case cases[] = {
      {QLocale::c(), '.', ',', "1.500 "},
      {QLocale(QLocale::German, QLocale::Germany), ',', '.', "1,500 "},
      {QLocale(QLocale::French, QLocale::France), ',', ' ', "1,500 "},
      {QLocale(QLocale::Arabic, QLocale::Egypt), '.', ',', "1.500 "},
      {QLocale(QLocale::Persian, QLocale::Iran), '.', ',', "1.500 "},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.locale.name().toStdString());
    const NumberLocale n = NumberLocaleOf(k.locale);
    EXPECT_EQ(n.decimalSeparator, k.point);
    EXPECT_EQ(n.groupSeparator, k.group);
    EXPECT_EQ(FormatEngNumber(1.5, n), k.shown);
    EXPECT_EQ(ParseEngNumber(k.shown, n), 1.5);
    EXPECT_EQ(DecimalCommaOf(n), k.point == ',' ? 1 : 0);
  }
}

}  // namespace
}  // namespace evm
