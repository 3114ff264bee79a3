// SPDX-License-Identifier: GPL-3.0-or-later
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
  SlowReply,       // answers every report, but `delayMs` late
};

enum class SimBoardKind { RegLink, Interface };

struct SimFaultChoice {
  SimBoardKind board;
  SimFault fault;
  // The board behaves for this many reports before the fault starts, so a
  // fault can strike in the middle of a run; none: from the first (an
  // unplug: after the first).
  std::optional<int> afterReports = std::nullopt;
  int delayMs = 0;  // SlowReply: how late each answer comes
  // Which board of its kind, from 1 in the order they are listed, so that
  // one pair of several misbehaves and the others serve.
  int pair = 1;
};

// A slow reply without a delay of its own: later than the register link's
// time-out, sooner than the interface board's.
inline constexpr int kSimDefaultReplyDelayMs = 2000;

// The names a user gives on the command line, "reglink:no-reply" or
// "interface:garbage"; "@N" after one starts the fault after N reports
// ("reglink:no-reply@5"), and a slow reply may name its delay in
// milliseconds ("reglink:slow-reply:500"). "#N" after the board names the
// Nth board of that kind ("interface#2:no-reply@40").
std::string_view SimFaultName(SimFault fault);
std::string_view SimBoardName(SimBoardKind board);
std::optional<SimFaultChoice> ParseSimFault(std::string_view text);
// The text ParseSimFault reads back as `choice`.
std::string SimFaultText(const SimFaultChoice& choice);
// Every accepted name, comma-separated, for a usage message.
std::string SimFaultNames();

// How long an unplugged board stays away before it comes back as a new device.
inline constexpr int kSimReplugAfterMs = 5000;

// Switches the fault on in the matching board of `sim`; false when it has none.
bool InjectFault(SimulatedEvm& sim, SimFaultChoice choice);

}  // namespace evm::sim
