// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <filesystem>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>

namespace evm {

// What a file is read as, which bounds how much of it is read: a few
// hundred bytes are normal, so anything far larger is a wrong file, not
// one to fill the memory with.
enum class FileKind { State, Register, Script, Log };
inline constexpr size_t kStateFileLimit = 1u << 20;
inline constexpr size_t kLongFileLimit = 32u << 20;
size_t FileLimit(FileKind kind);

// Faults of a named file that the system has no errno for.
enum class FileFault {
  NotRegular = 1,  // a pipe, a device or a socket: never opened so as to block
  TooLargeState,
  TooLargeRegister,
  TooLargeScript,
  TooLargeLog,
};
std::error_code MakeErrorCode(FileFault fault);
// True for the faults above, whose message reads after the quoted name.
bool IsFileFault(const std::error_code& ec);
// "'NAME' is not a regular file" for the faults above, "NAME: REASON" else.
std::string FileFaultText(const std::string& name, const std::error_code& ec);

// Writes to a temporary file with a unique name beside the target, forces it
// to disk and renames it over the old one, so a crash or a full disk never
// leaves half a file and two writers of one file never collide. A target
// the user may not write (or marked read-only) is refused and left as it
// is; a writable file in a folder where no temporary file can be made is
// written in place. False when any step failed, with the system's reason in
// `ec`; the old file is then untouched.
bool WriteFileAtomically(const std::filesystem::path& path, std::string_view content,
                         std::error_code& ec);
bool WriteFileAtomically(const std::filesystem::path& path, std::string_view content);

// Why a file could not be written to, before anything is written: a folder,
// or a file marked read-only or not writable by the user. Empty when it may
// be written (or does not exist yet).
std::error_code CheckWritableTarget(const std::filesystem::path& path);

// Whole file as bytes; nullopt when it cannot be opened or read (a missing
// file, a folder, no permission, an I/O error), with the system's reason in
// `ec`. Never throws.
// Anything but a regular file, or one larger than its kind allows, is
// refused without blocking.
std::optional<std::string> ReadWholeFile(const std::filesystem::path& path, std::error_code& ec,
                                         FileKind kind = FileKind::State);
std::optional<std::string> ReadWholeFile(const std::filesystem::path& path,
                                         FileKind kind = FileKind::State);

// "The file "NAME" could not be read: REASON."
std::string UnreadableFileMessage(const std::filesystem::path& path, const std::error_code& ec);

// Removes temporary files left by writes of the named files in `folder` that
// were interrupted (a killed process); a temporary file younger than a
// minute may belong to a write in progress and is kept. Every write sweeps
// the ones of its own target.
void RemoveStaleTemporaryFiles(const std::filesystem::path& folder,
                               std::initializer_list<const char*> fileNames);

}  // namespace evm
