// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <memory>
#include <optional>

#include "common/clock.h"
#include "devices/sim/simulated_evm.h"
#include "evm.h"
#include "fuzz_support.h"
#include "hid/board_ids.h"
#include "support/recording_ui.h"

namespace evm::fuzz {

// The simulated EVM with the fuzzer between the program and the boards:
// each write may fail, and each reply arrives as the board sent it, not at
// all, as a failed read, with a byte changed or replaced by other bytes of
// any length. An exhausted input leaves the boards answering as they do.
class FuzzHid final : public HidPlatform {
 public:
  FuzzHid(Clock& clock, FuzzBytes& in)
      : sim_(sim::SimulatedEvm::CreateDefault(clock, kDefaultBoardVendorId)), in_(in) {}

  sim::SimulatedEvm& Sim() { return *sim_; }

  HidGuid HidClassGuid() override { return sim_->HidClassGuid(); }
  bool BeginEnumeration() override { return Forward(sim_->BeginEnumeration()); }
  std::optional<HidInterfaceInfo> EnumerateMember(int index) override {
    return Forward(sim_->EnumerateMember(index));
  }
  uint32_t InterfaceDetailSize(int index) override {
    return Forward(sim_->InterfaceDetailSize(index));
  }
  std::optional<std::string> InterfacePath(int index) override {
    return Forward(sim_->InterfacePath(index));
  }
  void EndEnumeration() override { sim_->EndEnumeration(); }
  HidHandle Open(const std::string& path, bool overlapped) override {
    return Forward(sim_->Open(path, overlapped));
  }
  void Close(HidHandle handle) override { sim_->Close(handle); }
  std::optional<HidAttributes> GetAttributes(HidHandle handle) override {
    return Forward(sim_->GetAttributes(handle));
  }
  std::optional<HidCaps> GetCaps(HidHandle handle) override {
    return Forward(sim_->GetCaps(handle));
  }
  HidEvent CreateReadEvent() override { return sim_->CreateReadEvent(); }
  void ResetReadEvent(HidEvent event) override { sim_->ResetReadEvent(event); }

  bool WriteReport(HidHandle handle, const std::vector<uint8_t>& report) override {
    if (in_.Byte() % 8 == 7) return Fail(false);
    return Forward(sim_->WriteReport(handle, report));
  }
  bool StartRead(HidHandle handle, size_t length) override {
    return Forward(sim_->StartRead(handle, length));
  }
  HidWaitResult WaitRead(HidHandle handle, int timeoutMs, std::vector<uint8_t>& report) override {
    const HidWaitResult result = Forward(sim_->WaitRead(handle, timeoutMs, report));
    switch (in_.Byte() % 8) {
      case 4: return Fail(HidWaitResult::TimedOut);
      case 5: return Fail(HidWaitResult::Failed);
      case 6:
        if (!report.empty()) report[in_.Byte() % report.size()] ^= in_.Byte();
        break;
      case 7: {
        const size_t length = in_.Byte() % 81;
        report.clear();
        for (size_t i = 0; i < length; ++i) report.push_back(in_.Byte());
        return HidWaitResult::Signalled;
      }
      default: break;
    }
    return result;
  }
  void CancelRead(HidHandle handle) override { sim_->CancelRead(handle); }
  uint32_t LastError() override { return failed_ ? 31 : sim_->LastError(); }
  std::string ErrorText(uint32_t code) override { return sim_->ErrorText(code); }

 private:
  template <typename T>
  T Forward(T value) {
    failed_ = false;
    return value;
  }
  template <typename T>
  T Fail(T value) {
    failed_ = true;
    return value;
  }

  std::unique_ptr<sim::SimulatedEvm> sim_;
  FuzzBytes& in_;
  bool failed_ = false;
};

// A context on FuzzHid with a fake clock, so every time-out is instant.
struct FuzzContext {
  explicit FuzzContext(FuzzBytes& in)
      : hid(clock, in),
        evm(EvmSeams{hid, clock, ui, NumberLocale::Point(), Scratch().path(),
                     kDefaultBoardVendorId}) {}

  FakeClock clock;
  test::RecordingUi ui;
  FuzzHid hid;
  Evm evm;
};

}  // namespace evm::fuzz
