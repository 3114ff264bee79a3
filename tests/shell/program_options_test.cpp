#include "shell/program_options.h"

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
      {"no folder", {"--simulate", "--screenshots"}, nullptr, "--screenshots needs a value"},
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

}  // namespace
}  // namespace evm
