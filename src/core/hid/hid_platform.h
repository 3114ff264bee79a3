// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace evm {

using HidHandle = int64_t;
inline constexpr HidHandle kInvalidHidHandle = -1;
using HidEvent = int64_t;

struct HidGuid {
  uint32_t data1 = 0;
  uint16_t data2 = 0;
  uint16_t data3 = 0;
  std::array<uint8_t, 8> data4{};
};

// One member of the enumeration of present HID interfaces.
struct HidInterfaceInfo {
  uint32_t cbSize = 28;  // size of the interface record the platform filled
  HidGuid interfaceClassGuid;
  uint32_t flags = 0;
};

struct HidAttributes {
  uint32_t size = 12;
  uint16_t vendorId = 0;
  uint16_t productId = 0;
  uint16_t versionNumber = 0;
};

struct HidStrings {
  std::string serial;
  std::string product;
};

// Report lengths include the report-id byte.
struct HidCaps {
  uint16_t usage = 0;
  uint16_t usagePage = 0;
  uint16_t inputReportByteLength = 0;
  uint16_t outputReportByteLength = 0;
  uint16_t featureReportByteLength = 0;
  uint16_t numberLinkCollectionNodes = 0;
  uint16_t numberInputButtonCaps = 0;
  uint16_t numberInputValueCaps = 0;
  uint16_t numberInputDataIndices = 0;
  uint16_t numberOutputButtonCaps = 0;
  uint16_t numberOutputValueCaps = 0;
  uint16_t numberOutputDataIndices = 0;
  uint16_t numberFeatureButtonCaps = 0;
  uint16_t numberFeatureValueCaps = 0;
  uint16_t numberFeatureDataIndices = 0;
};

enum class HidWaitResult { Signalled, TimedOut, Failed };

// The HID discovery and report I/O both boards are reached through. Where a
// platform has no such notion (the class id, the record sizes) an
// implementation reports documented equivalents so callers and the debug log
// behave the same everywhere.
class HidPlatform {
 public:
  virtual ~HidPlatform() = default;

  virtual HidGuid HidClassGuid() = 0;

  // Takes a snapshot of the present HID interfaces; false when none can be listed.
  virtual bool BeginEnumeration() = 0;
  // Member i of the snapshot, nullopt past the end.
  virtual std::optional<HidInterfaceInfo> EnumerateMember(int index) = 0;
  // Size of the interface-detail record for member i (the size query).
  virtual uint32_t InterfaceDetailSize(int index) = 0;
  // Device path of member i (the detail fetch); nullopt on failure.
  virtual std::optional<std::string> InterfacePath(int index) = 0;
  virtual void EndEnumeration() = 0;
  // Vendor and product id of member i as the enumeration lists them, with no
  // need to open it (a board the user may not open still shows who it is);
  // nullopt where the platform tells them only through an open handle.
  virtual std::optional<HidAttributes> ListedAttributes(int index) {
    (void)index;
    return std::nullopt;
  }
  // Serial number and product string of member i; empty where the device
  // carries none or the platform cannot tell them without opening it.
  virtual HidStrings ListedStrings(int index) {
    (void)index;
    return {};
  }

  virtual HidHandle Open(const std::string& path, bool overlapped) = 0;
  virtual void Close(HidHandle handle) = 0;
  virtual std::optional<HidAttributes> GetAttributes(HidHandle handle) = 0;
  virtual std::optional<HidCaps> GetCaps(HidHandle handle) = 0;

  // Manual-reset events bound to reads; created once by each connection.
  virtual HidEvent CreateReadEvent() = 0;
  virtual void ResetReadEvent(HidEvent event) = 0;

  // report[0] is the report id (0); the length is the output report length.
  virtual bool WriteReport(HidHandle handle, const std::vector<uint8_t>& report) = 0;
  // Starts a read of one input report of `length` bytes (report id included).
  virtual bool StartRead(HidHandle handle, size_t length) = 0;
  // Waits for the read started last; on Signalled `report` holds the input
  // report with the report id in byte 0.
  virtual HidWaitResult WaitRead(HidHandle handle, int timeoutMs, std::vector<uint8_t>& report) = 0;
  virtual void CancelRead(HidHandle handle) = 0;

  // Error code of the most recent call (0 = success) and its message text.
  virtual uint32_t LastError() = 0;
  virtual std::string ErrorText(uint32_t code) = 0;
};

}  // namespace evm
