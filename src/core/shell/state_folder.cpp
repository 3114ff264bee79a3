#include "shell/state_folder.h"

#include <cstdlib>
#include <fstream>
#include <system_error>

namespace evm {

namespace {
constexpr const char* kFolderName = "zm5520-evm";

std::filesystem::path FromEnvironment(const char* name) {
  const char* value = std::getenv(name);
  return value ? std::filesystem::path(value) : std::filesystem::path();
}
}  // namespace

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
  std::error_code markerError;
  const bool buildTree =
      std::filesystem::is_regular_file(executableFolder / kBuildTreeMarker, markerError);
  if (buildTree && FolderIsWritable(executableFolder)) return executableFolder;
  std::filesystem::create_directories(userConfigFolder, ec);
  return userConfigFolder;
}

std::filesystem::path UserConfigFolder() {
  // A relative XDG_CONFIG_HOME is to be ignored, as the base directory rules say.
  if (const auto xdg = FromEnvironment("XDG_CONFIG_HOME"); xdg.is_absolute()) {
    return xdg / kFolderName;
  }
  if (const auto home = FromEnvironment("HOME"); !home.empty()) {
    return home / ".config" / kFolderName;
  }
#ifdef _WIN32
  if (const auto appData = FromEnvironment("APPDATA"); !appData.empty()) {
    return appData / kFolderName;
  }
#endif
  std::error_code ec;
  return std::filesystem::temp_directory_path(ec) / kFolderName;
}

std::filesystem::path ExecutableFolder() {
  std::error_code ec;
  const auto self = std::filesystem::read_symlink("/proc/self/exe", ec);
  return ec ? std::filesystem::path() : self.parent_path();
}

}  // namespace evm
