#include "gui/shell/program_options.h"

#include <gtest/gtest.h>

namespace evm {
namespace {

TEST(ProgramOptions, ScreenshotsTakesAFolderAndNeedsTheSimulatedEvm) {
  struct Case {
    const char* name;
    std::vector<std::string> args;
    const char* folder;  // nullptr: no screenshot mode
    const char* error;   // part of the message; nullptr: none
  };
  const Case cases[] = {
      {"folder after the option", {"--simulate", "--screenshots", "pics"}, "pics", nullptr},
      {"joined, simulate last", {"--screenshots=out/pics", "--simulate"}, "out/pics", nullptr},
      {"without it", {"--simulate"}, nullptr, nullptr},
      {"real boards", {"--screenshots", "pics"}, "pics", "add --simulate"},
      {"no folder", {"--simulate", "--screenshots"}, nullptr, "'--screenshots'"},
      {"empty folder", {"--simulate", "--screenshots="}, nullptr, "--screenshots needs a folder"},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.name);
    const ProgramOptions o = ParseProgramOptions(k.args);
    if (k.error) {
      EXPECT_NE(o.error.find(k.error), std::string::npos) << o.error;
    } else {
      EXPECT_EQ(o.error, "");
      ASSERT_EQ(o.screenshots.has_value(), k.folder != nullptr);
      if (k.folder) {
        EXPECT_EQ(*o.screenshots, k.folder);
      }
    }
  }
}

TEST(ProgramOptions, EachOptionIsTaken) {
  struct Case {
    const char* name;
    std::vector<std::string> args;
    bool simulate, help, version, launcher;
    const char* configDir;  // nullptr: not given
    int vendorId;           // -1: not given
  };
  // clang-format off
  const Case cases[] = {
      {"nothing",              {},                            false, false, false, false, nullptr, -1},
      {"flags",                {"--simulate", "--launcher"},  true,  false, false, true,  nullptr, -1},
      {"help",                 {"--help"},                    false, true,  false, false, nullptr, -1},
      {"short help",           {"-h"},                        false, true,  false, false, nullptr, -1},
      {"version",              {"--version"},                 false, false, true,  false, nullptr, -1},
      {"config folder",        {"--config-dir", "state"},     false, false, false, false, "state", -1},
      {"config folder joined", {"--config-dir=a b"},          false, false, false, false, "a b",   -1},
      {"vendor id",            {"--vendor-id", "1a2b"},       false, false, false, false, nullptr, 0x1A2B},
      {"vendor id with 0x",    {"--vendor-id=0x3A5F"},        false, false, false, false, nullptr, 0x3A5F},
      {"vendor id with h",     {"--vendor-id", "FFFFh"},      false, false, false, false, nullptr, 0xFFFF},
  };
  // clang-format on
  for (const Case& k : cases) {
    SCOPED_TRACE(k.name);
    const ProgramOptions o = ParseProgramOptions(k.args);
    EXPECT_EQ(o.error, "");
    EXPECT_EQ(o.simulate, k.simulate);
    EXPECT_EQ(o.help, k.help);
    EXPECT_EQ(o.version, k.version);
    EXPECT_EQ(o.launcher, k.launcher);
    ASSERT_EQ(o.configDir.has_value(), k.configDir != nullptr);
    if (k.configDir) {
      EXPECT_EQ(*o.configDir, k.configDir);
    }
    ASSERT_EQ(o.vendorId.has_value(), k.vendorId >= 0);
    if (k.vendorId >= 0) {
      EXPECT_EQ(*o.vendorId, k.vendorId);
    }
  }
}

TEST(ProgramOptions, BadOnesAreNamed) {
  struct Case {
    std::vector<std::string> args;
    const char* error;  // part of the message
  };
  const Case cases[] = {
      {{"--vendor-id", "10000"}, "'10000'"},
      {{"--vendor-id", "3G5F"}, "'3G5F'"},
      {{"--vendor-id"}, "'--vendor-id'"},
      {{"--simulate", "--config-dir"}, "'--config-dir'"},
      {{"--config-dir="}, "--config-dir needs a folder"},
      {{"--simulate", "--frob"}, "'frob'"},
      {{"state"}, "'state'"},
  };
  for (const Case& k : cases) {
    const ProgramOptions o = ParseProgramOptions(k.args);
    EXPECT_NE(o.error.find(k.error), std::string::npos) << k.error << ": " << o.error;
  }
}

}  // namespace
}  // namespace evm
