#include "binding/ArgCollector.h"

#include <cstring>
#include <string>

namespace qiv::py {

namespace {

std::string full_name(const ArgSpec& spec) {
    std::string name;
    if (spec.class_name) {
        name += spec.class_name;
        name += '.';
    }
    name += spec.function;
    name += "()";
    return name;
}

PyErr too_many_positional(const ArgSpec& spec, Py_ssize_t given) {
    std::string m = full_name(spec) + " takes " + std::to_string(spec.count) +
                    " positional arguments but " + std::to_string(given) + (given == 1 ? " was" : " were") +
                    " given";
    return PyErr(PyExc_TypeError, m);
}

// Matches a keyword to a parameter by its UTF-8 text; a name without one matches nothing.
PyResult<Unit> place_keyword(const ArgSpec& spec, PyObject* name, PyObject* value, Ref* slots) {
    Py_ssize_t len = 0;
    const char* text = PyUnicode_Check(name) ? PyUnicode_AsUTF8AndSize(name, &len) : nullptr;
    if (!text) PyErr_Clear();
    for (size_t i = 0; text && i < spec.count; ++i) {
        if (std::strlen(spec.params[i]) == static_cast<size_t>(len) && std::memcmp(spec.params[i], text, static_cast<size_t>(len)) == 0) {
            if (slots[i]) {
                return PyErr(PyExc_TypeError,
                             full_name(spec) + " got multiple values for argument '" + spec.params[i] + "'");
            }
            slots[i] = Ref::borrow(value);
            return Unit{};
        }
    }
    // str() of the name may run caller code that drops every other reference to it.
    Ref held = Ref::borrow(name);
    Ref shown = str_or_unprintable(held.get());
    if (!shown) return PyErr::fetch();
    std::string head = full_name(spec) + " got an unexpected keyword argument '";
    return PyErr(PyExc_TypeError, Ref::steal(PyUnicode_FromFormat("%s%U'", head.c_str(), shown.get())));
}

PyResult<Unit> check_missing(const ArgSpec& spec, const Ref* slots) {
    size_t missing = 0;
    for (size_t i = 0; i < spec.required; ++i) missing += !slots[i];
    if (missing == 0) return Unit{};
    std::string m = full_name(spec) + " missing " + std::to_string(missing) + " required positional argument" +
                    (missing == 1 ? "" : "s") + ": ";
    size_t listed = 0;
    for (size_t i = 0; i < spec.required; ++i) {
        if (slots[i]) continue;
        if (listed > 0) {
            if (missing > 2) m += ',';
            m += listed + 1 == missing ? " and " : " ";
        }
        m += '\'';
        m += spec.params[i];
        m += '\'';
        ++listed;
    }
    return PyErr(PyExc_TypeError, m);
}

PyResult<Unit> place_positional(const ArgSpec& spec, PyObject* const* values, Py_ssize_t n, Ref* slots) {
    if (n > static_cast<Py_ssize_t>(spec.count)) return too_many_positional(spec, n);
    for (size_t i = 0; i < spec.count; ++i) slots[i] = i < static_cast<size_t>(n) ? Ref::borrow(values[i]) : Ref();
    return Unit{};
}

}  // namespace

PyResult<Unit> collect_fastcall(const ArgSpec& spec, PyObject* const* args, Py_ssize_t nargs,
                                PyObject* kwnames, Ref* slots) {
    if (auto r = place_positional(spec, args, nargs, slots); !r) return r;
    Py_ssize_t nkw = kwnames ? PyTuple_GET_SIZE(kwnames) : 0;
    for (Py_ssize_t i = 0; i < nkw; ++i) {
        if (auto r = place_keyword(spec, PyTuple_GET_ITEM(kwnames, i), args[nargs + i], slots); !r) return r;
    }
    return check_missing(spec, slots);
}

PyResult<Unit> collect_tuple_dict(const ArgSpec& spec, PyObject* args, PyObject* kwargs, Ref* slots) {
    if (auto r = place_positional(spec, reinterpret_cast<PyTupleObject*>(args)->ob_item, PyTuple_GET_SIZE(args), slots); !r) return r;
    if (kwargs) {
        Py_ssize_t pos = 0;
        PyObject *key, *value;
        while (PyDict_Next(kwargs, &pos, &key, &value)) {
            if (auto r = place_keyword(spec, key, value, slots); !r) return r;
        }
    }
    return check_missing(spec, slots);
}

}  // namespace qiv::py
