// The one argument-collection routine shared by every entry that takes arguments.
#pragma once

#include <Python.h>

#include <cstddef>

#include "binding/PyErr.h"

namespace qiv::py {

struct ArgSpec {
    const char* function;    // "from_bytes"
    const char* class_name;  // "EApiConfigRust", or nullptr for a module function
    const char* const* params;
    size_t count;     // all parameters are positional-or-keyword
    size_t required;  // the first `required` have no default
};

// Fills slots[0..count) with strong references (empty where not given), which the caller keeps
// until its body ends: caller code run by a conversion (a __bool__ emptying the keyword dict, say)
// cannot free an argument still to be read.
// Fast-call form: args holds the positional values, then the keyword values named by kwnames.
PyResult<Unit> collect_fastcall(const ArgSpec& spec, PyObject* const* args, Py_ssize_t nargs,
                                PyObject* kwnames, Ref* slots);

// Tuple-and-dict form, for the new slot.
PyResult<Unit> collect_tuple_dict(const ArgSpec& spec, PyObject* args, PyObject* kwargs, Ref* slots);

}  // namespace qiv::py
