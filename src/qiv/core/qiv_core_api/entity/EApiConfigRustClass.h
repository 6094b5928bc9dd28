// The Python class EApiConfigRust: its type object, made once per process.
#pragma once

#include <Python.h>

#include "binding/PyErr.h"

namespace qiv {

// For the module body: a failure to make the type comes back as an error.
py::PyResult<PyTypeObject*> eapiconfigrust_type_object_checked();

// For everything else: a failure is printed and ends the call with a panic.
PyTypeObject* eapiconfigrust_type_object();

}  // namespace qiv
