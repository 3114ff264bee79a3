// SPDX-License-Identifier: GPL-3.0-or-later
#include "script/record_command.h"

#include <algorithm>
#include <cctype>

#include "common/sha256.h"
#include "common/utf8_path.h"
#include "script/record_writers.h"
#include "script/script_files.h"

namespace evm {

namespace {

bool EndsWithXml(std::string name) {
  std::transform(name.begin(), name.end(), name.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return name.size() >= 4 && name.compare(name.size() - 4, 4, ".xml") == 0;
}

}  // namespace

void DescribeWindowRun(const ScriptGrid& grid, RunRecord& record) {
  std::string text;
  for (int r = 1; r <= std::min(grid.ScriptLastRow, grid.Rows() - 1); ++r) {
    text += FormatScriptLine(grid, r, kColHigh);
  }
  record.scriptFile = grid.DialogFileName;
  record.scriptSha256 = Sha256Hex(text);
  record.programVersion = EVM_VERSION_STRING;
}

void SaveRecordCommand(const RunRecord* record, UserInterface& ui) {
  if (!record) {
    ui.MessageBox(kNoRunToRecordMessage, "");
    return;
  }
  FileDialogRequest request;
  request.title = "Save Record";
  request.filter = kRecordFilter;
  const auto file = ui.SaveFileDialog(request);
  if (!file || file->empty()) return;
  std::error_code ec;
  const bool saved = EndsWithXml(*file) ? SaveJUnitXml({*record}, PathFromUtf8(*file), ec)
                                        : SaveRunRecordJson(*record, PathFromUtf8(*file), ec);
  if (!saved) ui.MessageBox("The record could not be saved in " + *file + ": " + ec.message(), "");
}

}  // namespace evm
