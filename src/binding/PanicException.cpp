#include "binding/PanicException.h"

#include "binding/PyErr.h"
#include "support/Panic.h"

namespace qiv::py {

PyObject* panic_exception_type() {
    static PyObject* type = nullptr;  // guarded by the interpreter lock
    if (!type) {
        type = PyErr_NewExceptionWithDoc(
            "pyo3_runtime.PanicException",
            "\nThe exception raised when Rust code called from Python panics.\n\n"
            "Like SystemExit, this exception is derived from BaseException so that\n"
            "it will typically propagate all the way through the stack and cause the\n"
            "Python interpreter to exit.\n",
            PyExc_BaseException, nullptr);
        if (!type) {
            PyErr_Print();
            panic("Failed to initialize new exception type.");
        }
    }
    return type;
}

void raise_panic_exception(std::string_view message) {
    PyErr(panic_exception_type(), message).restore();
}

}  // namespace qiv::py
