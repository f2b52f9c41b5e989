#include "frame/numpy_api.hpp"

#include <optional>
#include <string>

#include "core/errors.hpp"

namespace mosswick::frame::numpy {

namespace {

// Descriptor layouts up to the item size.
struct DescrFieldsV1 {
    PyObject_HEAD
    PyTypeObject* typeobj;
    char kind, type, byteorder, flags;
    int type_num;
    int elsize;
};
struct DescrFieldsV2 {
    PyObject_HEAD
    PyTypeObject* typeobj;
    char kind, type, byteorder, former_flags;
    int type_num;
    std::uint64_t flags;
    Py_ssize_t elsize;
};

constexpr unsigned kNumpy2FeatureVersion = 18;

std::optional<Api> cached;  // guarded by the interpreter lock

// Steals `object`; on nullptr turns the pending Python error into an internal failure.
PyObject* need(PyObject* object) {
    if (object != nullptr) {
        return object;
    }
    std::string text = "Failed to access NumPy array API capsule";
    PyObject* error = PyErr_GetRaisedException();
    if (PyObject* s = error != nullptr ? PyObject_Str(error) : nullptr) {
        if (const char* utf8 = PyUnicode_AsUTF8AndSize(s, nullptr)) {
            text += ": ";
            text += utf8;
        }
        Py_DECREF(s);
    }
    PyErr_Clear();
    Py_XDECREF(error);
    throw InternalFailure(text);
}

class Owned {
public:
    explicit Owned(PyObject* object) : object_(need(object)) {}
    ~Owned() { Py_DECREF(object_); }
    Owned(const Owned&) = delete;
    Owned& operator=(const Owned&) = delete;
    PyObject* get() const { return object_; }

private:
    PyObject* object_;
};

unsigned major_version() {
    Owned numpy(PyImport_ImportModule("numpy"));
    Owned version(PyObject_GetAttrString(numpy.get(), "__version__"));
    Owned lib(PyImport_ImportModule("numpy.lib"));
    Owned parser(PyObject_GetAttrString(lib.get(), "NumpyVersion"));
    Owned parsed(PyObject_CallFunctionObjArgs(parser.get(), version.get(), nullptr));
    Owned major(PyObject_GetAttrString(parsed.get(), "major"));
    const long value = PyLong_AsLong(major.get());
    if (value < 0 || value > 255) {
        need(nullptr);
    }
    return static_cast<unsigned>(value);
}

Api locate() {
    const char* core = major_version() < 2 ? "numpy.core.multiarray" : "numpy._core.multiarray";
    PyObject* multiarray = need(PyImport_ImportModule(core));
    Owned capsule(PyObject_GetAttrString(multiarray, "_ARRAY_API"));
    if (!PyCapsule_CheckExact(capsule.get())) {
        Py_DECREF(multiarray);
        throw InternalFailure("Failed to access NumPy array API capsule: _ARRAY_API is not a capsule");
    }
    void* pointer = PyCapsule_GetPointer(capsule.get(), PyCapsule_GetName(capsule.get()));
    if (pointer == nullptr) {
        Py_DECREF(multiarray);
        need(nullptr);
    }
    void** table = static_cast<void**>(pointer);
    Api api{};
    api.array_type = static_cast<PyTypeObject*>(table[2]);
    api.descr_from_type = reinterpret_cast<decltype(api.descr_from_type)>(table[45]);
    api.new_from_descr = reinterpret_cast<decltype(api.new_from_descr)>(table[94]);
    api.equiv_types = reinterpret_cast<decltype(api.equiv_types)>(table[182]);
    api.set_base_object = reinterpret_cast<decltype(api.set_base_object)>(table[282]);
    api.feature_version = reinterpret_cast<unsigned (*)()>(table[211])();
    api.multiarray = multiarray;  // kept for the life of the process
    return api;
}

}  // namespace

const Api& api() {
    if (!cached) {
        cached = locate();
    }
    return *cached;
}

Py_ssize_t item_size(PyObject* array) {
    PyObject* descr = fields(array)->descr;
    if (api().feature_version < kNumpy2FeatureVersion) {
        return reinterpret_cast<DescrFieldsV1*>(descr)->elsize;
    }
    return reinterpret_cast<DescrFieldsV2*>(descr)->elsize;
}

}  // namespace mosswick::frame::numpy
