// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include <unistd.h>

#include <memory>
#include "common/clock.h"
#include "common/user_interface.h"
#include "devices/platform.h"
#include "evm.h"
#include "hid/board_ids.h"
#include "main_panels.h"

namespace evm::bench {

// A scratch folder for the files a benchmark reads, removed afterwards.
class ScratchFolder {
 public:
  explicit ScratchFolder(const std::string& name)
      : path_(std::filesystem::temp_directory_path() /
              ("zm5520-bench-" + name + "-" + std::to_string(::getpid()))) {
    std::filesystem::remove_all(path_);
    std::filesystem::create_directories(path_);
  }
  ~ScratchFolder() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

// The rows of a typical production script: a read of two bytes, a check of
// each, and a supply command, repeated.
inline std::string ScriptLine(int row) {
  switch (row % 4) {
    case 0: return "\"read\",\"I2C CH2 S 91 ACKS R ACKM R ACKM P\",\"\",\"\"\r\n";
    case 1: return "\"\",\"result\",\"0\",\"FF\"\r\n";
    case 2: return "\"\",\"result\",\"0\",\"FF\"\r\n";
    default: return "\"supply\",\"CMD ON\",\"\",\"\"\r\n";
  }
}

inline std::filesystem::path WriteScript(const std::filesystem::path& folder, int rows) {
  const auto file = folder / ("script_" + std::to_string(rows) + ".txt");
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  for (int r = 0; r < rows; ++r) out << ScriptLine(r);
  return file;
}

// Resident memory of this process in MiB (0 where /proc is missing).
inline double ResidentMiB() {
  std::FILE* f = std::fopen("/proc/self/statm", "r");
  if (!f) return 0;
  long pages = 0, resident = 0;
  const int got = std::fscanf(f, "%ld %ld", &pages, &resident);
  std::fclose(f);
  if (got != 2) return 0;
  return static_cast<double>(resident) * static_cast<double>(::sysconf(_SC_PAGESIZE)) /
         (1024.0 * 1024.0);
}

// Nobody at the screen: dialogs answer with the prepared file, events are
// handed to `processEvents` (the Qt event loop in the window benchmarks).
class BenchUi : public UserInterface {
 public:
  void MessageBox(const std::string&, const std::string&) override {}
  UsbProblemChoice UsbProblemDialog() override { return UsbProblemChoice::RunWithoutUsb; }
  void ShowReminder() override {}
  std::optional<std::string> InputBox(const std::string&, const std::string&,
                                      const std::string&) override {
    return std::nullopt;
  }
  std::optional<std::string> OpenFileDialog(const FileDialogRequest&) override { return file; }
  std::optional<std::string> SaveFileDialog(const FileDialogRequest&) override { return file; }
  void Beep() override {}
  void ProcessEvents() override {
    if (processEvents) processEvents();
  }

  std::optional<std::string> file;
  void (*processEvents)() = nullptr;
};

// A program context on the simulated EVM with a fake clock.
struct SimEvm {
  SimEvm()
      : folder("state"),
        sim(MakeSimulatedEvm(PlatformOptions{.simulate = true}, clock)),
        evm(EvmSeams{*sim, clock, ui, NumberLocale::Point(), folder.path(),
                     kDefaultBoardVendorId}) {
    evm.shell().UsbAddress = 0x2F90;
  }
  ScratchFolder folder;
  FakeClock clock;
  BenchUi ui;
  std::unique_ptr<sim::SimulatedEvm> sim;
  Evm evm;
  MainPanels panels;
};

}  // namespace evm::bench
