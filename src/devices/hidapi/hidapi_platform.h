// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "hid/hid_platform.h"

namespace evm {

// Real USB HID boards through hidapi (hidraw on Linux; the same code builds
// against hidapi on Windows and macOS).
//
// Equivalents of what hidapi does not expose: the class id is the HID class
// GUID, record sizes are those the discovery sequence expects (28, 12, 5),
// and report lengths come from the device's report descriptor on Linux or,
// where it cannot be read, from the documented defaults in board_ids.h.
class HidapiPlatform final : public HidPlatform {
 public:
  HidapiPlatform();
  ~HidapiPlatform() override;
  HidapiPlatform(const HidapiPlatform&) = delete;
  HidapiPlatform& operator=(const HidapiPlatform&) = delete;

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
  struct Member {
    std::string path;
    uint16_t vendorId = 0;
    uint16_t productId = 0;
    uint16_t release = 0;
    HidStrings strings;
  };
  struct Device;  // one hidapi device, shared by the handles of one path
  struct Handle {
    std::shared_ptr<Device> device;
    size_t readLength = 0;
  };

  Handle* Find(HidHandle handle);
  void SetError(uint32_t code, std::string text = {});

  bool initialised_ = false;
  std::vector<Member> snapshot_;
  std::map<std::string, Member> known_;  // every path seen, for attributes
  std::map<std::string, std::weak_ptr<Device>> devices_;
  std::map<HidHandle, Handle> handles_;
  HidHandle nextHandle_ = 0x100;
  HidEvent nextEvent_ = 0;
  uint32_t lastError_ = 0;
  std::string lastErrorText_;
};

}  // namespace evm
