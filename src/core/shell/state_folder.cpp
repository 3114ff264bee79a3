#include "shell/state_folder.h"

#include <fstream>
#include <system_error>

namespace evm {

bool FolderIsWritable(const std::filesystem::path& folder) {
  std::error_code ec;
  if (!std::filesystem::is_directory(folder, ec)) return false;
  const auto probe = folder / ".zm5520-evm-write-test";
  {
    std::ofstream out(probe, std::ios::binary | std::ios::trunc);
    if (!out) return false;
  }
  std::filesystem::remove(probe, ec);
  return true;
}

std::filesystem::path ChooseStateFolder(const std::optional<std::filesystem::path>& configDirOption,
                                        const std::filesystem::path& executableFolder,
                                        const std::filesystem::path& userConfigFolder) {
  std::error_code ec;
  if (configDirOption) {
    std::filesystem::create_directories(*configDirOption, ec);
    return *configDirOption;
  }
  if (FolderIsWritable(executableFolder)) return executableFolder;
  std::filesystem::create_directories(userConfigFolder, ec);
  return userConfigFolder;
}

}  // namespace evm
