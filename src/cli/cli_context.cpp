// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/cli_context.h"

#include "api/bench_access.h"
#include "shell/state_folder.h"

namespace evm::cli {

namespace {

BenchOptions BenchOptionsOf(const CliOptions& o, const std::filesystem::path& stateFolder,
                            std::ostream& err) {
  BenchOptions b;
  b.simulate = o.simulate;
  if (o.simFault) {
    b.simulation.fault = sim::SimFaultText(*o.simFault);
  }
  b.simulation.boards = o.simBoards;
  b.simulation.load = o.simLoad;
  b.simulation.frameMs = o.simFrameMs;
  // A board named on the command line must be present, with no fall-back
  // to another; without one the stored choice holds.
  b.regLink = o.regLink.value_or("");
  b.interfaceBoard = o.interfaceBoard.value_or("");
  b.vendorId = o.vendorId;
  b.stateFolder = stateFolder;
  b.deviceAddress = o.deviceAddress;
  b.usbAddress = o.usbAddress;
  b.calibrateIfBlank = !o.keepBlank;
  b.optionNames = {.deviceAddress = "--address", .usbAddress = "--usb-address"};
  b.onNotice = [&err, command = o.command](const std::string& text) {
    err << "evmctl " << command << ": " << text << "\n";
  };
  return b;
}

}  // namespace

CliContext::CliContext(const CliOptions& o, const EvmctlIo& i)
    : options(o), io(i), clock(o.simFast ? virtualTime : i.clock, i.stop), out(i.out), err(i.err) {
  // The same folder as the GUI's, so a calibration stored here is the GUI's.
  const StateFolderChoice state =
      ChooseStateFolder(o.configDir, ExecutableFolder(), UserConfigFolder());
  stateFolderProblem = state.problem;
  if (!stateFolderProblem.empty()) return;
  benchOptions = BenchOptionsOf(o, state.folder, err);
  bench = BenchAccess::Open(benchOptions, clock);
}

}  // namespace evm::cli
