// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/state_folder.h"

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <system_error>

#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace evm {

namespace {
constexpr const char* kFolderName = "zm5520-evm";

std::filesystem::path FromEnvironment(const char* name) {
  const char* value = std::getenv(name);
  return value ? std::filesystem::path(value) : std::filesystem::path();
}

#ifndef _WIN32
// Why `folder` is not the user's alone, or empty when it is. A shared
// parent makes a link as suspect as a stranger's folder.
std::string UnsafeFolderReason(const std::filesystem::path& folder, bool shared) {
  struct stat st {};
  const int looked = shared ? ::lstat(folder.c_str(), &st) : ::stat(folder.c_str(), &st);
  const std::string quoted = "the state folder '" + folder.string() + "'";
  if (looked != 0) return quoted + " cannot be used: " + std::generic_category().message(errno);
  if (!S_ISDIR(st.st_mode)) return quoted + " is not a folder";
  if (st.st_uid != ::geteuid()) return quoted + " belongs to another user; give --config-dir";
  if ((st.st_mode & (S_IWGRP | S_IWOTH)) != 0) {
    return quoted + " can be written by other users; give --config-dir";
  }
  return "";
}
#endif

StateFolderChoice UseUserFolder(const UserFolder& user) {
  if (user.path.empty()) return {{}, kNoStateFolderMessage};
  std::error_code ec;
#ifdef _WIN32
  std::filesystem::create_directories(user.path, ec);
  return {user.path, ""};
#else
  if (!user.shared) std::filesystem::create_directories(user.path.parent_path(), ec);
  // Made private whatever the umask, so a group-writable umask does not
  // make the folder one that is refused on the next start.
  if (::mkdir(user.path.c_str(), 0700) != 0 && errno != EEXIST && !user.shared) {
    return {{},
            "the state folder '" + user.path.string() +
                "' cannot be made: " + std::generic_category().message(errno)};
  }
  const std::string unsafe = UnsafeFolderReason(user.path, user.shared);
  if (unsafe.empty()) return {user.path, ""};
  return {{}, user.shared ? std::string(kNoStateFolderMessage) : unsafe};
#endif
}
}  // namespace

bool FolderIsWritable(const std::filesystem::path& folder) {
  std::error_code ec;
  if (!std::filesystem::is_directory(folder, ec)) return false;
  const auto probe = folder / ".zm5520-evm-write-test";
#ifdef _WIN32
  {
    std::ofstream out(probe, std::ios::binary | std::ios::trunc);
    if (!out) return false;
  }
#else
  // Never through a link someone left under the probe's name.
  const int fd = ::open(probe.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fd < 0) return false;
  ::close(fd);
#endif
  std::filesystem::remove(probe, ec);
  return true;
}

StateFolderChoice ChooseStateFolder(const std::optional<std::filesystem::path>& configDirOption,
                                    const std::filesystem::path& executableFolder,
                                    const UserFolder& userFolder) {
  std::error_code ec;
  if (configDirOption) {
    std::filesystem::create_directories(*configDirOption, ec);
    return {*configDirOption, ""};
  }
  std::error_code markerError;
  const bool buildTree =
      std::filesystem::is_regular_file(executableFolder / kBuildTreeMarker, markerError);
  bool ownBuildTree = buildTree && FolderIsWritable(executableFolder);
#ifndef _WIN32
  ownBuildTree = ownBuildTree && UnsafeFolderReason(executableFolder, false).empty();
#endif
  if (ownBuildTree) return {executableFolder, ""};
  return UseUserFolder(userFolder);
}

UserFolder UserConfigFolder() {
#ifdef _WIN32
  // Where Qt keeps the GUI's per-user configuration, so both programs share
  // it; never %TEMP%, which cleanup tools empty.
  if (const wchar_t* local = _wgetenv(L"LOCALAPPDATA"); local && *local) {
    return {std::filesystem::path(local) / kFolderName / kFolderName, false};
  }
#endif
  // A relative XDG_CONFIG_HOME is to be ignored, as the base directory rules say.
  if (const auto xdg = FromEnvironment("XDG_CONFIG_HOME"); xdg.is_absolute()) {
    return {xdg / kFolderName, false};
  }
  if (const auto home = FromEnvironment("HOME"); !home.empty()) {
    return {home / ".config" / kFolderName, false};
  }
#ifdef _WIN32
  std::error_code ec;
  return {std::filesystem::temp_directory_path(ec) / kFolderName, false};
#else
  if (const auto runtime = FromEnvironment("XDG_RUNTIME_DIR"); runtime.is_absolute()) {
    return {runtime / kFolderName, true};
  }
  // The temporary folder is everyone's: the name has the user's id in it so
  // that each user has one, and the checks make sure it is that user's.
  std::error_code ec;
  const auto temp = std::filesystem::temp_directory_path(ec);
  if (ec || !temp.is_absolute()) return {};
  return {temp / (std::string(kFolderName) + "-" + std::to_string(::geteuid())), true};
#endif
}

std::filesystem::path ExecutableFolder() {
  std::error_code ec;
  const auto self = std::filesystem::read_symlink("/proc/self/exe", ec);
  return ec ? std::filesystem::path() : self.parent_path();
}

}  // namespace evm
