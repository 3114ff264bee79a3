#pragma once

#include <filesystem>
#include <optional>

namespace evm {

// The build leaves this file beside the programs it makes; an installed copy
// has none.
inline constexpr const char* kBuildTreeMarker = "zm5520-evm-build-tree";

// Where the small state files live: the folder given on the command line;
// else, for a program run from its build folder, that folder while it can be
// written; else the user's configuration folder. An installed program never
// keeps them beside itself, even when it could write there (as root). Creates
// the folder it returns.
std::filesystem::path ChooseStateFolder(const std::optional<std::filesystem::path>& configDirOption,
                                        const std::filesystem::path& executableFolder,
                                        const std::filesystem::path& userConfigFolder);

// $XDG_CONFIG_HOME/zm5520-evm, else ~/.config/zm5520-evm.
std::filesystem::path UserConfigFolder();

// The folder of the running program, empty where the system does not say.
std::filesystem::path ExecutableFolder();

bool FolderIsWritable(const std::filesystem::path& folder);

}  // namespace evm
