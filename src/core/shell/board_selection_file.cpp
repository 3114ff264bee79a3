// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/board_selection_file.h"

#include "common/atomic_file.h"
#include "common/write_records.h"
#include "evm.h"

namespace evm {

namespace {
constexpr const char* kRegLinkTag = "RegLink";
constexpr const char* kInterfaceTag = "Interface";
}  // namespace

std::optional<BoardSelection> ReadBoardSelectionFile(const std::filesystem::path& path,
                                                     std::string* problem) {
  std::error_code ec;
  const auto content = ReadWholeFile(path, ec);
  if (!content) {
    if (problem && ec && ec != std::errc::no_such_file_or_directory) *problem = ec.message();
    return std::nullopt;
  }
  const auto fields = ReadRecordFields(*content);
  // Two records of a tag and a quoted board each; anything else is not ours.
  bool valid = fields.size() == 4;
  for (size_t i = 0; valid && i < fields.size(); ++i) valid = fields[i].quoted;
  if (valid) valid = fields[0].text == kRegLinkTag && fields[2].text == kInterfaceTag;
  if (!valid) {
    if (problem) *problem = "the file is damaged";
    return std::nullopt;
  }
  return BoardSelection{fields[1].text, fields[3].text};
}

bool WriteBoardSelectionFile(const std::filesystem::path& path, const BoardSelection& selection) {
  RecordWriter w;
  w.Text(kRegLinkTag).Text(selection.regLink).EndRecord();
  w.Text(kInterfaceTag).Text(selection.interfaceBoard).EndRecord();
  return WriteFileAtomically(path, w.Content());
}

void ApplyBoardSelection(Evm& evm, const BoardSelection& selection) {
  if (evm.regLink().SelectedBoard != selection.regLink) {
    evm.regLink().SelectedBoard = selection.regLink;
    evm.regLink().CloseRegLink();
  }
  UsbDutWriter& writer = evm.dutWriter();
  if (writer.SelectedBoard != selection.interfaceBoard) {
    writer.SelectedBoard = selection.interfaceBoard;
    writer.CloseMnemonicBoard();
  }
}

std::string LoadBoardSelection(Evm& evm) {
  std::string problem;
  const auto stored = ReadBoardSelectionFile(evm.StateFile(kBoardSelectionFileName), &problem);
  if (stored) ApplyBoardSelection(evm, *stored);
  if (problem.empty()) return problem;
  return std::string(kBoardSelectionFileName) + " ignored: " + problem;
}

}  // namespace evm
