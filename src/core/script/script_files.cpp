// SPDX-License-Identifier: GPL-3.0-or-later
#include "script/script_files.h"

#include <optional>

#include "common/atomic_file.h"
#include "common/utf8_path.h"
#include "common/write_records.h"

namespace evm {

namespace {

constexpr const char* kLoadError = "Error Loading Script!  Check file format.";
constexpr const char* kSaveError = "Error Saving Script!  Check file format.";

bool WriteRows(ScriptGrid& grid, const std::filesystem::path& file, int lastColumn,
               std::error_code& ec) {
  TrimForSave(grid);
  std::string content;
  for (int r = 1; r <= grid.ScriptLastRow && r < grid.Rows(); ++r) {
    content += FormatScriptLine(grid, r, lastColumn);
  }
  return WriteFileAtomically(file, content, ec);
}

// Splits one line into fields the way the file is read back.
std::vector<RecordField> LineFields(std::string_view line) {
  return ReadRecordFields(line);
}

// A number as the grid shows it ("2,496" under a decimal comma, "-1,5E-3")
// with a point; any other text as it is.
std::string WithDecimalPoint(const std::string& cell) {
  size_t i = cell.find_first_not_of(' ');
  if (i == std::string::npos) return cell;
  if (cell[i] == '-' || cell[i] == '+') ++i;
  const auto digits = [&] {
    const size_t from = i;
    while (i < cell.size() && cell[i] >= '0' && cell[i] <= '9') ++i;
    return i - from;
  };
  const size_t whole = digits();
  if (i >= cell.size() || cell[i] != ',') return cell;
  const size_t comma = i++;
  if (whole + digits() == 0) return cell;
  if (i < cell.size() && (cell[i] == 'E' || cell[i] == 'e')) {
    ++i;
    if (i < cell.size() && (cell[i] == '-' || cell[i] == '+')) ++i;
    if (digits() == 0) return cell;
  }
  if (cell.find_first_not_of(' ', i) != std::string::npos) return cell;
  std::string point = cell;
  point[comma] = '.';
  return point;
}

}  // namespace

std::string FormatScriptLine(const ScriptGrid& grid, int row, int lastColumn) {
  std::string line;
  for (int c = 1; c <= lastColumn; ++c) {
    if (c > 1) line += ",";
    line += '"';
    // A results file travels between PCs: its limits and readings carry a
    // point whatever the locale that ran the script. The script itself keeps
    // what the user typed, which the interpreter reads either way.
    const bool figure = lastColumn > kColHigh && c >= kColLow && c <= kColResult;
    // A quote inside would end the field early and the line would not load
    // again; the other files store it as a single quote too.
    for (const char ch : figure ? WithDecimalPoint(grid.Cell(row, c)) : grid.Cell(row, c)) {
      line += ch == '"' ? '\'' : ch;
    }
    line += '"';
  }
  return line + "\r\n";
}

bool SaveScript(ScriptGrid& grid, const std::filesystem::path& file) {
  std::error_code ec;
  return WriteRows(grid, file, 4, ec);
}

bool SaveResultsFile(ScriptGrid& grid, const std::filesystem::path& file, std::error_code& ec) {
  return WriteRows(grid, file, 6, ec);
}

bool SaveResults(ScriptGrid& grid, const std::filesystem::path& file, UserInterface& ui) {
  std::error_code ec;
  if (WriteRows(grid, file, 6, ec)) return true;
  ui.MessageBox(kSaveError, "");
  return false;
}

bool LoadScript(ScriptGrid& grid, const std::filesystem::path& file, UserInterface& ui) {
  grid.ScriptLastRow = 1;
  std::error_code readError;
  const auto content = ReadWholeFile(file, readError, FileKind::Script);
  if (!content) {
    ui.MessageBox(std::string(kLoadError) + "\n\n" + UnreadableFileMessage(file, readError), "");
    return false;
  }
  size_t pos = 0;
  int lineNumber = 0;
  while (pos < content->size()) {
    size_t end = content->find_first_of("\r\n", pos);
    if (end == std::string::npos) end = content->size();
    // A view, not a copy: a long script would pay an allocation per line.
    const std::string_view line(content->data() + pos, end - pos);
    ++lineNumber;
    // CR LF is one line end; every further one is a (blank) line of its own.
    if (end < content->size() && (*content)[end] == '\r') ++end;
    if (end < content->size() && (*content)[end] == '\n') ++end;
    pos = end;
    if (line.find_first_not_of(" \t") == std::string::npos) continue;
    auto fields = LineFields(line);
    if (fields.size() != 4) {
      ui.MessageBox(std::string(kLoadError) + "\n\nThe file \"" + file.string() + "\", line " +
                        std::to_string(lineNumber) + ": " + std::to_string(fields.size()) +
                        " fields where a script line has 4.",
                    "");
      return false;
    }
    while (grid.ScriptLastRow >= grid.Rows()) grid.AppendRow();
    for (int c = 1; c <= 4; ++c) {
      grid.Cell(grid.ScriptLastRow, c) = std::move(fields[static_cast<size_t>(c - 1)].text);
    }
    ++grid.ScriptLastRow;
    if (grid.ScriptLastRow + 2 >= grid.Rows()) {
      grid.AppendRow();
      grid.Row_ = grid.ScriptLastRow + 1;
      grid.Cell(grid.Row_, 0) = RowNumberText(grid.ScriptLastRow + 1);
    }
  }
  return true;
}

namespace {

enum class Dialog { Open, Save };

// The file the user chose, or nullopt when the dialog was cancelled or left
// without a name; the grid remembers a chosen name for the caption.
std::optional<std::string> ChooseFile(ScriptGrid& grid, UserInterface& ui, Dialog dialog,
                                      const char* title, const char* filter,
                                      const std::string& defaultName = {}) {
  FileDialogRequest request;
  request.title = title;
  request.filter = filter;
  request.defaultName = defaultName;
  auto file = dialog == Dialog::Save ? ui.SaveFileDialog(request) : ui.OpenFileDialog(request);
  if (!file || file->empty()) return std::nullopt;
  grid.DialogFileName = *file;
  return file;
}

}  // namespace

void SaveScriptCommand(ScriptGrid& grid, UserInterface& ui) {
  if (const auto file =
          ChooseFile(grid, ui, Dialog::Save, "Save Script", kScriptFilter, grid.DialogFileName)) {
    if (!SaveScript(grid, PathFromUtf8(*file))) ui.MessageBox(kSaveError, "");
  }
  grid.Caption = "Script - " + grid.DialogFileName;
}

void LoadScriptCommand(ScriptGrid& grid, UserInterface& ui) {
  const std::string shownName = grid.DialogFileName;
  if (const auto file = ChooseFile(grid, ui, Dialog::Open, "Load Script", kScriptFilter)) {
    // The script being edited stays until a whole file has been read, and
    // keeps its name, so Save does not write it over the file that failed.
    ScriptGrid loaded = grid;
    ClearScriptGrid(loaded);
    if (LoadScript(loaded, PathFromUtf8(*file), ui)) {
      grid = std::move(loaded);
    } else {
      grid.DialogFileName = shownName;
    }
  }
  grid.Caption = "Script - " + grid.DialogFileName;
}

void SaveResultsCommand(ScriptGrid& grid, UserInterface& ui) {
  if (const auto file = ChooseFile(grid, ui, Dialog::Save, "Save Results", kResultsFilter)) {
    SaveResults(grid, PathFromUtf8(*file), ui);
  }
}

}  // namespace evm
