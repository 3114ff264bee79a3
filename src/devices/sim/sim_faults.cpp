#include "devices/sim/sim_faults.h"

#include <array>
#include <utility>

#include "devices/sim/simulated_evm.h"

namespace evm::sim {

namespace {
constexpr std::array<std::pair<SimFault, std::string_view>, 10> kFaultNames{{
    {SimFault::NoBoard, "no-board"},
    {SimFault::NoReply, "no-reply"},
    {SimFault::WrongReplyCode, "wrong-reply-code"},
    {SimFault::NonZeroStatus, "non-zero-status"},
    {SimFault::WriteFailure, "write-failure"},
    {SimFault::ReadFailure, "read-failure"},
    {SimFault::WrongEcho, "wrong-echo"},
    {SimFault::Garbage, "garbage"},
    {SimFault::Unplug, "unplug"},
    {SimFault::NoPermission, "no-permission"},
}};
constexpr std::array<std::pair<SimBoardKind, std::string_view>, 2> kBoardNames{{
    {SimBoardKind::RegLink, "reglink"},
    {SimBoardKind::Interface, "interface"},
}};
}  // namespace

std::string_view SimFaultName(SimFault fault) {
  for (const auto& [f, name] : kFaultNames) {
    if (f == fault) return name;
  }
  return "";
}

std::string_view SimBoardName(SimBoardKind board) {
  return board == SimBoardKind::RegLink ? kBoardNames[0].second : kBoardNames[1].second;
}

std::optional<SimFaultChoice> ParseSimFault(std::string_view text) {
  const size_t colon = text.find(':');
  if (colon == std::string_view::npos) return std::nullopt;
  const std::string_view boardText = text.substr(0, colon);
  const std::string_view faultText = text.substr(colon + 1);
  for (const auto& [board, boardName] : kBoardNames) {
    if (boardName != boardText) continue;
    for (const auto& [fault, faultName] : kFaultNames) {
      if (faultName == faultText) return SimFaultChoice{board, fault};
    }
  }
  return std::nullopt;
}

std::string SimFaultNames() {
  std::string names;
  for (const auto& [board, boardName] : kBoardNames) {
    for (const auto& [fault, faultName] : kFaultNames) {
      if (!names.empty()) names += ", ";
      names += std::string(boardName) + ":" + std::string(faultName);
    }
  }
  return names;
}

bool InjectFault(SimulatedEvm& sim, SimFaultChoice choice) {
  SimDevice* board = nullptr;
  if (choice.board == SimBoardKind::RegLink) {
    board = sim.RegLink();
  } else {
    board = sim.Interface();
  }
  if (!board) return false;
  if (choice.fault == SimFault::Unplug) {
    sim.ScheduleUnplug(*board, 1, kSimReplugAfterMs);
    return true;
  }
  board->Inject(choice.fault);
  return true;
}

}  // namespace evm::sim
