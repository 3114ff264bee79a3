#pragma once

#include <filesystem>
#include <optional>

namespace evm {

// Where the small state files live: the folder given on the command line, or
// the executable's folder, or the user's configuration folder when the
// executable's folder cannot be written. Creates the folder it returns.
std::filesystem::path ChooseStateFolder(const std::optional<std::filesystem::path>& configDirOption,
                                        const std::filesystem::path& executableFolder,
                                        const std::filesystem::path& userConfigFolder);

bool FolderIsWritable(const std::filesystem::path& folder);

}  // namespace evm
