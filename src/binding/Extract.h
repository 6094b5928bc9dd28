// Conversions of Python arguments into C++ values.
#pragma once

#include <Python.h>

#include <cstdint>
#include <string>
#include <vector>

#include "binding/PyErr.h"

namespace qiv::py {

// bool, or a numpy boolean scalar.
PyResult<bool> extract_flag(PyObject* object);

// str or a subclass, as its UTF-8 form.
PyResult<std::string> extract_text(PyObject* object);

// Any sequence of integers 0..255 but a str.
PyResult<std::vector<uint8_t>> extract_byte_vector(PyObject* object);

}  // namespace qiv::py
