// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The test board's vocabulary is part of the installed interface, so it is
// defined once with the public headers.
#include "zm5520evm/test_board_types.h"
