#include "frame/numpy_api.hpp"

#include <optional>
#include <string>

#include "core/errors.hpp"
#include "frame/failure.hpp"
#include "frame/ref.hpp"

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

// Takes over `object`; on nullptr turns the pending Python error into an internal failure.
Ref need(PyObject* object) {
    if (object != nullptr) {
        return Ref(object);
    }
    const std::string text = take_error_text();
    throw InternalFailure("Failed to access NumPy array API capsule" + (text.empty() ? "" : ": " + text));
}

// Without NumPy installed, the failure goes on to name the remedy.
Ref import_numpy() {
    PyObject* numpy = PyImport_ImportModule("numpy");
    if (numpy == nullptr && PyErr_ExceptionMatches(PyExc_ModuleNotFoundError) != 0) {
        throw InternalFailure("Failed to access NumPy array API capsule: " + take_error_text() +
                              "; install it with: pip install 'mosswick[numpy]'");
    }
    return need(numpy);
}

unsigned major_version() {
    const Ref numpy = import_numpy();
    const Ref version = need(PyObject_GetAttrString(numpy.get(), "__version__"));
    const Ref lib = need(PyImport_ImportModule("numpy.lib"));
    const Ref parser = need(PyObject_GetAttrString(lib.get(), "NumpyVersion"));
    const Ref parsed = need(PyObject_CallFunctionObjArgs(parser.get(), version.get(), nullptr));
    const Ref major = need(PyObject_GetAttrString(parsed.get(), "major"));
    const long value = PyLong_AsLong(major.get());
    if (value < 0 || value > 255) {
        need(nullptr);
    }
    return static_cast<unsigned>(value);
}

Api locate() {
    const char* core = major_version() < 2 ? "numpy.core.multiarray" : "numpy._core.multiarray";
    Ref multiarray = need(PyImport_ImportModule(core));
    const Ref capsule = need(PyObject_GetAttrString(multiarray.get(), "_ARRAY_API"));
    if (!PyCapsule_CheckExact(capsule.get())) {
        throw InternalFailure("Failed to access NumPy array API capsule: _ARRAY_API is not a capsule");
    }
    void* pointer = PyCapsule_GetPointer(capsule.get(), PyCapsule_GetName(capsule.get()));
    if (pointer == nullptr) {
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
    api.multiarray = multiarray.release();  // kept for the life of the process
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
