#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace evm::sim {

class SimulatedEvm;

// What can go wrong between the program and one board. Each board shows the
// fault in its own protocol; see `SimDevice::Inject`.
enum class SimFault {
  NoBoard,         // absent from the start
  NoReply,         // takes every report, answers none
  WrongReplyCode,  // answers, but not to the request sent
  NonZeroStatus,   // answers that the device did not acknowledge
  WriteFailure,    // the output report write fails
  ReadFailure,     // a read ends in a device error
  WrongEcho,       // the answer's check byte does not match the request
  Garbage,         // answers with noise
  Unplug,          // unplugged after its next report, plugged in again later
  NoPermission,    // listed, but the user may not open it
};

enum class SimBoardKind { RegLink, Interface };

struct SimFaultChoice {
  SimBoardKind board;
  SimFault fault;
};

// The names a user gives on the command line, "reglink:no-reply" or
// "interface:garbage".
std::string_view SimFaultName(SimFault fault);
std::string_view SimBoardName(SimBoardKind board);
std::optional<SimFaultChoice> ParseSimFault(std::string_view text);
// Every accepted name, comma-separated, for a usage message.
std::string SimFaultNames();

// How long an unplugged board stays away before it comes back as a new device.
inline constexpr int kSimReplugAfterMs = 5000;

// Switches the fault on in the matching board of `sim`; false when it has none.
bool InjectFault(SimulatedEvm& sim, SimFaultChoice choice);

}  // namespace evm::sim
