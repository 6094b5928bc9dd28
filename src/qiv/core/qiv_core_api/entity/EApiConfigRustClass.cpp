#include "qiv/core/qiv_core_api/entity/EApiConfigRustClass.h"

#include <cstdint>
#include <limits>
#include <new>

#include "binding/ArgCollector.h"
#include "binding/CallGuard.h"
#include "binding/Extract.h"
#include "qiv/core/qiv_core_api/entity/EApiConfigRust.h"
#include "qiv/core/qiv_core_api/utility/IuApi.h"
#include "support/Panic.h"

namespace qiv {

using py::PyErr;
using py::PyResult;
using py::Ref;

namespace {

// ======== state ========

constexpr uint64_t kExclusive = std::numeric_limits<uint64_t>::max();

struct EApiConfigRustObject {
    PyObject_HEAD
    EApiConfigRustRecord record;  // made only once `made` is set
    uint64_t borrow_flag;  // 0 free, kExclusive for a store, else the number of shared borrows
    bool made;
};

PyTypeObject* cached_type = nullptr;  // guarded by the interpreter lock; never released

// The ints 0..255, made with the type and kept for the process: to_bytes fills its list from
// them without a call per byte.
PyObject* byte_ints[256];

EApiConfigRustObject* as_object(PyObject* o) { return reinterpret_cast<EApiConfigRustObject*>(o); }

// The class is mutable, so Python can replace __new__ and get an instance from object.__new__:
// zero-filled memory that our new slot never filled. Such an instance reads as an empty record,
// made on its first use.
EApiConfigRustRecord& record_of(EApiConfigRustObject* self) {
    if (!self->made) {
        new (&self->record) EApiConfigRustRecord();
        self->made = true;
    }
    return self->record;
}

// ======== borrows ========

// A shared borrow of a record, released on every path out of a body, a panic included.
class SharedBorrow {
public:
    static PyResult<SharedBorrow> take(PyObject* object) {
        if (!PyObject_TypeCheck(object, eapiconfigrust_type_object())) {
            return py::downcast_error(object, "EApiConfigRust");
        }
        EApiConfigRustObject* self = as_object(object);
        if (self->borrow_flag == kExclusive) return PyErr(PyExc_RuntimeError, "Already mutably borrowed");
        ++self->borrow_flag;
        Py_INCREF(object);
        return SharedBorrow(self);
    }
    SharedBorrow(SharedBorrow&& other) noexcept : self_(std::exchange(other.self_, nullptr)) {}
    SharedBorrow(const SharedBorrow&) = delete;
    SharedBorrow& operator=(const SharedBorrow&) = delete;
    SharedBorrow& operator=(SharedBorrow&&) = delete;
    ~SharedBorrow() {
        if (!self_) return;
        --self_->borrow_flag;
        Py_DECREF(reinterpret_cast<PyObject*>(self_));
    }

    const EApiConfigRustRecord& record() const noexcept { return record_of(self_); }

private:
    explicit SharedBorrow(EApiConfigRustObject* self) : self_(self) {}
    EApiConfigRustObject* self_;
};

// Stores one field under an exclusive borrow; the value was converted before.
template <class Store>
PyResult<int> store_exclusive(PyObject* object, Store&& store) {
    if (!PyObject_TypeCheck(object, eapiconfigrust_type_object())) {
        return py::downcast_error(object, "EApiConfigRust");
    }
    EApiConfigRustObject* self = as_object(object);
    if (self->borrow_flag != 0) return PyErr(PyExc_RuntimeError, "Already borrowed");
    self->borrow_flag = kExclusive;
    store(record_of(self));
    self->borrow_flag = 0;
    return 0;
}

// ======== object creation ========

PyResult<PyObject*> create_object_of_subtype(EApiConfigRustRecord record, PyTypeObject* type) {
    allocfunc alloc = type->tp_alloc ? type->tp_alloc : PyType_GenericAlloc;
    PyObject* object = alloc(type, 0);
    if (!object) return PyErr::fetch();
    EApiConfigRustObject* self = as_object(object);
    new (&self->record) EApiConfigRustRecord(std::move(record));
    self->borrow_flag = 0;
    self->made = true;
    return object;
}

PyObject* create_object(EApiConfigRustRecord record) {
    auto made = create_object_of_subtype(std::move(record), eapiconfigrust_type_object());
    if (!made) {
        Ref value = made.error().normalized_value();
        Ref text = Ref::steal(PyObject_Repr(value.get()));
        const char* shown = text ? PyUnicode_AsUTF8(text.get()) : nullptr;
        if (!shown) PyErr_Clear();
        panic(std::string("called `Result::unwrap()` on an `Err` value: ") + (shown ? shown : "<unprintable error>"));
    }
    return made.value();
}

void eapiconfigrust_tp_dealloc(PyObject* object) {
    py::guard_dealloc([object] {
        PyTypeObject* type = Py_TYPE(object);
        EApiConfigRustObject* self = as_object(object);
        if (self->made) self->record.~EApiConfigRustRecord();
        type->tp_free(object);
        Py_DECREF(reinterpret_cast<PyObject*>(type));
    });
}

// ======== results ========

PyResult<PyObject*> new_str(std::string_view text) {
    PyObject* s = PyUnicode_FromStringAndSize(text.data(), static_cast<Py_ssize_t>(text.size()));
    if (!s) py::api_call_failed();
    return s;
}

PyErr codec_error_to_python(const CodecError& error) { return PyErr(PyExc_OSError, error.message); }

// ======== constructor ========

constexpr const char* kNewParams[] = {"isLocal", "name", "url_logo"};
constexpr py::ArgSpec kNewSpec{"__new__", "EApiConfigRust", kNewParams, 3, 3};

PyObject* eapiconfigrust_tp_new(PyTypeObject* subtype, PyObject* args, PyObject* kwargs) {
    return py::guard_object([&]() -> PyResult<PyObject*> {
        Ref slots[3];
        if (auto r = py::collect_tuple_dict(kNewSpec, args, kwargs, slots); !r) return std::move(r).error();
        auto isLocal = py::extract_flag(slots[0].get());
        if (!isLocal) return py::wrap_argument_error(std::move(isLocal).error(), "isLocal");
        auto name = py::extract_text(slots[1].get());
        if (!name) return py::wrap_argument_error(std::move(name).error(), "name");
        auto url_logo = py::extract_text(slots[2].get());
        if (!url_logo) return py::wrap_argument_error(std::move(url_logo).error(), "url_logo");
        return create_object_of_subtype(
            eapiconfigrust_new(isLocal.value(), std::move(name).value(), std::move(url_logo).value()), subtype);
    });
}

// ======== properties ========

// Getters and the no-argument methods: the body reads the record under a shared borrow.
template <class Body>
PyObject* trampoline_noargs(PyObject* self, Body&& body) {
    return py::guard_object([&]() -> PyResult<PyObject*> {
        auto borrow = SharedBorrow::take(self);
        if (!borrow) return std::move(borrow).error();
        return body(borrow.value().record());
    });
}

PyObject* get_id(PyObject* o, void*) {
    return trampoline_noargs(o, [](const EApiConfigRustRecord& r) { return new_str(r.id); });
}
PyObject* get_name(PyObject* o, void*) {
    return trampoline_noargs(o, [](const EApiConfigRustRecord& r) { return new_str(r.name); });
}
PyObject* get_url_logo(PyObject* o, void*) {
    return trampoline_noargs(o, [](const EApiConfigRustRecord& r) { return new_str(r.url_logo); });
}
PyResult<PyObject*> new_int(int64_t v) {
    PyObject* i = PyLong_FromLongLong(v);
    if (!i) py::api_call_failed();
    return i;
}
PyObject* get_time(PyObject* o, void*) {
    return trampoline_noargs(o, [](const EApiConfigRustRecord& r) { return new_int(r.time); });
}
PyObject* get_version(PyObject* o, void*) {
    return trampoline_noargs(o, [](const EApiConfigRustRecord& r) { return new_int(r.version); });
}
PyObject* get_isLocal(PyObject* o, void*) {
    return trampoline_noargs(o, [](const EApiConfigRustRecord& r) -> PyResult<PyObject*> { return Py_NewRef(r.isLocal ? Py_True : Py_False); });
}

template <class Convert, class Store>
int setter(PyObject* object, PyObject* value, Convert&& convert, Store&& store) {
    return py::guard_setter([&]() -> PyResult<int> {
        if (!value) return PyErr(PyExc_AttributeError, "can't delete attribute");
        auto converted = convert(value);
        if (!converted) return std::move(converted).error();
        return store_exclusive(object, [&](EApiConfigRustRecord& r) { store(r, std::move(converted).value()); });
    });
}

int set_isLocal(PyObject* o, PyObject* v, void*) {
    return setter(o, v, py::extract_flag, [](EApiConfigRustRecord& r, bool b) { r.isLocal = b; });
}
int set_name(PyObject* o, PyObject* v, void*) {
    return setter(o, v, py::extract_text, [](EApiConfigRustRecord& r, std::string s) { r.name = std::move(s); });
}
int set_url_logo(PyObject* o, PyObject* v, void*) {
    return setter(o, v, py::extract_text, [](EApiConfigRustRecord& r, std::string s) { r.url_logo = std::move(s); });
}

// ======== methods ========

PyObject* to_bytes_entry(PyObject* self, PyObject*) {
    return trampoline_noargs(self, [](const EApiConfigRustRecord& record) -> PyResult<PyObject*> {
        auto bytes = serialize(record);
        if (!bytes) return codec_error_to_python(bytes.error());
        const std::vector<uint8_t>& v = bytes.value();
        PyObject* list = PyList_New(static_cast<Py_ssize_t>(v.size()));
        if (!list) py::api_call_failed();
        for (size_t i = 0; i < v.size(); ++i) {
            PyList_SET_ITEM(list, static_cast<Py_ssize_t>(i), Py_NewRef(byte_ints[v[i]]));
        }
        return list;
    });
}

constexpr const char* kFromBytesParams[] = {"data_bytes"};
constexpr py::ArgSpec kFromBytesSpec{"from_bytes", "EApiConfigRust", kFromBytesParams, 1, 1};

PyObject* from_bytes(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return py::guard_object([&]() -> PyResult<PyObject*> {
        Ref held;
        if (auto r = py::collect_fastcall(kFromBytesSpec, args, nargs, kwnames, &held); !r) return std::move(r).error();
        auto borrow = SharedBorrow::take(self);
        if (!borrow) return std::move(borrow).error();
        PyObject* data = held.get();
        if (!PyBytes_Check(data)) {
            return py::wrap_argument_error(py::downcast_error(data, "PyBytes"), "data_bytes");
        }
        // Read in place: the bytes object cannot change while the interpreter lock is held.
        ByteCursor cursor(reinterpret_cast<const uint8_t*>(PyBytes_AS_STRING(data)),
                          static_cast<uint64_t>(PyBytes_GET_SIZE(data)));
        auto record = deserialize(cursor);
        if (!record) return codec_error_to_python(record.error());
        return create_object(std::move(record).value());
    });
}

PyObject* to_string_entry(PyObject* self, PyObject*) {
    return trampoline_noargs(self, [](const EApiConfigRustRecord& record) {
        char buffer[512];  // most records fit: no allocation but the str itself
        size_t size = eapiconfigrust_format(record, buffer, sizeof buffer);
        if (size > sizeof buffer) return new_str(eapiconfigrust_to_string(record));
        return new_str({buffer, size});
    });
}

PyObject* do_set_remote_entry(PyObject* self, PyObject*) {
    return trampoline_noargs(self, [](const EApiConfigRustRecord& record) -> PyResult<PyObject*> {
        auto body = serialize(record);
        if (!body) return PyErr(PyExc_Exception, "Failed to serialize EApiConfigRust");
        auto reply = do_set_server(std::move(body).value());
        if (!reply) return PyErr(PyExc_Exception, "Failed to do_set_remote");
        const std::string& text = reply.value();
        PyObject* out = PyBytes_FromStringAndSize(text.data(), static_cast<Py_ssize_t>(text.size()));
        if (!out) py::api_call_failed();
        return out;
    });
}

// ======== type ========

PyMethodDef kMethods[] = {
    {"to_bytes", to_bytes_entry, METH_NOARGS, "to_bytes($self)\n--\n\n"},
    {"from_bytes", reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(from_bytes)), METH_FASTCALL | METH_KEYWORDS,
     "from_bytes($self, data_bytes)\n--\n\n"},
    {"to_string", to_string_entry, METH_NOARGS, "to_string($self)\n--\n\n"},
    {"do_set_remote", do_set_remote_entry, METH_NOARGS, "do_set_remote($self)\n--\n\n"},
    {nullptr, nullptr, 0, nullptr},
};

char kEmptyDoc[] = "";
PyGetSetDef kProperties[] = {
    {"id", get_id, nullptr, kEmptyDoc, nullptr},
    {"time", get_time, nullptr, kEmptyDoc, nullptr},
    {"version", get_version, nullptr, kEmptyDoc, nullptr},
    {"isLocal", get_isLocal, set_isLocal, kEmptyDoc, nullptr},
    {"name", get_name, set_name, kEmptyDoc, nullptr},
    {"url_logo", get_url_logo, set_url_logo, kEmptyDoc, nullptr},
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

char kClassDoc[] = "EApiConfigRust(isLocal, name, url_logo)\n--\n\n";

PyResult<PyTypeObject*> eapiconfigrust_create_type() {
    for (long i = 0; i < 256; ++i) {
        if (!byte_ints[i] && !(byte_ints[i] = PyLong_FromLong(i))) return PyErr::fetch();
    }
    // No BASETYPE: the record layout is fixed, so the class cannot be subclassed.
    // No HAVE_GC: an instance holds no Python references, so it cannot be part of a cycle.
    PyType_Slot slots[] = {
        {Py_tp_doc, kClassDoc},
        {Py_tp_new, reinterpret_cast<void*>(eapiconfigrust_tp_new)},
        {Py_tp_methods, kMethods},
        {Py_tp_getset, kProperties},
        {Py_tp_base, &PyBaseObject_Type},
        {Py_tp_dealloc, reinterpret_cast<void*>(eapiconfigrust_tp_dealloc)},
        {0, nullptr},
    };
    PyType_Spec spec{"builtins.EApiConfigRust", static_cast<int>(sizeof(EApiConfigRustObject)), 0,
                     Py_TPFLAGS_DEFAULT, slots};
    PyObject* type = PyType_FromSpec(&spec);
    if (!type) return PyErr::fetch();
    return reinterpret_cast<PyTypeObject*>(type);
}

PyErr initialization_error(PyErr cause) {
    Ref cause_value = cause.normalized_value();
    PyErr error(PyExc_RuntimeError, "An error occurred while initializing class EApiConfigRust");
    error.set_cause(std::move(cause_value));
    return error;
}

}  // namespace

PyResult<PyTypeObject*> eapiconfigrust_type_object_checked() {
    if (cached_type) return cached_type;
    auto made = eapiconfigrust_create_type();
    if (!made) return initialization_error(std::move(made).error());
    cached_type = made.value();
    return cached_type;
}

PyTypeObject* eapiconfigrust_type_object() {
    if (cached_type) return cached_type;
    auto type = eapiconfigrust_type_object_checked();
    if (!type) {
        std::move(type).error().restore();
        PyErr_PrintEx(0);
        panic("failed to create type object for EApiConfigRust");
    }
    return type.value();
}

}  // namespace qiv
