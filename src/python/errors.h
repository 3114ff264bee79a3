// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <pybind11/pybind11.h>

#include "zm5520evm/errors.h"

namespace evm::python {

namespace py = pybind11;

// zm5520evm.Error and one subclass per evm::Error subclass, and the
// translation of the C++ errors into them with their fields as attributes.
void DefineErrors(py::module_& m);

}  // namespace evm::python
