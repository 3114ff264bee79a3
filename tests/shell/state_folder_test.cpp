// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/state_folder.h"

#include <gtest/gtest.h>

#include <fstream>

#include "support/temp_dir.h"

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace evm {
namespace {

namespace fs = std::filesystem;

TEST(StateFolder, OptionWinsThenWritableBuildFolderThenUserFolder) {
  test::TempDir dir;
  const auto build = dir.path() / "build";
  const auto installed = dir.path() / "bin";
  const UserFolder user{dir.path() / "user" / "zm5520-evm", false};
  fs::create_directories(build);
  fs::create_directories(installed);
  std::ofstream(build / kBuildTreeMarker) << "\n";
  EXPECT_EQ(ChooseStateFolder(dir.path() / "opt", build, user).folder, dir.path() / "opt");
  EXPECT_TRUE(fs::is_directory(dir.path() / "opt"));
  EXPECT_EQ(ChooseStateFolder(std::nullopt, build, user).folder, build);
  // An installed program's folder may well be writable (run as root): the
  // state still goes to the user's folder.
  EXPECT_EQ(ChooseStateFolder(std::nullopt, installed, user).folder, user.path);
  EXPECT_EQ(ChooseStateFolder(std::nullopt, dir.path() / "no-such-folder", user).folder, user.path);
  EXPECT_TRUE(fs::is_directory(user.path));
}

#ifndef _WIN32
// A folder the program picks by itself is refused when someone else could
// plant the board choice in it.
TEST(StateFolder, ChosenFolderMustBeTheUsersAlone) {
  struct Case {
    const char* name;
    bool shared;
    const char* setUp;    // what is there before: "", "dir 0777", "link", "stranger"
    const char* problem;  // empty: taken, and private
  };
  const Case cases[] = {
      {"fresh user folder", false, "", ""},
      {"fresh shared folder", true, "", ""},
      {"user folder others may write", false, "dir 0777", "can be written by other users"},
      {"shared folder others may write", true, "dir 0777", kNoStateFolderMessage},
      {"shared folder that is a link", true, "link", kNoStateFolderMessage},
      {"user folder of another user", false, "stranger", "belongs to another user"},
      {"shared folder of another user", true, "stranger", kNoStateFolderMessage},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.name);
    const std::string setUp = k.setUp;
    if (setUp == "stranger" && ::geteuid() != 0) continue;  // only root can give a folder away
    test::TempDir dir;
    const fs::path folder = dir.path() / "zm5520-evm";
    if (setUp == "dir 0777" || setUp == "stranger") {
      fs::create_directory(folder);
      ::chmod(folder.c_str(), setUp == "stranger" ? 0700 : 0777);
      if (setUp == "stranger") {
        ASSERT_EQ(::chown(folder.c_str(), 65534, 65534), 0);
      }
    } else if (setUp == "link") {
      fs::create_directory(dir.path() / "mine");
      ::chmod((dir.path() / "mine").c_str(), 0700);
      fs::create_directory_symlink(dir.path() / "mine", folder);
    }
    const StateFolderChoice choice =
        ChooseStateFolder(std::nullopt, dir.path() / "bin", UserFolder{folder, k.shared});
    if (std::string(k.problem).empty()) {
      EXPECT_EQ(choice.folder, folder);
      EXPECT_EQ(choice.problem, "");
      struct stat st {};
      ASSERT_EQ(::lstat(folder.c_str(), &st), 0);
      EXPECT_EQ(st.st_mode & 0777, 0700u);
    } else {
      EXPECT_TRUE(choice.folder.empty());
      EXPECT_NE(choice.problem.find(k.problem), std::string::npos) << choice.problem;
      if (!k.shared) {
        EXPECT_NE(choice.problem.find(folder.string()), std::string::npos);
      }
    }
  }
  EXPECT_EQ(ChooseStateFolder(std::nullopt, "/nowhere", UserFolder{}).problem,
            kNoStateFolderMessage);
}

// Without HOME and XDG_CONFIG_HOME the state never goes to the shared
// temporary folder under a name anyone can guess and take first.
TEST(StateFolder, WithoutHomeTheRuntimeFolderThenOneOfTheUsersOwn) {
  const auto saved = [](const char* name) {
    const char* v = std::getenv(name);
    return v ? std::optional<std::string>(v) : std::nullopt;
  };
  const auto home = saved("HOME"), xdg = saved("XDG_CONFIG_HOME"), run = saved("XDG_RUNTIME_DIR");
  ::unsetenv("HOME");
  ::unsetenv("XDG_CONFIG_HOME");
  ::setenv("XDG_RUNTIME_DIR", "/run/user/1000", 1);
  const UserFolder runtime = UserConfigFolder();
  ::setenv("XDG_RUNTIME_DIR", "relative", 1);
  const UserFolder temp = UserConfigFolder();
  for (const auto& [name, value] :
       {std::pair{"HOME", home}, {"XDG_CONFIG_HOME", xdg}, {"XDG_RUNTIME_DIR", run}}) {
    if (value) {
      ::setenv(name, value->c_str(), 1);
    } else {
      ::unsetenv(name);
    }
  }
  EXPECT_EQ(runtime.path, fs::path("/run/user/1000/zm5520-evm"));
  EXPECT_TRUE(runtime.shared);
  EXPECT_EQ(temp.path.filename(), "zm5520-evm-" + std::to_string(::geteuid()));
  EXPECT_TRUE(temp.shared);
}
#endif

}  // namespace
}  // namespace evm
