// SPDX-License-Identifier: GPL-3.0-or-later
// A long continuous read with its log, on the fake clock, while the register
// link misbehaves at random. Memory must settle after the first passes, and
// the log must hold exactly one record for every acknowledged pass and none
// for the others.
//
//   evm_soak [PASSES]     (100000 by default; exit 0 when both hold)
#include <unistd.h>

#include <charconv>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "acquisition/continuous_read.h"
#include "devices/platform.h"
#include "evm.h"
#include "hid/board_ids.h"
#include "main_panels.h"
#include "registers/register_cycle.h"

namespace evm {
namespace {

long ResidentKiB() {
  std::ifstream statm("/proc/self/statm");
  long size = 0, resident = 0;
  statm >> size >> resident;
  return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

// Answers the log's file dialog and runs the soak's step once per pass,
// where the window would process its events.
class SoakUi final : public UserInterface {
 public:
  explicit SoakUi(std::string logPath) : logPath_(std::move(logPath)) {}
  void MessageBox(const std::string&, const std::string&) override { ++messages; }
  UsbProblemChoice UsbProblemDialog() override { return UsbProblemChoice::TryAgain; }
  void ShowReminder() override {}
  std::optional<std::string> InputBox(const std::string&, const std::string&,
                                      const std::string&) override {
    return std::nullopt;
  }
  std::optional<std::string> OpenFileDialog(const FileDialogRequest&) override {
    return std::nullopt;
  }
  std::optional<std::string> SaveFileDialog(const FileDialogRequest&) override { return logPath_; }
  void Beep() override {}
  void ProcessEvents() override {
    if (onPass) onPass();
  }

  std::function<void()> onPass;
  long messages = 0;

 private:
  std::string logPath_;
};

struct Soak {
  long passes = 0;
  long acknowledged = 0;
  long faultyPasses = 0;
  long wrongRecords = 0;  // passes whose record count was not 1 (acknowledged) or 0
  long rssAt1000 = 0;
  long rssEnd = 0;
  long records = 0;
  int64_t virtualMs = 0;
};

void ClearFaults(sim::SimulatedEvm& sim, sim::RegLinkBoard& link) {
  link.noReply = link.writeFails = link.readFails = false;
  link.wrongReplyCode = link.echoRequest = link.garbageAnswer = false;
  link.forcedStatus = 0;
  if (!link.plugged) sim.Replug(link);
}

long CountRecords(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const std::string end = "\"\r\n\"\r\n";
  long count = 0;
  for (size_t at = text.find(end); at != std::string::npos; at = text.find(end, at + end.size())) {
    ++count;
  }
  return count - 1;  // the header
}

Soak RunSoak(long passes, const std::filesystem::path& folder) {
  const std::filesystem::path logFile = folder / "soak.csv";
  FakeClock clock;
  SoakUi ui(logFile.string());
  auto sim = MakeSimulatedEvm(PlatformOptions{.simulate = true}, clock);
  Evm evm(EvmSeams{*sim, clock, ui, NumberLocale::Point(), folder, kDefaultBoardVendorId});
  MainPanels panels;
  InitRegisters(evm, panels);
  sim::RegLinkBoard& link = *sim->RegLink();

  Soak soak;
  std::mt19937 random(20261207);
  constexpr sim::SimFault kFaults[] = {
      sim::SimFault::NoBoard,       sim::SimFault::NoReply,      sim::SimFault::WrongReplyCode,
      sim::SimFault::NonZeroStatus, sim::SimFault::WriteFailure, sim::SimFault::ReadFailure,
      sim::SimFault::WrongEcho,     sim::SimFault::Garbage,      sim::SimFault::Unplug,
  };
  int faultPassesLeft = 0;
  std::streamoff logSize = 0;

  mnuLogToFile_Click(evm);
  if (!evm.measurement().logFile) return soak;
  // Every record is flushed as it is written, so the file's size counts it.
  const auto logBytes = [&]() -> std::streamoff {
    std::error_code ec;
    const auto size = std::filesystem::file_size(evm.measurement().logFileName, ec);
    return evm.measurement().logFile && !ec ? static_cast<std::streamoff>(size) : 0;
  };
  logSize = logBytes();
  const int64_t start = clock.ElapsedMs();
  ui.onPass = [&] {
    ++soak.passes;
    const bool acknowledged = !panels.registerPanel.txtDutNotAckVisible;
    soak.acknowledged += acknowledged;
    soak.faultyPasses += faultPassesLeft > 0;
    const std::streamoff size = logBytes();
    const auto expected = acknowledged ? LogDataRecord(RecordOfStore(evm, clock.Now())).size() : 0;
    if (size - logSize != static_cast<std::streamoff>(expected)) ++soak.wrongRecords;
    logSize = size;
    if (soak.passes == 1000) soak.rssAt1000 = ResidentKiB();

    // One pass in twenty starts a fault on the register link that lasts a
    // few passes; then the link is healthy again.
    if (faultPassesLeft > 0 && --faultPassesLeft == 0) ClearFaults(*sim, link);
    if (faultPassesLeft == 0 && random() % 20 == 0) {
      const sim::SimFault fault = kFaults[random() % std::size(kFaults)];
      faultPassesLeft = 1 + static_cast<int>(random() % 10);
      if (fault == sim::SimFault::Unplug) {
        sim->ScheduleUnplug(link, static_cast<int>(random() % 6), 3000);
      } else {
        link.Inject(fault);
      }
    }
    if (soak.passes >= passes) cmdStopContinuousRead_Click(evm);
  };
  cmdStartContinuousRead_Click(evm, panels);
  soak.virtualMs = clock.ElapsedMs() - start;
  StopMeasurement(evm);
  soak.rssEnd = ResidentKiB();
  soak.records = CountRecords(logFile);
  return soak;
}

}  // namespace
}  // namespace evm

int main(int argc, char** argv) {
  long passes = 100000;
  if (argc > 1) {
    const std::string_view text = argv[1];
    if (std::from_chars(text.data(), text.data() + text.size(), passes).ec != std::errc{} ||
        passes < 1000) {
      std::fprintf(stderr, "usage: evm_soak [PASSES >= 1000]\n");
      return 2;
    }
  }
  const std::filesystem::path folder =
      std::filesystem::temp_directory_path() / ("evm-soak-" + std::to_string(getpid()));
  std::filesystem::create_directories(folder);
  const evm::Soak s = evm::RunSoak(passes, folder);
  std::filesystem::remove_all(folder);

  const double growth = s.rssAt1000 > 0 ? 100.0 * static_cast<double>(s.rssEnd - s.rssAt1000) /
                                              static_cast<double>(s.rssAt1000)
                                        : 100;
  const bool memoryHolds = growth <= 5.0;
  const bool recordsHold = s.wrongRecords == 0 && s.records == s.acknowledged;
  std::printf("passes              %ld (%ld with a fault on the register link)\n", s.passes,
              s.faultyPasses);
  std::printf("virtual time        %.1f s\n", static_cast<double>(s.virtualMs) / 1000.0);
  std::printf("acknowledged passes %ld\n", s.acknowledged);
  std::printf("log records         %ld\n", s.records);
  std::printf("passes with a wrong record count %ld\n", s.wrongRecords);
  std::printf("RSS after 1,000     %ld KiB\n", s.rssAt1000);
  std::printf("RSS at the end      %ld KiB (%+.2f %%)\n", s.rssEnd, growth);
  std::printf("%s\n", memoryHolds && recordsHold ? "PASS" : "FAIL");
  return memoryHolds && recordsHold ? 0 : 1;
}
