// SPDX-License-Identifier: GPL-3.0-or-later
#include "devices/win32/win32_hid_platform.h"

#include "devices/system_hid.h"
#include "devices/win32/win32_hid_text.h"
// After windows.h (pulled in above), whose types it uses.
#include <setupapi.h>

namespace evm {

namespace {
HANDLE AsHandle(int64_t value) {
  return reinterpret_cast<HANDLE>(static_cast<intptr_t>(value));
}
int64_t FromHandle(HANDLE handle) {
  return static_cast<int64_t>(reinterpret_cast<intptr_t>(handle));
}

GUID HidGuidOfSystem() {
  GUID guid;
  HidD_GetHidGuid(&guid);
  return guid;
}

HidGuid ToHidGuid(const GUID& guid) {
  HidGuid out{guid.Data1, guid.Data2, guid.Data3, {}};
  for (size_t i = 0; i < out.data4.size(); ++i) out.data4[i] = guid.Data4[i];
  return out;
}

// The interface record of the documented 32-bit layout, so that logs are the
// same on every system.
constexpr uint32_t kInterfaceRecordSize = 28;
}  // namespace

std::unique_ptr<HidPlatform> MakeSystemHidPlatform() {
  return std::make_unique<Win32HidPlatform>();
}

struct Win32HidPlatform::PendingRead {
  OVERLAPPED overlapped{};
  HANDLE event = nullptr;
  std::vector<uint8_t> buffer;
  bool pending = false;
  ~PendingRead() {
    if (event) CloseHandle(event);
  }
};

Win32HidPlatform::Win32HidPlatform() = default;

Win32HidPlatform::~Win32HidPlatform() {
  EndEnumeration();
  while (!reads_.empty()) Close(reads_.begin()->first);
  for (HidEvent event : events_) CloseHandle(AsHandle(event));
}

void Win32HidPlatform::TakeLastError() {
  lastError_ = GetLastError();
}

HidGuid Win32HidPlatform::HidClassGuid() {
  const GUID guid = HidGuidOfSystem();
  lastError_ = ERROR_SUCCESS;
  return ToHidGuid(guid);
}

bool Win32HidPlatform::BeginEnumeration() {
  EndEnumeration();
  const GUID guid = HidGuidOfSystem();
  HDEVINFO list =
      SetupDiGetClassDevsW(&guid, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
  TakeLastError();
  if (list == INVALID_HANDLE_VALUE) return false;
  deviceList_ = list;
  return true;
}

std::optional<HidInterfaceInfo> Win32HidPlatform::EnumerateMember(int index) {
  if (!deviceList_ || index < 0) {
    lastError_ = ERROR_NO_MORE_ITEMS;
    return std::nullopt;
  }
  const GUID guid = HidGuidOfSystem();
  SP_DEVICE_INTERFACE_DATA data{};
  data.cbSize = sizeof data;
  const BOOL found =
      SetupDiEnumDeviceInterfaces(deviceList_, nullptr, &guid, static_cast<DWORD>(index), &data);
  TakeLastError();
  if (!found) return std::nullopt;
  return HidInterfaceInfo{kInterfaceRecordSize, ToHidGuid(data.InterfaceClassGuid),
                          static_cast<uint32_t>(data.Flags)};
}

uint32_t Win32HidPlatform::InterfaceDetailSize(int index) {
  if (!deviceList_ || index < 0) return 0;
  const GUID guid = HidGuidOfSystem();
  SP_DEVICE_INTERFACE_DATA data{};
  data.cbSize = sizeof data;
  if (!SetupDiEnumDeviceInterfaces(deviceList_, nullptr, &guid, static_cast<DWORD>(index), &data)) {
    TakeLastError();
    return 0;
  }
  DWORD required = 0;
  SetupDiGetDeviceInterfaceDetailW(deviceList_, &data, nullptr, 0, &required, nullptr);
  TakeLastError();
  return required;
}

std::optional<std::string> Win32HidPlatform::InterfacePath(int index) {
  const uint32_t required = InterfaceDetailSize(index);
  if (required < sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W)) return std::nullopt;
  const GUID guid = HidGuidOfSystem();
  SP_DEVICE_INTERFACE_DATA data{};
  data.cbSize = sizeof data;
  SetupDiEnumDeviceInterfaces(deviceList_, nullptr, &guid, static_cast<DWORD>(index), &data);
  // The record ends in a path of variable length; a vector of the reported
  // size holds it, aligned for the record's first member.
  std::vector<DWORD> storage((required + sizeof(DWORD) - 1) / sizeof(DWORD) + 1);
  auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_W*>(storage.data());
  detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W);
  const BOOL fetched =
      SetupDiGetDeviceInterfaceDetailW(deviceList_, &data, detail, required, nullptr, nullptr);
  TakeLastError();
  if (!fetched) return std::nullopt;
  return win32::Utf8FromWide(detail->DevicePath);
}

void Win32HidPlatform::EndEnumeration() {
  if (deviceList_) SetupDiDestroyDeviceInfoList(deviceList_);
  deviceList_ = nullptr;
  lastError_ = ERROR_SUCCESS;
}

HidHandle Win32HidPlatform::Open(const std::string& path, bool overlapped) {
  const std::optional<std::wstring> wide = win32::WideFromUtf8(path);
  if (!wide) {
    lastError_ = ERROR_INVALID_NAME;
    return kInvalidHidHandle;
  }
  HANDLE handle =
      CreateFileW(wide->c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                  nullptr, OPEN_EXISTING, overlapped ? FILE_FLAG_OVERLAPPED : 0, nullptr);
  TakeLastError();
  if (handle == INVALID_HANDLE_VALUE) return kInvalidHidHandle;
  if (overlapped) {
    auto read = std::make_unique<PendingRead>();
    read->event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (!read->event) {
      TakeLastError();
      CloseHandle(handle);
      return kInvalidHidHandle;
    }
    reads_[FromHandle(handle)] = std::move(read);
  }
  return FromHandle(handle);
}

void Win32HidPlatform::FinishRead(HidHandle handle, PendingRead& read) {
  if (!read.pending) return;
  // The system owns the buffer until the cancelled read completes.
  CancelIo(AsHandle(handle));
  DWORD transferred = 0;
  GetOverlappedResult(AsHandle(handle), &read.overlapped, &transferred, TRUE);
  read.pending = false;
}

void Win32HidPlatform::Close(HidHandle handle) {
  if (const auto it = reads_.find(handle); it != reads_.end()) {
    FinishRead(handle, *it->second);
    reads_.erase(it);
  }
  CloseHandle(AsHandle(handle));
  TakeLastError();
}

std::optional<HidAttributes> Win32HidPlatform::GetAttributes(HidHandle handle) {
  HIDD_ATTRIBUTES attributes{};
  attributes.Size = sizeof attributes;
  const BOOLEAN ok = HidD_GetAttributes(AsHandle(handle), &attributes);
  TakeLastError();
  if (!ok) return std::nullopt;
  return HidAttributes{static_cast<uint32_t>(attributes.Size), attributes.VendorID,
                       attributes.ProductID, attributes.VersionNumber};
}

std::optional<HidCaps> Win32HidPlatform::GetCaps(HidHandle handle) {
  PHIDP_PREPARSED_DATA preparsed = nullptr;
  if (!HidD_GetPreparsedData(AsHandle(handle), &preparsed)) {
    TakeLastError();
    return std::nullopt;
  }
  HIDP_CAPS caps{};
  const NTSTATUS status = HidP_GetCaps(preparsed, &caps);
  HidD_FreePreparsedData(preparsed);
  if (status != HIDP_STATUS_SUCCESS) {
    lastError_ = ERROR_INVALID_DATA;
    return std::nullopt;
  }
  lastError_ = ERROR_SUCCESS;
  return win32::CapsFromHidp(caps);
}

HidEvent Win32HidPlatform::CreateReadEvent() {
  HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  TakeLastError();
  if (event) events_.push_back(FromHandle(event));
  return FromHandle(event);
}

void Win32HidPlatform::ResetReadEvent(HidEvent event) {
  ResetEvent(AsHandle(event));
  TakeLastError();
}

bool Win32HidPlatform::WriteReport(HidHandle handle, const std::vector<uint8_t>& report) {
  DWORD written = 0;
  const DWORD size = static_cast<DWORD>(report.size());
  const auto read = reads_.find(handle);
  if (read == reads_.end()) {
    const BOOL ok = WriteFile(AsHandle(handle), report.data(), size, &written, nullptr);
    TakeLastError();
    return ok && written == size;
  }
  // A handle opened for overlapped reads needs an overlapped write too.
  OVERLAPPED overlapped{};
  overlapped.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  BOOL ok = WriteFile(AsHandle(handle), report.data(), size, nullptr, &overlapped);
  if (!ok && GetLastError() == ERROR_IO_PENDING) {
    ok = GetOverlappedResult(AsHandle(handle), &overlapped, &written, TRUE);
  } else if (ok) {
    GetOverlappedResult(AsHandle(handle), &overlapped, &written, FALSE);
  }
  TakeLastError();
  if (overlapped.hEvent) CloseHandle(overlapped.hEvent);
  return ok && written == size;
}

bool Win32HidPlatform::StartRead(HidHandle handle, size_t length) {
  const auto it = reads_.find(handle);
  if (it == reads_.end()) {
    lastError_ = ERROR_INVALID_HANDLE;
    return false;
  }
  PendingRead& read = *it->second;
  FinishRead(handle, read);
  read.buffer.assign(length, 0);
  read.overlapped = OVERLAPPED{};
  read.overlapped.hEvent = read.event;
  ResetEvent(read.event);
  const BOOL done = ReadFile(AsHandle(handle), read.buffer.data(), static_cast<DWORD>(length),
                             nullptr, &read.overlapped);
  TakeLastError();
  if (!done && lastError_ != ERROR_IO_PENDING) return false;
  read.pending = true;
  return true;
}

HidWaitResult Win32HidPlatform::WaitRead(HidHandle handle, int timeoutMs,
                                         std::vector<uint8_t>& report) {
  const auto it = reads_.find(handle);
  if (it == reads_.end() || !it->second->pending) {
    lastError_ = ERROR_INVALID_HANDLE;
    return HidWaitResult::Failed;
  }
  PendingRead& read = *it->second;
  const DWORD waited =
      WaitForSingleObject(read.event, static_cast<DWORD>(timeoutMs < 0 ? 0 : timeoutMs));
  const win32::WaitOutcome outcome = win32::ReadWaitOutcome(waited, GetLastError());
  lastError_ = outcome.error;
  if (outcome.result != HidWaitResult::Signalled) return outcome.result;
  DWORD transferred = 0;
  const BOOL ok = GetOverlappedResult(AsHandle(handle), &read.overlapped, &transferred, FALSE);
  read.pending = false;
  if (!ok) {
    TakeLastError();
    return HidWaitResult::Failed;
  }
  report.assign(read.buffer.begin(),
                read.buffer.begin() +
                    static_cast<std::ptrdiff_t>(std::min<size_t>(transferred, read.buffer.size())));
  lastError_ = ERROR_SUCCESS;
  return HidWaitResult::Signalled;
}

void Win32HidPlatform::CancelRead(HidHandle handle) {
  const auto it = reads_.find(handle);
  if (it == reads_.end()) {
    CancelIo(AsHandle(handle));
    TakeLastError();
    return;
  }
  FinishRead(handle, *it->second);
  lastError_ = ERROR_SUCCESS;
}

std::string Win32HidPlatform::ErrorText(uint32_t code) {
  return win32::SystemMessage(code);
}

}  // namespace evm
