// SPDX-License-Identifier: GPL-3.0-or-later
#include "devices/hidapi/hidapi_platform.h"

#include <hidapi.h>

#include <algorithm>
#include <cwchar>

#include "devices/hidapi/report_descriptor.h"
#include "devices/system_hid.h"
#include "hid/board_ids.h"

#if defined(__linux__)
#include <fcntl.h>
#include <linux/hidraw.h>
#include <sys/ioctl.h>
#include <unistd.h>
#endif

namespace evm {

namespace {
constexpr uint32_t kErrorSuccess = 0;
constexpr uint32_t kErrorInvalidHandle = 6;
constexpr uint32_t kErrorGenFailure = 31;
constexpr uint32_t kErrorNoMoreItems = 259;
constexpr uint32_t kErrorTimeout = 1460;

std::string Narrow(const wchar_t* text) {
  std::string out;
  if (!text) return out;
  for (; *text; ++text) out.push_back(*text < 128 ? static_cast<char>(*text) : '?');
  return out;
}

#if defined(__linux__)
// hidraw hands out the report descriptor; hidapi of this vintage does not.
std::optional<ReportLengths> LengthsFromHidraw(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return std::nullopt;
  int size = 0;
  std::optional<ReportLengths> lengths;
  if (::ioctl(fd, HIDIOCGRDESCSIZE, &size) == 0 && size > 0) {
    hidraw_report_descriptor desc{};
    desc.size = static_cast<uint32_t>(size);
    if (::ioctl(fd, HIDIOCGRDESC, &desc) == 0) {
      lengths = ReportLengthsFromDescriptor({desc.value, desc.size});
    }
  }
  ::close(fd);
  return lengths;
}
#endif
}  // namespace

std::unique_ptr<HidPlatform> MakeSystemHidPlatform() {
  return std::make_unique<HidapiPlatform>();
}

struct HidapiPlatform::Device {
  hid_device* dev = nullptr;
  std::string path;
  ~Device() {
    if (dev) hid_close(dev);
  }
};

HidapiPlatform::HidapiPlatform() {
  initialised_ = hid_init() == 0;
}

HidapiPlatform::~HidapiPlatform() {
  handles_.clear();
  if (initialised_) hid_exit();
}

void HidapiPlatform::SetError(uint32_t code, std::string text) {
  lastError_ = code;
  lastErrorText_ = std::move(text);
}

HidGuid HidapiPlatform::HidClassGuid() {
  SetError(kErrorSuccess);
  return {0x4D1E55B2, 0xF16F, 0x11CF, {0x88, 0xCB, 0x00, 0x11, 0x11, 0x00, 0x00, 0x30}};
}

bool HidapiPlatform::BeginEnumeration() {
  snapshot_.clear();
  if (!initialised_) {
    SetError(kErrorGenFailure, "hidapi could not be initialised");
    return false;
  }
  hid_device_info* list = hid_enumerate(0, 0);
  for (hid_device_info* d = list; d; d = d->next) {
    Member m{d->path ? d->path : "", d->vendor_id, d->product_id, d->release_number,
             HidStrings{d->serial_number ? Narrow(d->serial_number) : "",
                        d->product_string ? Narrow(d->product_string) : ""}};
    known_[m.path] = m;
    snapshot_.push_back(std::move(m));
  }
  hid_free_enumeration(list);
  SetError(kErrorSuccess);
  return true;
}

std::optional<HidInterfaceInfo> HidapiPlatform::EnumerateMember(int index) {
  if (index < 0 || static_cast<size_t>(index) >= snapshot_.size()) {
    SetError(kErrorNoMoreItems, "No more data is available.");
    return std::nullopt;
  }
  SetError(kErrorSuccess);
  HidInterfaceInfo info;
  info.interfaceClassGuid = HidClassGuid();
  info.flags = 1;
  return info;
}

std::optional<HidAttributes> HidapiPlatform::ListedAttributes(int index) {
  if (index < 0 || static_cast<size_t>(index) >= snapshot_.size()) return std::nullopt;
  const Member& m = snapshot_[static_cast<size_t>(index)];
  return HidAttributes{12, m.vendorId, m.productId, m.release};
}

HidStrings HidapiPlatform::ListedStrings(int index) {
  if (index < 0 || static_cast<size_t>(index) >= snapshot_.size()) return {};
  return snapshot_[static_cast<size_t>(index)].strings;
}

uint32_t HidapiPlatform::InterfaceDetailSize(int index) {
  if (index < 0 || static_cast<size_t>(index) >= snapshot_.size()) return 0;
  SetError(122, "The data area passed to a system call is too small.");
  return static_cast<uint32_t>(snapshot_[static_cast<size_t>(index)].path.size() + 5);
}

std::optional<std::string> HidapiPlatform::InterfacePath(int index) {
  if (index < 0 || static_cast<size_t>(index) >= snapshot_.size()) {
    SetError(kErrorNoMoreItems, "No more data is available.");
    return std::nullopt;
  }
  SetError(kErrorSuccess);
  return snapshot_[static_cast<size_t>(index)].path;
}

void HidapiPlatform::EndEnumeration() {
  snapshot_.clear();
  SetError(kErrorSuccess);
}

HidHandle HidapiPlatform::Open(const std::string& path, bool /*overlapped*/) {
  // hidapi reads with a time-out itself, so one device serves both the
  // plain and the overlapped handle of a path.
  std::shared_ptr<Device> device = devices_[path].lock();
  if (!device) {
    hid_device* dev = hid_open_path(path.c_str());
    if (!dev) {
      SetError(kErrorGenFailure, Narrow(hid_error(nullptr)));
      return kInvalidHidHandle;
    }
    device = std::make_shared<Device>();
    device->dev = dev;
    device->path = path;
    devices_[path] = device;
  }
  const HidHandle handle = nextHandle_++;
  handles_[handle] = Handle{device, 0};
  SetError(kErrorSuccess);
  return handle;
}

HidapiPlatform::Handle* HidapiPlatform::Find(HidHandle handle) {
  const auto it = handles_.find(handle);
  if (it == handles_.end()) {
    SetError(kErrorInvalidHandle, "The handle is invalid.");
    return nullptr;
  }
  return &it->second;
}

void HidapiPlatform::Close(HidHandle handle) {
  if (!Find(handle)) return;
  handles_.erase(handle);
  SetError(kErrorSuccess);
}

std::optional<HidAttributes> HidapiPlatform::GetAttributes(HidHandle handle) {
  Handle* h = Find(handle);
  if (!h) return std::nullopt;
  const auto it = known_.find(h->device->path);
  if (it == known_.end()) {
    SetError(kErrorGenFailure, "unknown device");
    return std::nullopt;
  }
  SetError(kErrorSuccess);
  return HidAttributes{12, it->second.vendorId, it->second.productId, it->second.release};
}

std::optional<HidCaps> HidapiPlatform::GetCaps(HidHandle handle) {
  Handle* h = Find(handle);
  if (!h) return std::nullopt;
  HidCaps caps;
  std::optional<ReportLengths> lengths;
#if defined(__linux__)
  lengths = LengthsFromHidraw(h->device->path);
#endif
  if (!lengths) {
    const auto it = known_.find(h->device->path);
    const bool interfaceBoard = it != known_.end() && it->second.productId != kRegLinkProductId;
    const uint16_t length =
        interfaceBoard ? kInterfaceBoardReportLength : kRegLinkDefaultReportLength;
    lengths = ReportLengths{length, length, 0};
  }
  caps.inputReportByteLength = lengths->input;
  caps.outputReportByteLength = lengths->output;
  caps.featureReportByteLength = lengths->feature;
  SetError(kErrorSuccess);
  return caps;
}

HidEvent HidapiPlatform::CreateReadEvent() {
  SetError(kErrorSuccess);
  return ++nextEvent_;
}

void HidapiPlatform::ResetReadEvent(HidEvent) {
  SetError(kErrorSuccess);
}

bool HidapiPlatform::WriteReport(HidHandle handle, const std::vector<uint8_t>& report) {
  Handle* h = Find(handle);
  if (!h) return false;
  const int written = hid_write(h->device->dev, report.data(), report.size());
  if (written < 0) {
    SetError(kErrorGenFailure, Narrow(hid_error(h->device->dev)));
    return false;
  }
  SetError(kErrorSuccess);
  return true;
}

bool HidapiPlatform::StartRead(HidHandle handle, size_t length) {
  Handle* h = Find(handle);
  if (!h) return false;
  h->readLength = length;
  SetError(997, "Overlapped I/O operation is in progress.");
  return true;
}

HidWaitResult HidapiPlatform::WaitRead(HidHandle handle, int timeoutMs,
                                       std::vector<uint8_t>& report) {
  Handle* h = Find(handle);
  if (!h) return HidWaitResult::Failed;
  // hidapi returns the report without the id of an unnumbered report; put
  // report id 0 back in front so callers see the same layout everywhere.
  const size_t length = std::max<size_t>(h->readLength, 2);
  std::vector<uint8_t> data(length - 1, 0);
  const int n = hid_read_timeout(h->device->dev, data.data(), data.size(), timeoutMs);
  if (n < 0) {
    SetError(kErrorGenFailure, Narrow(hid_error(h->device->dev)));
    return HidWaitResult::Failed;
  }
  if (n == 0) {
    SetError(kErrorTimeout, "This operation returned because the timeout period expired.");
    return HidWaitResult::TimedOut;
  }
  report.assign(length, 0);
  std::copy_n(data.begin(), std::min<size_t>(static_cast<size_t>(n), data.size()),
              report.begin() + 1);
  SetError(kErrorSuccess);
  return HidWaitResult::Signalled;
}

void HidapiPlatform::CancelRead(HidHandle handle) {
  if (Find(handle)) SetError(kErrorSuccess);
}

std::string HidapiPlatform::ErrorText(uint32_t code) {
  switch (code) {
    case kErrorSuccess: return "The operation completed successfully.";
    case kErrorInvalidHandle: return "The handle is invalid.";
    case kErrorNoMoreItems: return "No more data is available.";
    case 122: return "The data area passed to a system call is too small.";
    case 997: return "Overlapped I/O operation is in progress.";
    case kErrorTimeout: return "This operation returned because the timeout period expired.";
    default: return code == lastError_ ? lastErrorText_ : std::string();
  }
}

}  // namespace evm
