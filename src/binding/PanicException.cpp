#include "binding/PanicException.h"

#include "binding/PyErr.h"
#include "support/Panic.h"

namespace qiv::py {

namespace {

PyObject* cached_type = nullptr;  // guarded by the interpreter lock; never released

// Null with the interpreter's error set when it refuses.
PyObject* make_type() {
    return PyErr_NewExceptionWithDoc(
        "pyo3_runtime.PanicException",
        "\nThe exception raised when Rust code called from Python panics.\n\n"
        "Like SystemExit, this exception is derived from BaseException so that\n"
        "it will typically propagate all the way through the stack and cause the\n"
        "Python interpreter to exit.\n",
        PyExc_BaseException, nullptr);
}

}  // namespace

PyObject* panic_exception_type() {
    if (!cached_type) {
        cached_type = make_type();
        if (!cached_type) {
            PyErr_Print();
            panic("Failed to initialize new exception type.");
        }
    }
    return cached_type;
}

PyResult<Unit> prepare_panic_exception_type() {
    if (!cached_type) cached_type = make_type();
    if (!cached_type) return PyErr::fetch();
    return Unit{};
}

void raise_panic_exception(std::string_view message) {
    PyErr(panic_exception_type(), message).restore();
}

}  // namespace qiv::py
