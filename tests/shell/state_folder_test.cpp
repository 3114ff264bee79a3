#include "shell/state_folder.h"

#include <gtest/gtest.h>

#include "support/temp_dir.h"

namespace evm {
namespace {

TEST(StateFolder, OptionWinsThenExecutableFolderThenUserFolder) {
  test::TempDir dir;
  const auto exe = dir.path() / "bin";
  const auto user = dir.path() / "user" / "zm5520-evm";
  std::filesystem::create_directories(exe);
  EXPECT_EQ(ChooseStateFolder(dir.path() / "opt", exe, user), dir.path() / "opt");
  EXPECT_TRUE(std::filesystem::is_directory(dir.path() / "opt"));
  EXPECT_EQ(ChooseStateFolder(std::nullopt, exe, user), exe);
  EXPECT_EQ(ChooseStateFolder(std::nullopt, dir.path() / "no-such-folder", user), user);
  EXPECT_TRUE(std::filesystem::is_directory(user));
}

}  // namespace
}  // namespace evm
