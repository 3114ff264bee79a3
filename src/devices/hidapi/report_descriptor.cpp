// SPDX-License-Identifier: GPL-3.0-or-later
#include "devices/hidapi/report_descriptor.h"

#include <algorithm>
#include <map>
#include <vector>

namespace evm {

std::optional<ReportLengths> ReportLengthsFromDescriptor(std::span<const uint8_t> d) {
  struct Globals {
    uint32_t reportSize = 0;
    uint32_t reportCount = 0;
    uint32_t reportId = 0;
  };
  Globals g;
  std::vector<Globals> stack;
  // bits per report id, per kind
  std::map<uint32_t, uint64_t> inBits, outBits, featBits;
  size_t i = 0;
  while (i < d.size()) {
    const uint8_t prefix = d[i];
    if (prefix == 0xFE) {  // long item: skip it whole
      if (i + 1 >= d.size()) return std::nullopt;
      i += 3 + d[i + 1];
      continue;
    }
    const size_t size = (prefix & 0x3) == 3 ? 4 : (prefix & 0x3);
    if (i + 1 + size > d.size()) return std::nullopt;
    uint32_t value = 0;
    for (size_t k = 0; k < size; ++k) value |= static_cast<uint32_t>(d[i + 1 + k]) << (8 * k);
    const uint8_t tag = prefix & 0xFC;
    switch (tag) {
      case 0x74: g.reportSize = value; break;   // Report Size
      case 0x94: g.reportCount = value; break;  // Report Count
      case 0x84: g.reportId = value; break;     // Report ID
      case 0xA4: stack.push_back(g); break;     // Push
      case 0xB4:                                // Pop
        if (stack.empty()) return std::nullopt;
        g = stack.back();
        stack.pop_back();
        break;
      case 0x80: inBits[g.reportId] += uint64_t{g.reportSize} * g.reportCount; break;
      case 0x90: outBits[g.reportId] += uint64_t{g.reportSize} * g.reportCount; break;
      case 0xB0: featBits[g.reportId] += uint64_t{g.reportSize} * g.reportCount; break;
      default: break;
    }
    i += 1 + size;
  }
  auto longest = [](const std::map<uint32_t, uint64_t>& bits) -> uint16_t {
    uint64_t best = 0;
    for (const auto& [id, n] : bits) best = std::max(best, (n + 7) / 8);
    if (bits.empty()) return 0;
    return static_cast<uint16_t>(std::min<uint64_t>(best + 1, 0xFFFF));
  };
  ReportLengths lengths{longest(inBits), longest(outBits), longest(featBits)};
  if (lengths.input == 0 && lengths.output == 0) return std::nullopt;
  return lengths;
}

}  // namespace evm
