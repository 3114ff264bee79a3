// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace evm {

inline constexpr const char* kBoardSelectionFileName = "EVM_Board_Selection.csv";

// The boards chosen for the two connections, each by serial number or path;
// empty where none was chosen.
struct BoardSelection {
  std::string regLink;
  std::string interfaceBoard;
  bool operator==(const BoardSelection&) const = default;
};

// nullopt when the file is missing or damaged; `problem` then says why when
// the file exists but cannot be used.
std::optional<BoardSelection> ReadBoardSelectionFile(const std::filesystem::path& path,
                                                     std::string* problem = nullptr);
bool WriteBoardSelectionFile(const std::filesystem::path& path, const BoardSelection& selection);

class Evm;

// The boards the connections take from now on; an open connection to another
// board is closed, so the next transfer finds the chosen one.
void ApplyBoardSelection(Evm& evm, const BoardSelection& selection);

// Reads the stored choice into `evm` at start-up. Returns why a stored file
// was ignored, empty when it was used or there is none; a damaged file is
// left in place.
std::string LoadBoardSelection(Evm& evm);

}  // namespace evm
