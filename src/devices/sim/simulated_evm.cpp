// SPDX-License-Identifier: GPL-3.0-or-later
#include "devices/sim/simulated_evm.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace evm::sim {

namespace {
// Codes and texts as the Windows system tables give them, so the debug log
// reads the same on every platform.
constexpr uint32_t kErrorSuccess = 0;
constexpr uint32_t kErrorAccessDenied = 5;
constexpr uint32_t kErrorInvalidHandle = 6;
constexpr uint32_t kErrorGenFailure = 31;
constexpr uint32_t kErrorInsufficientBuffer = 122;
constexpr uint32_t kErrorNoMoreItems = 259;
constexpr uint32_t kErrorDeviceNotConnected = 1167;
constexpr uint32_t kErrorTimeout = 1460;
}  // namespace

SimulatedEvm::SimulatedEvm(Clock& clock)
    : clock_(clock), lastUsOfDay_(std::llround(clock.SecondsSinceMidnight() * 1e6)) {}

int64_t SimulatedEvm::NowUs() {
  constexpr int64_t kDayUs = 24LL * 3600 * 1000 * 1000;
  const int64_t usOfDay = std::llround(clock_.SecondsSinceMidnight() * 1e6);
  int64_t step = usOfDay - lastUsOfDay_;
  // Midnight turns the time of day back by nearly a day; a clock set back
  // (summer time ending) leaves the simulated time going on from where it was.
  if (step < -kDayUs / 2) step += kDayUs;
  lastUsOfDay_ = usOfDay;
  nowUs_ += std::max<int64_t>(step, 0);
  return nowUs_;
}

void SimulatedEvm::SleepUntil(int64_t deadlineUs) {
  // A sleep may end early (a system that rounds it down); the deadline holds
  // all the same, unless the user asked to stop.
  for (int64_t left = deadlineUs - NowUs(); left > 0 && !clock_.StopRequested();
       left = deadlineUs - NowUs()) {
    clock_.SleepUs(left);
  }
}

std::unique_ptr<SimulatedEvm> SimulatedEvm::CreateDefault(Clock& clock, uint16_t boardVendorId,
                                                          int boardsOfEachKind) {
  auto evm = std::make_unique<SimulatedEvm>(clock);
  for (int n = 1; n <= std::max(1, boardsOfEachKind); ++n) {
    char serial[16];
    RegLinkBoard& link = evm->AddBoard<RegLinkBoard>(boardVendorId);
    link.Device().supply = &evm->Supply();
    // Each chip on a bus of its own, so a reading shows which board gave it.
    link.Device().load.busVolts = 12.0 / n;
    std::snprintf(serial, sizeof serial, "RL%04d", n);
    link.serial = serial;
    link.product = "ZM5520 Register Link";
    InterfaceBoard& board = evm->AddBoard<InterfaceBoard>(boardVendorId, evm->Supply());
    AttachTestBoard(board, evm->TestBoard());
    std::snprintf(serial, sizeof serial, "IB%04d", n);
    board.serial = serial;
    board.product = "ZM5520 EVM Interface";
  }
  return evm;
}

void SimulatedEvm::Attach(std::unique_ptr<SimDevice> board) {
  NameBoard(*board);
  if (auto* link = dynamic_cast<RegLinkBoard*>(board.get())) {
    link->Device().AttachClock([this] { return NowUs(); });
  }
  boards_.push_back(std::move(board));
}

void SimulatedEvm::NameBoard(SimDevice& board) {
  char ids[32];
  std::snprintf(ids, sizeof ids, "#vid_%04x&pid_%04x", board.VendorId(), board.ProductId());
  board.path = "sim:hid#" + std::to_string(instances_++) + ids;
}

void SimulatedEvm::Unplug(SimDevice& board) {
  board.plugged = false;
  Sync(false);
}

void SimulatedEvm::Replug(SimDevice& board) {
  Sync(false);  // the handles of the old device die first
  board.plugged = true;
  plugPlans_.erase(&board);
  Sync(false);
}

void SimulatedEvm::ScheduleUnplug(SimDevice& board, int afterReports, int replugAfterMs) {
  plugPlans_[&board] = PlugPlan{afterReports, replugAfterMs, std::nullopt};
}

void SimulatedEvm::ScheduleFault(SimDevice& board, std::function<void()> start, int afterReports) {
  faultPlans_[&board] = FaultPlan{std::move(start), afterReports};
}

void SimulatedEvm::Sync(bool mayUnplug) {
  const double now = clock_.SecondsSinceMidnight();
  for (auto& owned : boards_) {
    SimDevice* board = owned.get();
    if (const auto plan = plugPlans_.find(board); plan != plugPlans_.end()) {
      PlugPlan& p = plan->second;
      if (!p.unpluggedAt && p.reportsLeft <= 0 && mayUnplug) {
        board->plugged = false;
        p.unpluggedAt = now;
      } else if (p.unpluggedAt) {
        double away = now - *p.unpluggedAt;
        if (away < 0) away += 24 * 3600;  // across midnight
        if (away * 1000 >= p.replugAfterMs) {
          board->plugged = true;
          plugPlans_.erase(plan);
        }
      }
    }
    if (!board->plugged) {
      if (gone_.insert(board).second) {
        for (auto& [handle, open] : handles_) open.dead = open.dead || open.board == board;
        pendingInput_.erase(board);
      }
    } else if (gone_.erase(board) != 0) {
      NameBoard(*board);
    }
  }
}

RegLinkBoard* SimulatedEvm::RegLink() {
  for (auto& board : boards_) {
    if (auto* link = dynamic_cast<RegLinkBoard*>(board.get())) return link;
  }
  return nullptr;
}

InterfaceBoard* SimulatedEvm::Interface() {
  for (auto& board : boards_) {
    if (auto* found = dynamic_cast<InterfaceBoard*>(board.get())) return found;
  }
  return nullptr;
}

HidGuid SimulatedEvm::HidClassGuid() {
  lastError_ = kErrorSuccess;
  return {0x4D1E55B2, 0xF16F, 0x11CF, {0x88, 0xCB, 0x00, 0x11, 0x11, 0x00, 0x00, 0x30}};
}

bool SimulatedEvm::BeginEnumeration() {
  Sync(true);
  ++enumerations_;
  snapshot_.clear();
  for (auto& board : boards_) {
    if (board->plugged) snapshot_.push_back(board.get());
  }
  lastError_ = kErrorSuccess;
  return true;
}

SimDevice* SimulatedEvm::SnapshotMember(int index) {
  if (index < 0 || static_cast<size_t>(index) >= snapshot_.size()) return nullptr;
  return snapshot_[static_cast<size_t>(index)];
}

std::optional<HidInterfaceInfo> SimulatedEvm::EnumerateMember(int index) {
  if (!SnapshotMember(index)) {
    lastError_ = kErrorNoMoreItems;
    return std::nullopt;
  }
  lastError_ = kErrorSuccess;
  HidInterfaceInfo info;
  info.interfaceClassGuid = HidClassGuid();
  info.flags = 1;  // active
  return info;
}

std::optional<HidAttributes> SimulatedEvm::ListedAttributes(int index) {
  SimDevice* board = SnapshotMember(index);
  if (!board) return std::nullopt;
  return HidAttributes{12, board->VendorId(), board->ProductId(), board->VersionNumber()};
}

HidStrings SimulatedEvm::ListedStrings(int index) {
  SimDevice* board = SnapshotMember(index);
  if (!board) return {};
  return {board->serial, board->product};
}

uint32_t SimulatedEvm::InterfaceDetailSize(int index) {
  SimDevice* board = SnapshotMember(index);
  // The size query fails by design: it only reports the size it needs.
  lastError_ = board ? kErrorInsufficientBuffer : kErrorNoMoreItems;
  return board ? static_cast<uint32_t>(board->path.size() + 5) : 0;
}

std::optional<std::string> SimulatedEvm::InterfacePath(int index) {
  SimDevice* board = SnapshotMember(index);
  lastError_ = board ? kErrorSuccess : kErrorNoMoreItems;
  if (!board) return std::nullopt;
  return board->path;
}

void SimulatedEvm::EndEnumeration() {
  snapshot_.clear();
  lastError_ = kErrorSuccess;
}

HidHandle SimulatedEvm::Open(const std::string& path, bool overlapped) {
  Sync(true);
  for (auto& board : boards_) {
    if (board->path == path && board->plugged) {
      if (board->openRefused) {
        lastError_ = kErrorAccessDenied;
        return kInvalidHidHandle;
      }
      const HidHandle handle = nextHandle_++;
      handles_[handle] = OpenHandle{board.get(), overlapped, 0};
      lastError_ = kErrorSuccess;
      return handle;
    }
  }
  lastError_ = kErrorDeviceNotConnected;
  return kInvalidHidHandle;
}

SimulatedEvm::OpenHandle* SimulatedEvm::Find(HidHandle handle) {
  const auto it = handles_.find(handle);
  return it == handles_.end() ? nullptr : &it->second;
}

void SimulatedEvm::Close(HidHandle handle) {
  OpenHandle* open = Find(handle);
  if (!open) {
    lastError_ = kErrorInvalidHandle;
    return;
  }
  SimDevice* board = open->board;
  handles_.erase(handle);
  const bool stillOpen = std::any_of(handles_.begin(), handles_.end(),
                                     [board](const auto& h) { return h.second.board == board; });
  if (!stillOpen) pendingInput_.erase(board);
  lastError_ = kErrorSuccess;
}

std::optional<HidAttributes> SimulatedEvm::GetAttributes(HidHandle handle) {
  Sync(false);
  OpenHandle* open = Find(handle);
  if (!open || open->dead) {
    lastError_ = open ? kErrorDeviceNotConnected : kErrorInvalidHandle;
    return std::nullopt;
  }
  lastError_ = kErrorSuccess;
  return HidAttributes{12, open->board->VendorId(), open->board->ProductId(),
                       open->board->VersionNumber()};
}

std::optional<HidCaps> SimulatedEvm::GetCaps(HidHandle handle) {
  OpenHandle* open = Find(handle);
  if (!open) {
    lastError_ = kErrorInvalidHandle;
    return std::nullopt;
  }
  lastError_ = kErrorSuccess;
  return open->board->Caps();
}

HidEvent SimulatedEvm::CreateReadEvent() {
  lastError_ = kErrorSuccess;
  return ++eventsCreated_;
}

void SimulatedEvm::ResetReadEvent(HidEvent) {
  lastError_ = kErrorSuccess;
}

bool SimulatedEvm::WriteReport(HidHandle handle, const std::vector<uint8_t>& report) {
  Sync(true);
  OpenHandle* open = Find(handle);
  if (!open) {
    lastError_ = kErrorInvalidHandle;
    return false;
  }
  SimDevice* board = open->board;
  if (const auto plan = faultPlans_.find(board);
      plan != faultPlans_.end() && plan->second.reportsLeft <= 0) {
    const std::function<void()> start = std::move(plan->second.start);
    faultPlans_.erase(plan);
    start();
    open = Find(handle);
  }
  if (!open || open->dead) {
    lastError_ = open ? kErrorDeviceNotConnected : kErrorInvalidHandle;
    return false;
  }
  if (board->writeFails) {
    lastError_ = kErrorGenFailure;
    return false;
  }
  // The board takes the report at the next frame, and answers a frame later.
  int64_t handledAtUs = NowUs();
  if (frameUs_ > 0) {
    handledAtUs = (handledAtUs / frameUs_ + 1) * frameUs_;
    SleepUntil(handledAtUs);
  }
  auto reply = board->HandleOutputReport(report);
  if (supply_.on && supply_.powerUps > 0 && !supply_.poweredUpAtUs) {
    supply_.poweredUpAtUs = handledAtUs;
  }
  if (reply && !board->noReply) {
    pendingInput_[board].push_back(
        {std::move(*reply), handledAtUs + frameUs_ + int64_t{board->replyDelayMs} * 1000});
  }
  if (const auto plan = plugPlans_.find(board); plan != plugPlans_.end()) {
    --plan->second.reportsLeft;
  }
  if (const auto plan = faultPlans_.find(board); plan != faultPlans_.end()) {
    --plan->second.reportsLeft;
  }
  lastError_ = kErrorSuccess;
  return true;
}

bool SimulatedEvm::StartRead(HidHandle handle, size_t length) {
  OpenHandle* open = Find(handle);
  if (!open) {
    lastError_ = kErrorInvalidHandle;
    return false;
  }
  open->readLength = length;
  lastError_ = 997;  // ERROR_IO_PENDING: an overlapped read always starts pending
  return true;
}

HidWaitResult SimulatedEvm::WaitRead(HidHandle handle, int timeoutMs,
                                     std::vector<uint8_t>& report) {
  Sync(false);
  OpenHandle* open = Find(handle);
  if (!open) {
    lastError_ = kErrorInvalidHandle;
    return HidWaitResult::Failed;
  }
  // A device that is gone ends every read at once, as the system does.
  if (open->dead) {
    lastError_ = kErrorDeviceNotConnected;
    return HidWaitResult::Failed;
  }
  if (open->board->readFails) {
    lastError_ = kErrorGenFailure;
    return HidWaitResult::Failed;
  }
  auto& queue = pendingInput_[open->board];
  // An answer that comes after the time-out is still on its way when the
  // wait ends, and is the first one the next read gets.
  const int64_t waitUs = queue.empty() ? 0 : queue.front().readyAtUs - NowUs();
  if (queue.empty() || waitUs > int64_t{timeoutMs} * 1000) {
    clock_.SleepMs(timeoutMs);
    lastError_ = kErrorTimeout;
    return HidWaitResult::TimedOut;
  }
  if (waitUs > 0) SleepUntil(queue.front().readyAtUs);
  report = std::move(queue.front().report);
  queue.pop_front();
  report.resize(open->readLength, 0);
  lastError_ = kErrorSuccess;
  return HidWaitResult::Signalled;
}

void SimulatedEvm::CancelRead(HidHandle handle) {
  lastError_ = Find(handle) ? kErrorSuccess : kErrorInvalidHandle;
}

std::string SimulatedEvm::ErrorText(uint32_t code) {
  switch (code) {
    case kErrorSuccess: return "The operation completed successfully.";
    case kErrorAccessDenied: return "Access is denied.";
    case kErrorInvalidHandle: return "The handle is invalid.";
    case kErrorGenFailure: return "A device attached to the system is not functioning.";
    case kErrorInsufficientBuffer: return "The data area passed to a system call is too small.";
    case kErrorNoMoreItems: return "No more data is available.";
    case 997: return "Overlapped I/O operation is in progress.";
    case kErrorDeviceNotConnected: return "The device is not connected.";
    case kErrorTimeout: return "This operation returned because the timeout period expired.";
    default: return "";
  }
}

}  // namespace evm::sim
