// The module root: PyInit_qiv_framework, the module body and the two module functions.
#include <Python.h>

#include <atomic>
#include <string>
#include <vector>

#include "binding/ArgCollector.h"
#include "binding/CallGuard.h"
#include "binding/Extract.h"
#include "binding/PanicException.h"
#include "qiv/core/qiv_core_api/entity/EApiConfigRustClass.h"
#include "qiv/core/qiv_core_api/utility/IuApi.h"
#include "support/Panic.h"

namespace qiv {

using py::PyErr;
using py::PyResult;
using py::Ref;

namespace {

// ======== module functions ========

constexpr const char* kRoundTripParams[] = {"dataEApiConfig"};

PyResult<PyObject*> round_trip(const char* function, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    const py::ArgSpec spec{function, nullptr, kRoundTripParams, 1, 1};
    Ref data;
    if (auto r = py::collect_fastcall(spec, args, nargs, kwnames, &data); !r) return std::move(r).error();
    auto bytes = py::extract_byte_vector(data.get());
    if (!bytes) return py::wrap_argument_error(std::move(bytes).error(), "dataEApiConfig");
    auto out = test_binary(std::move(bytes).value());
    if (!out) return PyErr(PyExc_Exception, "Request failed");
    const std::vector<uint8_t>& v = out.value();
    PyObject* result = PyBytes_FromStringAndSize(reinterpret_cast<const char*>(v.data()), static_cast<Py_ssize_t>(v.size()));
    if (!result) py::api_call_failed();
    py::hold_temporary(result);
    return result;
}

PyObject* do_set_eapiconfig_entry(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return py::guard_object([&] { return round_trip("do_set_eapiconfig", args, nargs, kwnames); });
}

PyObject* do_test_binary_entry(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return py::guard_object([&] { return round_trip("do_test_binary", args, nargs, kwnames); });
}

// The interpreter keeps pointers to these for the life of each function object.
PyMethodDef kDoSetEApiConfigDef{"do_set_eapiconfig",
                                reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(do_set_eapiconfig_entry)),
                                METH_FASTCALL | METH_KEYWORDS, "do_set_eapiconfig(dataEApiConfig)\n--\n\n"};
PyMethodDef kDoTestBinaryDef{"do_test_binary",
                             reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(do_test_binary_entry)),
                             METH_FASTCALL | METH_KEYWORDS, "do_test_binary(dataEApiConfig)\n--\n\n"};

// ======== module body ========

PyObject* interned(PyObject*& slot, const char* text) {
    if (!slot) {
        slot = PyUnicode_FromString(text);
        if (!slot) py::api_call_failed();
        PyUnicode_InternInPlace(&slot);
    }
    return slot;
}
PyObject* name_all() {
    static PyObject* s = nullptr;
    return interned(s, "__all__");
}
PyObject* name_name() {
    static PyObject* s = nullptr;
    return interned(s, "__name__");
}

PyResult<Unit> add_attribute(PyObject* module, Ref name, Ref value) {
    Ref all = Ref::steal(PyObject_GetAttr(module, name_all()));
    if (!all) {
        if (!PyErr_ExceptionMatches(PyExc_AttributeError)) return PyErr::fetch();
        PyErr_Clear();
        all = Ref::steal(PyList_New(0));
        if (!all) return PyErr::fetch();
        if (PyObject_SetAttr(module, name_all(), all.get()) < 0) return PyErr::fetch();
    } else if (!PyList_Check(all.get())) {
        return py::downcast_error(all.get(), "PyList");
    }
    if (PyList_Append(all.get(), name.get()) < 0) {
        Ref error = PyErr::fetch().normalized_value();
        Ref shown = Ref::steal(PyObject_Repr(error.get()));
        const char* text = shown ? PyUnicode_AsUTF8(shown.get()) : nullptr;
        if (!text) PyErr_Clear();
        panic(std::string("could not append __name__ to __all__: ") + (text ? text : "<unprintable error>"));
    }
    all = Ref();
    if (PyObject_SetAttr(module, name.get(), value.get()) < 0) return PyErr::fetch();
    return Unit{};
}

PyResult<Unit> add_function(PyObject* module, PyMethodDef* def) {
    Ref module_name = Ref::steal(PyModule_GetNameObject(module));
    if (!module_name) return PyErr::fetch();
    PyObject* function = PyCMethod_New(def, module, module_name.get(), nullptr);
    if (!function) return PyErr::fetch();
    py::hold_temporary(function);  // the pool keeps it until the import returns
    Ref owned = Ref::steal(function);
    Ref name = Ref::steal(PyObject_GetAttr(function, name_name()));
    if (!name) return PyErr::fetch();
    if (!PyUnicode_Check(name.get())) return py::downcast_error(name.get(), "PyString");
    Py_ssize_t size = 0;
    const char* text = PyUnicode_AsUTF8AndSize(name.get(), &size);
    if (!text) return PyErr::fetch();
    Ref copy = Ref::steal(PyUnicode_FromStringAndSize(text, size));
    if (!copy) py::api_call_failed();
    return add_attribute(module, std::move(copy), std::move(owned));
}

PyResult<Unit> qiv_framework_body(PyObject* module) {
    if (auto r = add_function(module, &kDoSetEApiConfigDef); !r) return r;
    if (auto r = add_function(module, &kDoTestBinaryDef); !r) return r;
    auto type = eapiconfigrust_type_object_checked();
    if (!type) return std::move(type).error();
    Ref name = Ref::steal(PyUnicode_FromStringAndSize("EApiConfigRust", 14));
    if (!name) py::api_call_failed();
    return add_attribute(module, std::move(name), Ref::borrow(reinterpret_cast<PyObject*>(type.value())));
}

// ======== module creation ========

PyModuleDef kModuleDef = {
    PyModuleDef_HEAD_INIT,
    "qiv_framework",
    "A Python module implemented in Rust.",
    0,
    nullptr,
    nullptr,
    nullptr,
    nullptr,
    nullptr,
};

std::atomic<int64_t> owning_interpreter{-1};
PyObject* module_cache = nullptr;  // set once under the interpreter lock, never cleared

PyResult<PyObject*> make_module() {
    int64_t id = PyInterpreterState_GetID(PyInterpreterState_Get());
    if (id == -1) return PyErr::fetch();
    int64_t expected = -1;
    if (!owning_interpreter.compare_exchange_strong(expected, id) && expected != id) {
        return PyErr(PyExc_ImportError,
                     "PyO3 modules do not yet support subinterpreters, see https://github.com/PyO3/pyo3/issues/576");
    }
    if (module_cache) return Py_NewRef(module_cache);
    if (auto r = py::prepare_panic_exception_type(); !r) return std::move(r).error();
    Ref module = Ref::steal(PyModule_Create2(&kModuleDef, 1013));
    if (!module) return PyErr::fetch();
    if (auto r = qiv_framework_body(module.get()); !r) return std::move(r).error();
    if (!module_cache) module_cache = module.release();  // a nested import may have filled it
    return Py_NewRef(module_cache);
}

}  // namespace

}  // namespace qiv

PyMODINIT_FUNC PyInit_qiv_framework() {
    return qiv::py::guard_object([] { return qiv::make_module(); });
}
