#include "binding/PyErr.h"

#include "support/Panic.h"

namespace qiv::py {

PyErr::PyErr(PyObject* type, std::string_view message)
    : PyErr(type, Ref::steal(PyUnicode_FromStringAndSize(message.data(), static_cast<Py_ssize_t>(message.size())))) {}

PyErr::PyErr(PyObject* type, Ref argument) {
    if (!argument) {
        *this = stand_in();
        return;
    }
    type_ = Ref::borrow(type);
    value_ = std::move(argument);
    form_ = Form::Argument;
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

PyErr PyErr::stand_in() {
    PyErr err = fetch();
    err.form_ = Form::StandIn;
    return err;
}

void PyErr::restore() && {
    if (form_ == Form::Fetched || form_ == Form::StandIn) {
        PyErr_Restore(type_.release(), value_.release(), traceback_.release());
        return;
    }
    // Raised as the interpreter raises a new error, chaining the one being handled as its context.
    PyErr_SetObject(type_.get(), value_.get());
}

bool PyErr::make() {
    if (form_ == Form::Argument) {
        // As the interpreter makes an exception from its str argument.
        Ref made = Ref::steal(PyObject_CallOneArg(type_.get(), value_.get()));
        if (made) {
            value_ = std::move(made);
            form_ = Form::Made;
        } else {
            *this = stand_in();
        }
    }
    if (form_ == Form::Made) return true;
    const Ref fetched_type = type_;
    PyObject *t = type_.release(), *v = value_.release(), *tb = traceback_.release();
    PyErr_NormalizeException(&t, &v, &tb);
    if (tb && v) PyException_SetTraceback(v, tb);
    type_ = Ref::steal(t);
    value_ = Ref::steal(v);
    traceback_ = Ref::steal(tb);
    // Normalising puts what went wrong making the object (a MemoryError, say) in the error's
    // place, which then stands in for it.
    if (form_ == Form::Fetched && PyType_Check(fetched_type.get()) &&
        !(value_ && PyObject_TypeCheck(value_.get(), reinterpret_cast<PyTypeObject*>(fetched_type.get())))) {
        form_ = Form::StandIn;
    }
    return form_ == Form::Fetched;
}

Ref PyErr::normalized_value() {
    make();
    return value_;
}

void PyErr::set_cause(Ref cause) {
    if (make()) PyException_SetCause(value_.get(), cause.release());
}

Ref PyErr::argument_message() const {
    return form_ == Form::Argument && PyUnicode_CheckExact(value_.get()) ? value_ : Ref();
}

PyErr downcast_error(PyObject* object, const char* target) {
    Ref qualname = Ref::steal(PyType_GetQualName(Py_TYPE(object)));
    if (!qualname || !PyUnicode_Check(qualname.get())) {
        PyErr_Clear();
        qualname = Ref::steal(PyUnicode_FromString("<failed to extract type name>"));
        if (!qualname) return PyErr::fetch();
    }
    return PyErr(PyExc_TypeError,
                 Ref::steal(PyUnicode_FromFormat("'%U' object cannot be converted to '%s'", qualname.get(), target)));
}

PyErr wrap_argument_error(PyErr error, const char* parameter) {
    if (error.type() != PyExc_TypeError) return error;
    // An error still to be made is not made for its text: str() of it is its message, its cause none.
    Ref text = error.argument_message();
    Ref cause;
    if (!text) {
        Ref value = error.normalized_value();
        if (error.stands_in()) return error;  // making it failed: that failure instead
        cause = Ref::steal(PyException_GetCause(value.get()));
        text = str_or_unprintable(value.get());
        if (!text) return PyErr::fetch();
    }
    PyErr wrapped(PyExc_TypeError, Ref::steal(PyUnicode_FromFormat("argument '%s': %U", parameter, text.get())));
    if (cause) wrapped.set_cause(std::move(cause));
    return wrapped;
}

Ref str_or_unprintable(PyObject* object) {
    Ref text = Ref::steal(PyObject_Str(object));
    if (text) return text;
    PyErr_WriteUnraisable(nullptr);
    Ref name = Ref::steal(PyType_GetName(Py_TYPE(object)));
    if (!name) {
        PyErr_Clear();
        return Ref::steal(PyUnicode_FromString("<unprintable object>"));
    }
    return Ref::steal(PyUnicode_FromFormat("<unprintable %U object>", name.get()));
}

void api_call_failed() {
    PyErr_Print();
    panic("Python API call failed");
}

}  // namespace qiv::py
