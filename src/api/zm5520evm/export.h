// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// What the shared library shows of itself; everything else in it stays
// inside, so only this interface is one to keep stable.
#if defined(_WIN32)
#define ZM5520EVM_API
#else
#define ZM5520EVM_API __attribute__((visibility("default")))
#endif
