// SPDX-License-Identifier: GPL-3.0-or-later
// The settings store evmctl, the Bench and the SCPI server share: settings
// that do not parse are kept aside under a name not in use, never written
// over; what is no regular file is left alone.
#include "shell/settings_file.h"

#include <gtest/gtest.h>

#include "common/atomic_file.h"
#include "support/temp_dir.h"

namespace evm::test {
namespace {

namespace fs = std::filesystem;

TEST(StoreCalibrationInputs, KeepsTheDateAndSetsWhatDoesNotParseAside) {
  struct Case {
    const char* before;  // nullptr: a folder in the file's place
    int takenCopies;     // earlier copies: ".bad", then ".20260701-090503.bad"
    bool stored;
    const char* keptAs;  // where `before` is afterwards; nullptr: nowhere else
    double year;         // stored afterwards
  };
  const char* taken[] = {".bad", ".20260701-090503.bad"};
  for (const Case& k :
       {Case{"\"0.02\"\r\n\"3\"\r\n\"50u\"\r\n3\r\n2026\r\n", 0, true, nullptr, 2026},
        Case{"GARBAGE\r\n", 0, true, ".bad", 2027},
        Case{"LATER", 1, true, ".20260701-090503.bad", 2027},
        Case{"LATER", 2, true, ".20260701-090503-2.bad", 2027},
        Case{nullptr, 0, false, nullptr, 0}}) {
    SCOPED_TRACE(k.keptAs ? k.keptAs : "no copy");
    TempDir dir;
    const fs::path file = dir.path() / kSettingsFileName;
    ASSERT_TRUE(k.before ? WriteFileAtomically(file, k.before) : fs::create_directory(file));
    for (int i = 0; i < k.takenCopies; ++i) {
      ASSERT_TRUE(WriteFileAtomically(file.string() + taken[i], "EARLIER"));
    }
    std::error_code ec;
    fs::path setAside;
    EXPECT_EQ(StoreCalibrationInputs(file, "10m", "2", "100u", 4, 2027, ec,
                                     DateTime{2026, 7, 1, 9, 5, 3}, &setAside),
              k.stored);
    EXPECT_EQ(setAside, k.keptAs ? fs::path(file.string() + k.keptAs) : fs::path());
    if (k.keptAs) {
      EXPECT_EQ(ReadWholeFile(setAside), k.before);
    }
    for (int i = 0; i < k.takenCopies; ++i)
      EXPECT_EQ(ReadWholeFile(file.string() + taken[i]), "EARLIER");
    EXPECT_EQ(fs::is_directory(file), !k.before);
    const auto stored = ReadSettingsFile(file);
    EXPECT_EQ(stored ? stored->rshunt + " " + std::to_string(stored->year) : "none",
              k.stored ? "10m " + std::to_string(k.year) : "none");
  }
}

}  // namespace
}  // namespace evm::test
