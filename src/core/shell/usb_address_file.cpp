// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/usb_address_file.h"

#include <cmath>

#include "common/atomic_file.h"
#include "common/write_records.h"

namespace evm {

std::optional<uint16_t> ReadUsbAddressFile(const std::filesystem::path& path,
                                           std::error_code* readError) {
  std::error_code ec;
  const auto content = ReadWholeFile(path, ec);
  if (readError) *readError = ec;
  if (!content) return std::nullopt;
  const auto fields = ReadRecordFields(*content);
  if (fields.empty()) return std::nullopt;
  const auto value = FieldAsNumber(fields[0]);
  if (!value || *value < 0 || *value > 65535 || std::floor(*value) != *value) return std::nullopt;
  return static_cast<uint16_t>(*value);
}

bool WriteUsbAddressFile(const std::filesystem::path& path, uint16_t usbAddress,
                         std::error_code* ec) {
  RecordWriter w;
  w.Number(usbAddress).EndRecord();
  std::error_code why;
  const bool written = WriteFileAtomically(path, w.Content(), why);
  if (ec) *ec = why;
  return written;
}

}  // namespace evm
