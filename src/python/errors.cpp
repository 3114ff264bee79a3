// SPDX-License-Identifier: GPL-3.0-or-later
#include "errors.h"

#include <system_error>

namespace evm::python {

namespace {

constexpr const char* kModule = "zm5520evm._zm5520evm";

struct ErrorClass {
  const char* name;
  const char* doc;
};

// Base first: each later class derives from Error (and from the builtin
// exception a Python program would catch it as, where there is one).
constexpr ErrorClass kClasses[] = {
    {"Error",
     "Every failure of a Bench operation; str() is the text the program itself shows for it."},
    {"NoBoardError", "No board of the kind (or none with the serial number or path asked for)."},
    {"BoardNotOpenableError",
     "The board is there but cannot be opened: no permission (see the udev rule) or in use."},
    {"BoardSilentError",
     "A board was opened but did not answer within its time-out (1 s for the register link)."},
    {"NotAcknowledgedError", "The board answered, but the device behind it did not acknowledge."},
    {"ReadBackError",
     "A register took the write but reads back another value.\n\n"
     "Attributes: reg (the register number), wanted (the value written), got (the value read)."},
    {"ParseError",
     "Input that cannot be used: a mnemonic that does not parse, a script or register file\n"
     "that is not one, a value out of range. Also a ValueError.\n\n"
     "Attribute: position, the line of a file (1 for the first), or 0 where there is none."},
    {"FileError",
     "A file that could not be read or written. Also an OSError: errno and strerror are the\n"
     "system's reason where there is one, filename (and path) the file."},
    {"CancelledError", "The operation was stopped by Bench.request_stop() before it was done."},
};

py::object ErrorType(const char* name) {
  return py::module_::import(kModule).attr(name);
}

void Raise(const char* name, const std::exception& e,
           const std::initializer_list<std::pair<const char*, py::object>>& attributes = {}) {
  const py::object type = ErrorType(name);
  const py::object error = type(py::str(e.what()));
  for (const auto& [key, value] : attributes) error.attr(key) = value;
  PyErr_SetObject(type.ptr(), error.ptr());
}

void Translate(std::exception_ptr thrown) {
  try {
    std::rethrow_exception(thrown);
  } catch (const ReadBackError& e) {
    Raise("ReadBackError", e,
          {{"reg", py::int_(e.reg)}, {"wanted", py::int_(e.wanted)}, {"got", py::int_(e.got)}});
  } catch (const ParseError& e) {
    Raise("ParseError", e, {{"position", py::int_(e.position)}});
  } catch (const FileError& e) {
    // The system's reason as OSError keeps it; a reason of the program's own has no errno.
    const bool system = e.code && (e.code.category() == std::generic_category() ||
                                   e.code.category() == std::system_category());
    Raise("FileError", e,
          {{"path", py::str(e.path)},
           {"filename", py::str(e.path)},
           {"errno", system ? py::object(py::int_(e.code.value())) : py::none()},
           {"strerror", system ? py::object(py::str(e.code.message())) : py::none()}});
  } catch (const NoBoardError& e) {
    Raise("NoBoardError", e);
  } catch (const BoardNotOpenableError& e) {
    Raise("BoardNotOpenableError", e);
  } catch (const BoardSilentError& e) {
    Raise("BoardSilentError", e);
  } catch (const NotAcknowledgedError& e) {
    Raise("NotAcknowledgedError", e);
  } catch (const CancelledError& e) {
    Raise("CancelledError", e);
  } catch (const Error& e) {
    Raise("Error", e);
  }
}

}  // namespace

void DefineErrors(py::module_& m) {
  for (const ErrorClass& c : kClasses) {
    const std::string name = c.name;
    PyObject* bases = nullptr;
    const py::object base = name == "Error" ? py::object() : py::object(m.attr("Error"));
    if (name == "Error") {
      bases = PyExc_Exception;
      Py_INCREF(bases);
    } else if (name == "ParseError") {
      bases = py::make_tuple(base, py::handle(PyExc_ValueError)).release().ptr();
    } else if (name == "FileError") {
      bases = py::make_tuple(base, py::handle(PyExc_OSError)).release().ptr();
    } else {
      bases = base.inc_ref().ptr();
    }
    const std::string qualified = "zm5520evm." + name;
    PyObject* type = PyErr_NewExceptionWithDoc(qualified.c_str(), c.doc, bases, nullptr);
    Py_DECREF(bases);
    if (!type) throw py::error_already_set();
    const auto cls = py::reinterpret_steal<py::object>(type);
    if (name == "FileError") {
      // OSError would show "[Errno 2] ..." with the errno given: the text
      // is the program's own, which names the file and the reason.
      cls.attr("__str__") = py::cpp_function(
          [](const py::object& self) { return py::str(self.attr("args")[py::int_(0)]); },
          py::is_method(cls), py::name("__str__"));
    }
    m.add_object(c.name, cls);
  }
  py::register_exception_translator(&Translate);
}

}  // namespace evm::python
