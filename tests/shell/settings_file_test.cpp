// SPDX-License-Identifier: GPL-3.0-or-later
// The settings store that evmctl, the Bench and the SCPI server share: new
// calibration inputs replace the old ones, and settings that do not parse
// are kept aside, never written over.
#include "shell/settings_file.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "common/atomic_file.h"
#include "support/temp_dir.h"

namespace evm::test {
namespace {

namespace fs = std::filesystem;

TEST(StoreCalibrationInputs, KeepsTheDateAndSetsDamagedSettingsAside) {
  const std::string valid = "\"0.02\"\r\n\"3\"\r\n\"50u\"\r\n3\r\n2026\r\n";
  const std::string earlier = "EARLIER BAD";
  const DateTime now{2026, 7, 1, 9, 5, 3};
  struct Case {
    const char* name;
    std::optional<std::string> before;  // the settings file; none when absent
    std::vector<std::string> taken;     // suffixes already holding earlier copies
    double month, year;                 // stored afterwards
    const char* keptAs;                 // suffix that holds `before` afterwards
  };
  const Case cases[] = {
      {"no file yet", std::nullopt, {}, 4, 2027, nullptr},
      {"valid settings keep their date", valid, {}, 3, 2026, nullptr},
      {"garbage", "GARBAGE\r\n", {}, 4, 2027, ".bad"},
      {"too few fields", "\"0.02\"\r\n\"3\"\r\n", {}, 4, 2027, ".bad"},
      {"a second damaged file", "LATER BAD", {".bad"}, 4, 2027, ".20260701-090503.bad"},
      {"a third in the same second",
       "LATER BAD",
       {".bad", ".20260701-090503.bad"},
       4,
       2027,
       ".20260701-090503-2.bad"},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.name);
    TempDir dir;
    const fs::path file = dir.path() / kSettingsFileName;
    if (k.before) {
      ASSERT_TRUE(WriteFileAtomically(file, *k.before));
    }
    for (const std::string& suffix : k.taken) {
      ASSERT_TRUE(WriteFileAtomically(file.string() + suffix, earlier));
    }
    std::error_code ec;
    fs::path setAside;
    ASSERT_TRUE(StoreCalibrationInputs(file, "10m", "2", "100u", 4, 2027, ec, now, &setAside))
        << ec.message();
    const auto stored = ReadSettingsFile(file);
    ASSERT_TRUE(stored);
    EXPECT_EQ(stored->rshunt, "10m");
    EXPECT_EQ(stored->maxExpectedCurrent, "2");
    EXPECT_EQ(stored->selectedCurrentLsb, "100u");
    EXPECT_EQ(stored->month, k.month);
    EXPECT_EQ(stored->year, k.year);
    for (const std::string& suffix : k.taken) {
      EXPECT_EQ(ReadWholeFile(file.string() + suffix), earlier) << suffix;
    }
    size_t files = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator(dir.path())) ++files;
    if (k.keptAs) {
      EXPECT_EQ(setAside, file.string() + k.keptAs);
      EXPECT_EQ(ReadWholeFile(file.string() + k.keptAs), *k.before);
      EXPECT_EQ(files, k.taken.size() + 2);
    } else {
      EXPECT_TRUE(setAside.empty());
      EXPECT_EQ(files, k.taken.size() + 1);
    }
  }
}

// Something that is no file of ours is left for the user to look at.
TEST(StoreCalibrationInputs, LeavesWhatIsNoRegularFileAlone) {
  TempDir dir;
  const fs::path file = dir.path() / kSettingsFileName;
  fs::create_directory(file);
  std::error_code ec;
  EXPECT_FALSE(StoreCalibrationInputs(file, "10m", "2", "100u", 4, 2027, ec));
  EXPECT_TRUE(ec);
  EXPECT_TRUE(fs::is_directory(file));
  EXPECT_FALSE(fs::exists(file.string() + ".bad"));
}

}  // namespace
}  // namespace evm::test
