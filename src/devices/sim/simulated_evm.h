// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <vector>

#include "common/clock.h"
#include "devices/sim/dut_supply.h"
#include "devices/sim/interface_board.h"
#include "devices/sim/reglink_board.h"
#include "devices/sim/sim_device.h"
#include "devices/sim/test_board.h"
#include "hid/hid_platform.h"

namespace evm::sim {

// The simulated EVM as a HID platform: the boards of the evaluation set-up on
// a bus of their own. Reports move in USB frames: a board takes a report at
// the first frame after its write and its answer is ready one frame later,
// so a request and its reply cost two frames. Frames lie on a fixed grid
// from the platform's start, so the oversleeping of a real clock does not
// add up from one report to the next. All waits go through the clock, so a
// fake clock makes them instant.
class SimulatedEvm final : public HidPlatform {
 public:
  explicit SimulatedEvm(Clock& clock);
  // The full evaluation set-up: the register link and the interface board,
  // `boardsOfEachKind` of each, every one with a serial and a chip of its own.
  static std::unique_ptr<SimulatedEvm> CreateDefault(Clock& clock, uint16_t boardVendorId,
                                                     int boardsOfEachKind = 1);

  // Boards are enumerated in the order they were added.
  template <typename Board, typename... Args>
  Board& AddBoard(Args&&... args) {
    auto board = std::make_unique<Board>(std::forward<Args>(args)...);
    Board& ref = *board;
    Attach(std::move(board));
    return ref;
  }
  // The first register-link board, or nullptr.
  RegLinkBoard* RegLink();
  // The first interface board, or nullptr.
  InterfaceBoard* Interface();
  // The supply of the device under test, shared by the boards.
  DutSupply& Supply() { return supply_; }
  // The analogue side of the test board behind the interface board.
  TestBoardAnalog& TestBoard() { return testBoard_; }
  const std::vector<std::unique_ptr<SimDevice>>& Boards() const { return boards_; }

  // Pulls the board's cable: its handles are dead for good. Plugged in again
  // it is a new device with a path of its own, as the system shows it.
  void Unplug(SimDevice& board);
  void Replug(SimDevice& board);
  // Unplugs `board` once it has answered `afterReports` more reports, and
  // plugs it in again `replugAfterMs` of clock time later.
  void ScheduleUnplug(SimDevice& board, int afterReports, int replugAfterMs);
  // Runs `start` (which switches a fault on) just before `board` takes its
  // report after the next `afterReports` ones.
  void ScheduleFault(SimDevice& board, std::function<void()> start, int afterReports);

  // The length of a USB frame; 0 answers at once.
  void SetFrameUs(int64_t us) { frameUs_ = us > 0 ? us : 0; }
  int64_t FrameUs() const { return frameUs_; }
  // Microseconds since the platform was made: the time of its boards and of
  // the load profiles. It keeps counting across midnight and never goes back.
  int64_t NowUs();

  int EventsCreated() const { return eventsCreated_; }
  int OpenHandleCount() const { return static_cast<int>(handles_.size()); }
  int EnumerationCount() const { return enumerations_; }

  HidGuid HidClassGuid() override;
  bool BeginEnumeration() override;
  std::optional<HidInterfaceInfo> EnumerateMember(int index) override;
  std::optional<HidAttributes> ListedAttributes(int index) override;
  HidStrings ListedStrings(int index) override;
  uint32_t InterfaceDetailSize(int index) override;
  std::optional<std::string> InterfacePath(int index) override;
  void EndEnumeration() override;
  HidHandle Open(const std::string& path, bool overlapped) override;
  void Close(HidHandle handle) override;
  std::optional<HidAttributes> GetAttributes(HidHandle handle) override;
  std::optional<HidCaps> GetCaps(HidHandle handle) override;
  HidEvent CreateReadEvent() override;
  void ResetReadEvent(HidEvent event) override;
  bool WriteReport(HidHandle handle, const std::vector<uint8_t>& report) override;
  bool StartRead(HidHandle handle, size_t length) override;
  HidWaitResult WaitRead(HidHandle handle, int timeoutMs, std::vector<uint8_t>& report) override;
  void CancelRead(HidHandle handle) override;
  uint32_t LastError() override { return lastError_; }
  std::string ErrorText(uint32_t code) override;

 private:
  struct OpenHandle {
    SimDevice* board = nullptr;
    bool overlapped = false;
    size_t readLength = 0;
    bool dead = false;  // its board was unplugged since it was opened
  };
  struct FaultPlan {
    std::function<void()> start;
    int reportsLeft = 0;
  };
  // An answer on its way; a slow board's arrives later than it was made.
  struct PendingReport {
    std::vector<uint8_t> report;
    int64_t readyAtUs = 0;  // of NowUs()
  };
  struct PlugPlan {
    int reportsLeft = 0;
    int replugAfterMs = 0;
    std::optional<double> unpluggedAt;  // seconds since midnight
  };

  void Attach(std::unique_ptr<SimDevice> board);
  void NameBoard(SimDevice& board);
  // Brings handles and paths in line with the boards' plugs, however they
  // were pulled; `mayUnplug` lets a planned unplug that is due happen.
  void Sync(bool mayUnplug);
  OpenHandle* Find(HidHandle handle);
  void SleepUntil(int64_t deadlineUs);
  SimDevice* SnapshotMember(int index);

  Clock& clock_;
  // NowUs() from the clock's time of day.
  int64_t lastUsOfDay_ = 0;
  int64_t nowUs_ = 0;
  int64_t frameUs_ = 0;
  DutSupply supply_;
  TestBoardAnalog testBoard_;
  std::vector<std::unique_ptr<SimDevice>> boards_;
  std::vector<SimDevice*> snapshot_;
  std::map<HidHandle, OpenHandle> handles_;
  std::map<SimDevice*, std::deque<PendingReport>> pendingInput_;
  std::map<SimDevice*, PlugPlan> plugPlans_;
  std::map<SimDevice*, FaultPlan> faultPlans_;
  std::set<SimDevice*> gone_;  // seen unplugged: comes back as a new device
  int instances_ = 0;
  HidHandle nextHandle_ = 0x100;
  int eventsCreated_ = 0;
  int enumerations_ = 0;
  uint32_t lastError_ = 0;
};

}  // namespace evm::sim
