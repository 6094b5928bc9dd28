#include "binding/PyErr.h"

#include "support/Panic.h"

namespace qiv::py {

PyErr::PyErr(PyObject* type, std::string_view message) : type_(Ref::borrow(type)), lazy_(true) {
    value_ = Ref::steal(PyUnicode_FromStringAndSize(message.data(), static_cast<Py_ssize_t>(message.size())));
    if (!value_) api_call_failed();
}

PyErr PyErr::from_exception(Ref exception) {
    PyErr err;
    err.type_ = Ref::borrow(reinterpret_cast<PyObject*>(Py_TYPE(exception.get())));
    err.traceback_ = Ref::steal(PyException_GetTraceback(exception.get()));
    err.value_ = std::move(exception);
    return err;
}

PyErr PyErr::fetch() {
    PyErr err;
    PyObject *t, *v, *tb;
    PyErr_Fetch(&t, &v, &tb);
    if (!t) {
        Py_XDECREF(v);
        Py_XDECREF(tb);
        return PyErr(PyExc_SystemError, "attempted to fetch exception but none was set");
    }
    err.type_ = Ref::steal(t);
    err.value_ = Ref::steal(v);
    err.traceback_ = Ref::steal(tb);
    return err;
}

void PyErr::restore() && {
    if (lazy_) {
        PyErr_SetObject(type_.get(), value_.get());
        return;
    }
    PyErr_Restore(type_.release(), value_.release(), traceback_.release());
}

Ref PyErr::normalized_value() {
    if (lazy_) {
        Ref exc = Ref::steal(PyObject_CallOneArg(type_.get(), value_.get()));
        if (!exc) api_call_failed();
        value_ = std::move(exc);
        lazy_ = false;
    } else {
        PyObject *t = type_.release(), *v = value_.release(), *tb = traceback_.release();
        PyErr_NormalizeException(&t, &v, &tb);
        if (tb && v) PyException_SetTraceback(v, tb);
        type_ = Ref::steal(t);
        value_ = Ref::steal(v);
        traceback_ = Ref::steal(tb);
    }
    return value_;
}

PyErr downcast_error(PyObject* object, const char* target) {
    Ref qualname = Ref::steal(PyType_GetQualName(Py_TYPE(object)));
    if (!qualname || !PyUnicode_Check(qualname.get())) {
        PyErr_Clear();
        qualname = Ref::steal(PyUnicode_FromString("<failed to extract type name>"));
        if (!qualname) api_call_failed();
    }
    Ref message = Ref::steal(PyUnicode_FromFormat("'%U' object cannot be converted to '%s'", qualname.get(), target));
    if (!message) api_call_failed();
    return PyErr(PyExc_TypeError, std::move(message));
}

PyErr wrap_argument_error(PyErr error, const char* parameter) {
    if (error.type() != PyExc_TypeError) return error;
    Ref value = error.normalized_value();
    Ref text = Ref::steal(PyObject_Str(value.get()));
    if (!text) {
        PyErr_WriteUnraisable(nullptr);
        Ref name = Ref::steal(PyType_GetName(Py_TYPE(value.get())));
        text = Ref::steal(name ? PyUnicode_FromFormat("<unprintable %U object>", name.get())
                               : (PyErr_Clear(), PyUnicode_FromString("<unprintable object>")));
        if (!text) api_call_failed();
    }
    Ref message = Ref::steal(PyUnicode_FromFormat("argument '%s': %U", parameter, text.get()));
    if (!message) api_call_failed();
    Ref wrapped = Ref::steal(PyObject_CallOneArg(PyExc_TypeError, message.get()));
    if (!wrapped) api_call_failed();
    PyException_SetCause(wrapped.get(), PyException_GetCause(value.get()));
    return PyErr::from_exception(std::move(wrapped));
}

void api_call_failed() {
    PyErr_Print();
    panic("Python API call failed");
}

}  // namespace qiv::py
