#include "binding/Extract.h"

#include <algorithm>
#include <cstring>

namespace qiv::py {

namespace {

bool is_numpy_bool(PyTypeObject* type) {
    // numpy 2 renamed the scalar type; either name is a numpy boolean.
    return std::strcmp(type->tp_name, "numpy.bool_") == 0 || std::strcmp(type->tp_name, "numpy.bool") == 0;
}

}  // namespace

PyResult<bool> extract_flag(PyObject* object) {
    if (Py_IS_TYPE(object, &PyBool_Type)) return object == Py_True;
    PyTypeObject* type = Py_TYPE(object);
    if (!is_numpy_bool(type)) return downcast_error(object, "PyBool");
    inquiry truth = type->tp_as_number ? type->tp_as_number->nb_bool : nullptr;
    if (!truth) {
        return PyErr(PyExc_TypeError,
                     Ref::steal(PyUnicode_FromFormat("object of type '%S' does not define a '__bool__' conversion",
                                                     reinterpret_cast<PyObject*>(type))));
    }
    switch (truth(object)) {
    case 0:
        return false;
    case 1:
        return true;
    default:
        return PyErr::fetch();
    }
}

PyResult<std::string> extract_text(PyObject* object) {
    if (!PyUnicode_Check(object)) return downcast_error(object, "PyString");
    Py_ssize_t size = 0;
    const char* data = PyUnicode_AsUTF8AndSize(object, &size);
    if (!data) return PyErr::fetch();
    return std::string(data, static_cast<size_t>(size));
}

PyResult<std::vector<uint8_t>> extract_byte_vector(PyObject* object) {
    if (PyUnicode_Check(object)) return PyErr(PyExc_TypeError, "Can't extract `str` to `Vec`");
    // The exact built-in byte types iterate as their own bytes: copy them in one go.
    if (PyBytes_CheckExact(object)) {
        auto* p = reinterpret_cast<const uint8_t*>(PyBytes_AS_STRING(object));
        return std::vector<uint8_t>(p, p + PyBytes_GET_SIZE(object));
    }
    if (PyByteArray_CheckExact(object)) {
        auto* p = reinterpret_cast<const uint8_t*>(PyByteArray_AS_STRING(object));
        return std::vector<uint8_t>(p, p + PyByteArray_GET_SIZE(object));
    }
    if (!PySequence_Check(object)) return downcast_error(object, "Sequence");
    std::vector<uint8_t> out;
    Py_ssize_t hint = PySequence_Size(object);
    if (hint < 0) PyErr_Clear();
    // The hint only sizes the first allocation: a huge claimed length must not allocate up front.
    else if (hint > 0) out.reserve(static_cast<size_t>(std::min<Py_ssize_t>(hint, 1 << 20)));
    Ref iter = Ref::steal(PyObject_GetIter(object));
    if (!iter) return PyErr::fetch();
    while (Ref item = Ref::steal(PyIter_Next(iter.get()))) {
        long v = PyLong_AsLong(item.get());
        if (v == -1 && PyErr_Occurred()) return PyErr::fetch();
        if (v < 0 || v > 255) return PyErr(PyExc_OverflowError, "out of range integral type conversion attempted");
        out.push_back(static_cast<uint8_t>(v));
    }
    if (PyErr_Occurred()) return PyErr::fetch();
    return out;
}

}  // namespace qiv::py
