// SPDX-License-Identifier: GPL-3.0-or-later
#include "calibration/register_file.h"

#include "common/atomic_file.h"
#include "common/utf8_path.h"
#include "common/write_records.h"
#include "evm.h"
#include "main_panels.h"
#include "registers/register_cycle.h"
#include "registers/register_display.h"

namespace evm {

std::string ExtractFolder(std::string_view path) {
  const size_t last = path.find_last_of("\\/");
  if (last == std::string_view::npos) return "";
  return std::string(path.substr(0, last + 1));
}

void LoadRememberedFolder(Evm& evm) {
  std::string& folder = evm.measurement().RememberedFolder;
  folder.clear();
  const auto content = ReadWholeFile(evm.StateFile(kPathInfoFileName));
  if (!content) return;
  const auto fields = ReadRecordFields(*content);
  if (!fields.empty()) folder = fields[0].text;
}

void SaveRememberedFolder(Evm& evm, const std::string& folder) {
  RecordWriter w;
  w.Text(folder).EndRecord();
  if (!WriteFileAtomically(evm.StateFile(kPathInfoFileName), w.Content())) {
    evm.measurement().RememberedFolder.clear();
  }
}

FileDialogRequest RegisterFileDialog(const Evm& evm, const char* title) {
  FileDialogRequest request;
  request.title = title;
  request.filter = kRegisterFileFilter;
  request.initialFolder = evm.measurement().RememberedFolder;
  request.defaultName = "";
  return request;
}

std::string FormatRegisterFile(const RegisterStore& store) {
  std::string content;
  for (int i = 0; i < kRegisterFileValues; ++i) {
    content += std::to_string(store.RegValue[static_cast<size_t>(i)]) + "\r\n";
  }
  return content;
}

std::optional<RegisterFileValues> ParseRegisterFile(std::string_view content) {
  const auto fields = ReadRecordFields(content);
  // The 23 values are read and the file closed: what follows them (a value
  // added by hand) is never looked at.
  if (fields.size() < kRegisterFileValues) return std::nullopt;
  RegisterFileValues values{};
  for (size_t i = 0; i < values.size(); ++i) {
    const RecordField& field = fields[i];
    if (field.quoted || field.text.empty() || field.text.size() > 5) return std::nullopt;
    int32_t v = 0;
    for (char c : field.text) {
      if (c < '0' || c > '9') return std::nullopt;
      v = v * 10 + (c - '0');
    }
    if (v > 65535) return std::nullopt;
    values[i] = v;
  }
  return values;
}

void ReportUncreatableFile(Evm& evm, const std::string& file) {
  evm.ui().MessageBox("The file \"" + file + "\" could not be created.", kMessageTitle);
}

void mnuSaveReg_Click(Evm& evm) {
  LoadRememberedFolder(evm);
  const auto file = evm.ui().SaveFileDialog(RegisterFileDialog(evm, "Save Registers To File"));
  if (!file || file->empty()) return;
  MeasurementState& m = evm.measurement();
  m.LastChosenFolder = ExtractFolder(*file);
  SaveRememberedFolder(evm, m.LastChosenFolder);
  if (!WriteFileAtomically(PathFromUtf8(*file), FormatRegisterFile(evm.registers()))) {
    ReportUncreatableFile(evm, *file);
  }
}

void mnuLoadReg_Click(Evm& evm, MainPanels& panels) {
  LoadRememberedFolder(evm);
  const auto file = evm.ui().OpenFileDialog(RegisterFileDialog(evm, "Load Registers From File"));
  if (!file || file->empty()) return;
  evm.measurement().LastChosenFolder = ExtractFolder(*file);
  std::error_code readError;
  const auto content = ReadWholeFile(PathFromUtf8(*file), readError, FileKind::Register);
  if (!content) {
    // The program's own message first; the reason is for the one who looks.
    evm.ui().MessageBox(
        std::string(kBadLoadFileMessage) + "\n\n" + UnreadableFileMessage(*file, readError),
        kMessageTitle);
    return;
  }
  const auto values = ParseRegisterFile(*content);
  // All or nothing: a half-read file would leave a mix of old and new values.
  if (!values) {
    evm.ui().MessageBox(kBadLoadFileMessage, kMessageTitle);
    return;
  }
  for (size_t i = 0; i < values->size(); ++i) evm.registers().RegValue[i] = (*values)[i];
  RefreshRegDisplay(evm, panels);
  WriteAllEdited(evm, panels);
}

}  // namespace evm
