// SPDX-License-Identifier: GPL-3.0-or-later
// The interface board's address file: any address read is written back and
// reads as the same address.
#include "fuzz_support.h"
#include "shell/usb_address_file.h"

using namespace evm;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const auto file = fuzz::InputFile(kUsbAddressFileName, data, size);
  const auto address = ReadUsbAddressFile(file);
  if (!address) return 0;
  FUZZ_CHECK(WriteUsbAddressFile(file, *address));
  FUZZ_CHECK(ReadUsbAddressFile(file) == address);
  return 0;
}
