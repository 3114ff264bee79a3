// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <string_view>

namespace evm {

// The SHA-256 digest of `data` as 64 lower-case hexadecimal digits: a record
// names the exact script it ran, so two stations can tell whether they ran
// the same one.
std::string Sha256Hex(std::string_view data);

}  // namespace evm
