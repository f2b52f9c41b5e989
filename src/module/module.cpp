// Module initialisation: one module object per process, created on the first
// import in the first interpreter that imports it and handed out again after.
#include <atomic>
#include <cstdint>

#include "core/errors.hpp"
#include "frame/convert.hpp"
#include "frame/failure.hpp"
#include "frame/fork.hpp"
#include "frame/python.hpp"
#include "frame/ref.hpp"
#include "module/table.hpp"

namespace mosswick::module {

using frame::cannot_convert;
using frame::Ref;

namespace {

std::atomic<std::int64_t> recorded_interpreter{-1};
PyObject* cached_module = nullptr;  // guarded by the interpreter lock

PyModuleDef definition = {
    PyModuleDef_HEAD_INIT, "mosswick", "", 0, nullptr, nullptr, nullptr, nullptr, nullptr,
};

bool append_to_all(PyObject* module, PyObject* name) {
    Ref all(PyObject_GetAttrString(module, "__all__"));
    if (!all) {
        if (!PyErr_ExceptionMatches(PyExc_AttributeError)) {
            return false;
        }
        PyErr_Clear();
        Ref fresh(PyList_New(0));
        if (!fresh || PyObject_SetAttrString(module, "__all__", fresh.get()) < 0) {
            return false;
        }
        return append_to_all(module, name);
    }
    if (!PyList_Check(all.get())) {
        return cannot_convert(all.get(), "PyList");
    }
    if (PyList_Append(all.get(), name) < 0) {
        PyErr_Clear();
        throw InternalFailure("could not append __name__ to __all__");
    }
    return true;
}

bool add(PyObject* module, PyObject* name, PyObject* value) {
    return append_to_all(module, name) && PyObject_SetAttr(module, name, value) == 0;
}

bool add_functions(PyObject* module) {
    Ref module_name(PyModule_GetNameObject(module));
    if (!module_name) {
        return false;
    }
    for (PyMethodDef& def : functions()) {
        Ref function(PyCMethod_New(&def, module, module_name.get(), nullptr));
        if (!function) {
            return false;
        }
        Ref name(PyObject_GetAttrString(function.get(), "__name__"));
        if (!name) {
            return false;
        }
        if (!PyUnicode_Check(name.get())) {
            return cannot_convert(name.get(), "PyString");
        }
        if (!add(module, name.get(), function.get())) {
            return false;
        }
    }
    return true;
}

bool add_classes(PyObject* module) {
    for (const TypeFactory factory : classes()) {
        PyTypeObject* type = factory();
        if (type == nullptr) {
            return false;
        }
        Ref name(PyType_GetName(type));
        if (!name || !add(module, name.get(), reinterpret_cast<PyObject*>(type))) {
            return false;
        }
    }
    return true;
}

PyObject* initialise() {
    const std::int64_t id = PyInterpreterState_GetID(PyInterpreterState_Get());
    if (id == -1) {
        return nullptr;
    }
    std::int64_t expected = -1;
    if (!recorded_interpreter.compare_exchange_strong(expected, id) && expected != id) {
        PyErr_SetString(PyExc_ImportError,
                        "mosswick does not support sub-interpreters: it is already loaded in another "
                        "interpreter of this process");
        return nullptr;
    }
    if (cached_module != nullptr) {
        return Py_NewRef(cached_module);
    }
    Ref module(PyModule_Create2(&definition, 3));
    if (!module || !add_functions(module.get()) || !add_classes(module.get()) || !frame::handle_forks()) {
        return nullptr;
    }
    cached_module = Py_NewRef(module.get());
    return module.release();
}

}  // namespace

}  // namespace mosswick::module

PyMODINIT_FUNC PyInit_mosswick(void) {
    return mosswick::frame::guarded([] { return mosswick::module::initialise(); }, nullptr);
}
