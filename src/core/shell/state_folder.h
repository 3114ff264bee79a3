// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace evm {

// The build leaves this file beside the programs it makes; an installed copy
// has none.
inline constexpr const char* kBuildTreeMarker = "zm5520-evm-build-tree";

inline constexpr const char* kNoStateFolderMessage =
    "no folder for the state files (set HOME or --config-dir)";

// The user's own folder for the state, and where it came from.
struct UserFolder {
  std::filesystem::path path;  // empty: the environment names none
  // Under a folder other users share or could guess (the runtime or the
  // temporary folder): made 0700, and never taken when it is a link.
  bool shared = false;
};

// The folder the state files go to, or why there is none.
struct StateFolderChoice {
  std::filesystem::path folder;
  std::string problem;  // set: no folder to use; the text for the user
};

// Where the small state files live: the folder given on the command line;
// else, for a program run from its build folder, that folder while it can be
// written and is the user's alone; else the user's folder. An installed
// program never keeps them beside itself, even when it could write there (as
// root). A folder the program chose itself is refused when another user owns
// it or may write in it, as whoever can plant a file there chooses the
// boards the program drives. Creates the folder it returns.
StateFolderChoice ChooseStateFolder(const std::optional<std::filesystem::path>& configDirOption,
                                    const std::filesystem::path& executableFolder,
                                    const UserFolder& userFolder);

// $XDG_CONFIG_HOME/zm5520-evm, else ~/.config/zm5520-evm; without either,
// $XDG_RUNTIME_DIR/zm5520-evm, else /tmp/zm5520-evm-<uid>. On Windows the
// per-user local application data folder.
UserFolder UserConfigFolder();

// The folder of the running program, empty where the system does not say.
std::filesystem::path ExecutableFolder();

bool FolderIsWritable(const std::filesystem::path& folder);

}  // namespace evm
