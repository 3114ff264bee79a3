#include "testboard/dut_writer_panel.h"

#include "common/atomic_file.h"
#include "common/write_records.h"

namespace evm {

void LoadDutWriterFile(DutWriterPanel& panel, const std::filesystem::path& file) {
  const auto content = ReadWholeFile(file);
  if (!content) return;
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
