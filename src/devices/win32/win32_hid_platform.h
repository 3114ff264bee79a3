// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "hid/hid_platform.h"

namespace evm {

// Real USB HID boards through the Win32 HID and SetupAPI calls, one call per
// operation of the seam. Handles and events are the system's own HANDLE
// values. The header stays free of <windows.h>, whose macros would rename
// members of core classes in the files that include both.
class Win32HidPlatform final : public HidPlatform {
 public:
  Win32HidPlatform();
  ~Win32HidPlatform() override;
  Win32HidPlatform(const Win32HidPlatform&) = delete;
  Win32HidPlatform& operator=(const Win32HidPlatform&) = delete;

  HidGuid HidClassGuid() override;
  bool BeginEnumeration() override;
  std::optional<HidInterfaceInfo> EnumerateMember(int index) override;
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
  struct PendingRead;  // the buffer and OVERLAPPED of one handle's read

  void TakeLastError();
  void FinishRead(HidHandle handle, PendingRead& read);

  void* deviceList_ = nullptr;  // HDEVINFO of the running enumeration
  std::map<HidHandle, std::unique_ptr<PendingRead>> reads_;
  std::vector<HidEvent> events_;
  uint32_t lastError_ = 0;
};

}  // namespace evm
