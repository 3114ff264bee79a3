#include "shell/state_folder.h"

#include <gtest/gtest.h>

#include <fstream>

#include "support/temp_dir.h"

namespace evm {
namespace {

TEST(StateFolder, OptionWinsThenWritableBuildFolderThenUserFolder) {
  test::TempDir dir;
  const auto build = dir.path() / "build";
  const auto installed = dir.path() / "bin";
  const auto user = dir.path() / "user" / "zm5520-evm";
  std::filesystem::create_directories(build);
  std::filesystem::create_directories(installed);
  std::ofstream(build / kBuildTreeMarker) << "\n";
  EXPECT_EQ(ChooseStateFolder(dir.path() / "opt", build, user), dir.path() / "opt");
  EXPECT_TRUE(std::filesystem::is_directory(dir.path() / "opt"));
  EXPECT_EQ(ChooseStateFolder(std::nullopt, build, user), build);
  // An installed program's folder may well be writable (run as root): the
  // state still goes to the user's folder.
  EXPECT_EQ(ChooseStateFolder(std::nullopt, installed, user), user);
  EXPECT_EQ(ChooseStateFolder(std::nullopt, dir.path() / "no-such-folder", user), user);
  EXPECT_TRUE(std::filesystem::is_directory(user));
}

}  // namespace
}  // namespace evm
