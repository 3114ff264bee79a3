// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/atomic_file.h"

#include <cerrno>
#include <chrono>
#include <fstream>
#include <iterator>
#include <random>

#include "common/move_over.h"

#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace evm {

namespace fs = std::filesystem;

namespace {

constexpr const char* kTempSuffix = ".tmp~";
constexpr size_t kTempTagDigits = 16;

std::error_code LastError() {
  return std::error_code(errno, std::generic_category());
}

class FileFaultCategory final : public std::error_category {
 public:
  const char* name() const noexcept override { return "evm-file"; }
  std::string message(int code) const override {
    switch (static_cast<FileFault>(code)) {
      case FileFault::NotRegular: return "is not a regular file";
      case FileFault::TooLargeState: return "is too large for a state file";
      case FileFault::TooLargeRegister: return "is too large for a register file";
      case FileFault::TooLargeScript: return "is too large for a script file";
      case FileFault::TooLargeLog: return "is too large for a log file";
    }
    return "is not a file to use";
  }
};

const FileFaultCategory& FileFaults() {
  static const FileFaultCategory category;
  return category;
}

std::error_code TooLarge(FileKind kind) {
  switch (kind) {
    case FileKind::State: return MakeErrorCode(FileFault::TooLargeState);
    case FileKind::Register: return MakeErrorCode(FileFault::TooLargeRegister);
    case FileKind::Script: return MakeErrorCode(FileFault::TooLargeScript);
    case FileKind::Log: return MakeErrorCode(FileFault::TooLargeLog);
  }
  return MakeErrorCode(FileFault::TooLargeState);
}

// "NAME.<16 hex digits>.tmp~": unique per write, and recognisable as ours.
fs::path TemporaryPathFor(const fs::path& target) {
  std::random_device random;
  const uint64_t tag = (static_cast<uint64_t>(random()) << 32) ^ random();
  static constexpr char kDigits[] = "0123456789abcdef";
  // Appended to the name as a path, so that a name outside ASCII survives on
  // Windows too.
  std::string suffix = ".";
  for (size_t i = 0; i < kTempTagDigits; ++i) suffix += kDigits[(tag >> (4 * i)) & 0xF];
  fs::path name = target.filename();
  name += suffix + kTempSuffix;
  return target.parent_path() / name;
}

#ifndef _WIN32

bool WriteAll(int fd, std::string_view content, std::error_code& ec) {
  size_t done = 0;
  while (done < content.size()) {
    const ssize_t n = ::write(fd, content.data() + done, content.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      ec = LastError();
      return false;
    }
    done += static_cast<size_t>(n);
  }
  if (::fsync(fd) != 0 && errno != EINVAL) {
    ec = LastError();
    return false;
  }
  return true;
}

bool CloseChecked(int fd, std::error_code& ec) {
  if (::close(fd) == 0) return true;
  if (!ec) ec = LastError();
  return false;
}

// The rename is made durable too; a folder that cannot be synced is no
// reason to call the write failed.
void SyncFolder(const fs::path& folder) {
  const int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

bool WriteInPlace(const fs::path& path, std::string_view content, std::error_code& ec) {
  // Opened before it is emptied: a file swapped for a pipe since it was
  // looked at neither blocks the open nor loses anything.
  const int fd = ::open(path.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    ec = errno == ENXIO ? MakeErrorCode(FileFault::NotRegular) : LastError();
    return false;
  }
  struct stat st {};
  if (::fstat(fd, &st) != 0) {
    ec = LastError();
  } else if (!S_ISREG(st.st_mode)) {
    ec = MakeErrorCode(FileFault::NotRegular);
  } else if (::ftruncate(fd, 0) != 0) {
    ec = LastError();
  }
  if (ec) {
    ::close(fd);
    return false;
  }
  const bool written = WriteAll(fd, content, ec);
  return CloseChecked(fd, ec) && written;
}

#endif

}  // namespace

size_t FileLimit(FileKind kind) {
  return kind == FileKind::State || kind == FileKind::Register ? kStateFileLimit : kLongFileLimit;
}

std::error_code MakeErrorCode(FileFault fault) {
  return std::error_code(static_cast<int>(fault), FileFaults());
}

bool IsFileFault(const std::error_code& ec) {
  return ec.category() == FileFaults();
}

std::string FileFaultText(const std::string& name, const std::error_code& ec) {
  if (IsFileFault(ec)) return "'" + name + "' " + ec.message();
  return name + ": " + ec.message();
}

std::error_code CheckWritableTarget(const fs::path& path) {
  std::error_code ec;
  const fs::file_status status = fs::status(path, ec);
  if (ec || !fs::exists(status)) return {};
  if (fs::is_directory(status)) return std::make_error_code(std::errc::is_a_directory);
  // A pipe would block the write, a device would take it somewhere else.
  if (!fs::is_regular_file(status)) return MakeErrorCode(FileFault::NotRegular);
  // The read-only mark is the user's wish even where the system would
  // allow the write (an administrator).
  constexpr fs::perms kAnyWrite =
      fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write;
  if (fs::is_regular_file(status) && (status.permissions() & kAnyWrite) == fs::perms::none) {
    return std::make_error_code(std::errc::permission_denied);
  }
#ifndef _WIN32
  if (::access(path.c_str(), W_OK) != 0) return LastError();
#endif
  return {};
}

bool WriteFileAtomically(const fs::path& named, std::string_view content, std::error_code& ec) {
  // A link stays a link: what it points to is what the user saves.
  std::error_code linkError;
  fs::path path = named;
  if (fs::is_symlink(fs::symlink_status(named, linkError))) {
    const fs::path target = fs::canonical(named, linkError);
    if (!linkError) path = target;
  }
  ec = CheckWritableTarget(path);
  if (ec) return false;
  std::error_code statusError;
  const fs::file_status status = fs::status(path, statusError);
  const bool exists = !statusError && fs::exists(status);
  // What a killed write of this file left behind goes before it adds its own.
  const std::string name = path.filename().string();
  RemoveStaleTemporaryFiles(path.parent_path().empty() ? fs::path(".") : path.parent_path(),
                            {name.c_str()});
#ifndef _WIN32
  const fs::path tmp = TemporaryPathFor(path);
  mode_t mode = 0666;
  if (exists) mode = static_cast<mode_t>(status.permissions() & fs::perms::all);
  const int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
  if (fd < 0) {
    ec = LastError();
    if (!exists) {
      // Made directly when no temporary name fits beside it; a folder the
      // user may not write refuses this too.
      const int direct = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
      if (direct < 0) return false;
      ec.clear();
      const bool written = WriteAll(direct, content, ec);
      if (CloseChecked(direct, ec) && written) return true;
      ::unlink(path.c_str());
      return false;
    }
    // A folder the user may not create files in still holds a file the user
    // may write: the file is written where it is.
    ec.clear();
    return WriteInPlace(path, content, ec);
  }
  if (exists) ::fchmod(fd, mode);
  const bool written = WriteAll(fd, content, ec);
  if (!CloseChecked(fd, ec) || !written) {
    ::unlink(tmp.c_str());
    return false;
  }
  if (::rename(tmp.c_str(), path.c_str()) != 0) {
    ec = LastError();
    ::unlink(tmp.c_str());
    return false;
  }
  SyncFolder(path.parent_path());
  return true;
#else
  (void)exists;
  const fs::path tmp = TemporaryPathFor(path);
  {
    std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
    if (!out) {
      ec = std::make_error_code(std::errc::permission_denied);
      return false;
    }
    out.write(content.data(), static_cast<std::streamsize>(content.size()));
    out.flush();
    if (!out) {
      out.close();
      std::error_code ignored;
      fs::remove(tmp, ignored);
      ec = std::make_error_code(std::errc::io_error);
      return false;
    }
  }
  if (!MoveOver(tmp, path, ec)) {
    std::error_code ignored;
    fs::remove(tmp, ignored);
    return false;
  }
  return true;
#endif
}

bool WriteFileAtomically(const fs::path& path, std::string_view content) {
  std::error_code ec;
  return WriteFileAtomically(path, content, ec);
}

std::optional<std::string> ReadWholeFile(const fs::path& path, std::error_code& ec, FileKind kind) {
  ec.clear();
  const size_t limit = FileLimit(kind);
#ifndef _WIN32
  // Without O_NONBLOCK a pipe with no writer blocks the open for ever.
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    ec = LastError();
    return std::nullopt;
  }
  struct stat st {};
  if (::fstat(fd, &st) != 0) {
    ec = LastError();
  } else if (S_ISDIR(st.st_mode)) {
    ec = std::make_error_code(std::errc::is_a_directory);
  } else if (!S_ISREG(st.st_mode)) {
    ec = MakeErrorCode(FileFault::NotRegular);
  } else if (static_cast<uint64_t>(st.st_size) > limit) {
    ec = TooLarge(kind);
  }
  std::string content;
  if (!ec) content.reserve(static_cast<size_t>(st.st_size));
  char buffer[65536];
  while (!ec) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) ec = LastError();
    if (n <= 0) break;
    // A file that grows while it is read is held to the same bound.
    if (content.size() + static_cast<size_t>(n) > limit) {
      ec = TooLarge(kind);
      break;
    }
    content.append(buffer, static_cast<size_t>(n));
  }
  ::close(fd);
  if (ec) return std::nullopt;
  return content;
#else
  const fs::file_status status = fs::status(path, ec);
  if (ec) return std::nullopt;
  if (fs::is_directory(status)) {
    ec = std::make_error_code(std::errc::is_a_directory);
    return std::nullopt;
  }
  if (!fs::is_regular_file(status)) {
    ec = MakeErrorCode(FileFault::NotRegular);
    return std::nullopt;
  }
  if (fs::file_size(path, ec) > limit && !ec) {
    ec = TooLarge(kind);
    return std::nullopt;
  }
  // The standard library reports a failing read (EISDIR, EIO) by throwing,
  // whatever the stream's exception mask.
  try {
    errno = 0;
    std::ifstream in(path, std::ios::binary);
    if (!in) {
      ec = errno != 0 ? LastError() : std::make_error_code(std::errc::permission_denied);
      return std::nullopt;
    }
    std::string content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) {
      ec = errno != 0 ? LastError() : std::make_error_code(std::errc::io_error);
      return std::nullopt;
    }
    if (content.size() > limit) {
      ec = TooLarge(kind);
      return std::nullopt;
    }
    return content;
  } catch (const std::exception&) {
    ec = errno != 0 ? LastError() : std::make_error_code(std::errc::io_error);
    return std::nullopt;
  }
#endif
}

std::optional<std::string> ReadWholeFile(const fs::path& path, FileKind kind) {
  std::error_code ec;
  return ReadWholeFile(path, ec, kind);
}

std::string UnreadableFileMessage(const fs::path& path, const std::error_code& ec) {
  if (IsFileFault(ec)) return "The file \"" + path.string() + "\" " + ec.message() + ".";
  return "The file \"" + path.string() + "\" could not be read: " + ec.message() + ".";
}

void RemoveStaleTemporaryFiles(const fs::path& folder,
                               std::initializer_list<const char*> fileNames) {
  const auto staleBefore = fs::file_time_type::clock::now() - std::chrono::minutes(1);
  std::error_code ec;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
    const size_t suffixLength = std::char_traits<char>::length(kTempSuffix);
    if (name.size() <= suffixLength) continue;
    const size_t suffix = name.size() - suffixLength;
    if (name.compare(suffix, std::string::npos, kTempSuffix) != 0) continue;
    bool ours = false;
    for (const char* fileName : fileNames) {
      const std::string base = fileName;
      if (base.size() > suffix || name.compare(0, base.size(), base) != 0) continue;
      const std::string tag = name.substr(base.size(), suffix - base.size());
      // "NAME.tmp~" is what earlier versions left behind.
      ours = tag.empty() || (tag.size() == kTempTagDigits + 1 && tag[0] == '.' &&
                             tag.find_first_not_of("0123456789abcdef", 1) == std::string::npos);
      if (ours) break;
    }
    std::error_code timeError;
    if (!ours || !it->is_regular_file(timeError)) continue;
    if (it->last_write_time(timeError) >= staleBefore || timeError) continue;
    std::error_code ignored;
    fs::remove(it->path(), ignored);
  }
}

}  // namespace evm
