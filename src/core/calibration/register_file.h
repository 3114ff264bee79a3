// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "common/user_interface.h"
#include "registers/register_store.h"

namespace evm {

class Evm;
struct MainPanels;

inline constexpr int kRegisterFileValues = 23;
inline constexpr const char* kPathInfoFileName = "path_info.txt";
inline constexpr const char* kRegisterFileFilter = "Csv Files (*.csv)|*.csv|All Files (*.*)|*.*";
inline constexpr const char* kBadLoadFileMessage = "Bad File Name in Load File";

using RegisterFileValues = std::array<int32_t, kRegisterFileValues>;

// Everything up to and including the last folder separator ("\" or "/");
// empty when there is none.
std::string ExtractFolder(std::string_view path);

// "path_info.txt" beside the program into RememberedFolder; any error
// leaves it empty.
void LoadRememberedFolder(Evm& evm);
// Replaces "path_info.txt"; an error only empties RememberedFolder.
void SaveRememberedFolder(Evm& evm, const std::string& folder);

// The dialog every register and log file is chosen with.
FileDialogRequest RegisterFileDialog(const Evm& evm, const char* title);

// One decimal value per line, slots 0 to 22.
std::string FormatRegisterFile(const RegisterStore& store);
// Exactly 23 values, each a whole number of 0 to 65535, or nothing.
std::optional<RegisterFileValues> ParseRegisterFile(std::string_view content);

// Shows a message naming a file that could not be created.
void ReportUncreatableFile(Evm& evm, const std::string& file);

void mnuSaveReg_Click(Evm& evm);
// Loads a register file and writes the registers it changed.
void mnuLoadReg_Click(Evm& evm, MainPanels& panels);

}  // namespace evm
