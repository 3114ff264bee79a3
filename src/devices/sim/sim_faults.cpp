// SPDX-License-Identifier: GPL-3.0-or-later
#include "devices/sim/sim_faults.h"

#include <array>
#include <utility>

#include "devices/sim/simulated_evm.h"

namespace evm::sim {

namespace {
constexpr std::array<std::pair<SimFault, std::string_view>, 11> kFaultNames{{
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
    {SimFault::SlowReply, "slow-reply"},
}};
constexpr std::array<std::pair<SimBoardKind, std::string_view>, 2> kBoardNames{{
    {SimBoardKind::RegLink, "reglink"},
    {SimBoardKind::Interface, "interface"},
}};
// Digits only, up to `atMost`.
std::optional<int> WholeNumber(std::string_view text, int atMost) {
  if (text.empty() || text.size() > 9) return std::nullopt;
  int n = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    n = n * 10 + (c - '0');
  }
  if (n > atMost) return std::nullopt;
  return n;
}

void Apply(SimulatedEvm& sim, SimDevice& board, const SimFaultChoice& choice) {
  if (choice.fault == SimFault::SlowReply) {
    board.replyDelayMs = choice.delayMs;
  } else {
    board.Inject(choice.fault);
  }
  // A board that is gone takes its open handles with it at once.
  if (choice.fault == SimFault::NoBoard) sim.Unplug(board);
}
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
  std::optional<int> afterReports;
  if (const size_t at = text.rfind('@'); at != std::string_view::npos) {
    afterReports = WholeNumber(text.substr(at + 1), 1000000000);
    if (!afterReports) return std::nullopt;
    text = text.substr(0, at);
  }
  const size_t colon = text.find(':');
  if (colon == std::string_view::npos) return std::nullopt;
  std::string_view boardText = text.substr(0, colon);
  int pair = 1;
  if (const size_t hash = boardText.find('#'); hash != std::string_view::npos) {
    const auto n = WholeNumber(boardText.substr(hash + 1), 99);
    if (!n || *n < 1) return std::nullopt;
    pair = *n;
    boardText = boardText.substr(0, hash);
  }
  std::string_view faultText = text.substr(colon + 1);
  std::optional<int> delayMs;
  if (const size_t second = faultText.find(':'); second != std::string_view::npos) {
    delayMs = WholeNumber(faultText.substr(second + 1), 600000);
    if (!delayMs) return std::nullopt;
    faultText = faultText.substr(0, second);
  }
  for (const auto& [board, boardName] : kBoardNames) {
    if (boardName != boardText) continue;
    for (const auto& [fault, faultName] : kFaultNames) {
      if (faultName != faultText) continue;
      if (delayMs && fault != SimFault::SlowReply) return std::nullopt;
      return SimFaultChoice{
          board, fault, afterReports,
          fault == SimFault::SlowReply ? delayMs.value_or(kSimDefaultReplyDelayMs) : 0, pair};
    }
  }
  return std::nullopt;
}

std::string SimFaultText(const SimFaultChoice& choice) {
  std::string text = std::string(SimBoardName(choice.board));
  if (choice.pair != 1) text += "#" + std::to_string(choice.pair);
  text += ":" + std::string(SimFaultName(choice.fault));
  if (choice.fault == SimFault::SlowReply) text += ":" + std::to_string(choice.delayMs);
  if (choice.afterReports) text += "@" + std::to_string(*choice.afterReports);
  return text;
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
  int seen = 0;
  for (const auto& candidate : sim.Boards()) {
    const bool kind = choice.board == SimBoardKind::RegLink
                          ? dynamic_cast<RegLinkBoard*>(candidate.get()) != nullptr
                          : dynamic_cast<InterfaceBoard*>(candidate.get()) != nullptr;
    if (kind && ++seen == choice.pair) {
      board = candidate.get();
      break;
    }
  }
  if (!board) return false;
  if (choice.fault == SimFault::Unplug) {
    sim.ScheduleUnplug(*board, choice.afterReports.value_or(1), kSimReplugAfterMs);
    return true;
  }
  if (choice.afterReports.value_or(0) > 0) {
    sim.ScheduleFault(
        *board, [&sim, board, choice] { Apply(sim, *board, choice); }, *choice.afterReports);
    return true;
  }
  Apply(sim, *board, choice);
  return true;
}

}  // namespace evm::sim
