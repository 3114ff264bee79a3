// SPDX-License-Identifier: GPL-3.0-or-later
// The register link's replies: whatever the board answers, a read fills the
// caller's buffer only on success and no handle is leaked.
#include <algorithm>
#include <array>

#include "fuzz_hid.h"

using namespace evm;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::FuzzBytes in(data, size);
  fuzz::FuzzContext ctx(in);
  RegisterLink& link = ctx.evm.regLink();
  for (int step = 0; step < 24 && (step == 0 || !in.Empty()); ++step) {
    const uint8_t op = in.Byte();
    // Mostly in range, now and then anything, to reach the checks.
    const int address = (op & 0x80) ? in.Byte() : 0x40;
    const int pointer = in.Byte() % 8;
    const int count = (op & 0x40) ? in.Byte() : 2;
    switch (op % 6) {
      case 0: {
        std::array<uint8_t, 100> buffer;
        buffer.fill(0x5A);
        const bool ok = link.I2CRead(address, pointer, count, buffer, 0);
        const size_t touched = ok ? static_cast<size_t>(count) : 0;
        FUZZ_CHECK(std::all_of(buffer.begin() + static_cast<std::ptrdiff_t>(touched), buffer.end(),
                               [](uint8_t b) { return b == 0x5A; }));
        break;
      }
      case 1: {
        std::array<uint8_t, 100> bytes{};
        for (uint8_t& b : bytes) b = in.Byte();
        (void)link.I2CWrite(address, pointer, count, bytes, 0);
        break;
      }
      case 2:
        link.ReadRegWord(address, pointer);
        FUZZ_CHECK(ctx.evm.results().I2C_AckStatus[0] <= 1);
        break;
      case 3: (void)link.WriteRegWord(address, pointer, in.Byte(), in.Byte()); break;
      case 4: link.CloseRegLink(); break;
      default: (void)link.OpenRegLink(); break;
    }
    // Two handles per board at most, and none left on a closed link.
    FUZZ_CHECK(ctx.hid.Sim().OpenHandleCount() <= 4);
    if (op % 6 == 4) FUZZ_CHECK(!link.LinkOpen());
  }
  link.CloseRegLink();
  return 0;
}
