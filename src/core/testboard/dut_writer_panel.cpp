// SPDX-License-Identifier: GPL-3.0-or-later
#include "testboard/dut_writer_panel.h"

#include "common/atomic_file.h"
#include "common/write_records.h"

namespace evm {

void LoadDutWriterFile(DutWriterPanel& panel, const std::filesystem::path& file,
                       UserInterface& ui) {
  std::error_code readError;
  const auto content = ReadWholeFile(file, readError);
  if (!content) {
    // Missing is the first start; anything else the user should hear of.
    if (readError != std::errc::no_such_file_or_directory) {
      ui.MessageBox(UnreadableFileMessage(file, readError), "");
    }
    return;
  }
  const auto fields = ReadRecordFields(*content);
  if (fields.size() < panel.txtCmdString.size()) return;
  for (size_t i = 0; i < panel.txtCmdString.size(); ++i) panel.txtCmdString[i] = fields[i].text;
}

bool SaveDutWriterFile(const DutWriterPanel& panel, const std::filesystem::path& file) {
  RecordWriter w;
  for (const std::string& text : panel.txtCmdString) w.Text(text).EndRecord();
  return WriteFileAtomically(file, w.Content());
}

}  // namespace evm
