#include "cli/cli_context.h"

#include "shell/state_folder.h"

namespace evm::cli {

namespace {

BenchOptions BenchOptionsOf(const CliOptions& o, std::ostream& err) {
  BenchOptions b;
  b.simulate = o.simulate;
  if (o.simFault) {
    b.simulation.fault = std::string(sim::SimBoardName(o.simFault->board)) + ":" +
                         std::string(sim::SimFaultName(o.simFault->fault));
  }
  b.simulation.boards = o.simBoards;
  // A board named on the command line must be present, with no fall-back
  // to another; without one the stored choice holds.
  b.regLink = o.regLink.value_or("");
  b.interfaceBoard = o.interfaceBoard.value_or("");
  b.vendorId = o.vendorId;
  // The same folder as the GUI's, so a calibration stored here is the GUI's.
  b.stateFolder = ChooseStateFolder(o.configDir, ExecutableFolder(), UserConfigFolder());
  b.deviceAddress = o.deviceAddress;
  b.usbAddress = o.usbAddress;
  b.onNotice = [&err, command = o.command](const std::string& text) {
    err << "evmctl " << command << ": " << text << "\n";
  };
  return b;
}

}  // namespace

CliContext::CliContext(const CliOptions& o, const EvmctlIo& i)
    : options(o), io(i), clock(o.simFast ? virtualTime : i.clock, i.stop), out(i.out), err(i.err) {
  bench = Bench::Open(BenchOptionsOf(o, err), clock);
}

}  // namespace evm::cli
