#include "frame/function.hpp"

#include "frame/ref.hpp"

namespace mosswick::frame {

void name_argument_error(std::string_view name) {
    Ref error(PyErr_GetRaisedException());
    if (!error || Py_TYPE(error.get()) != reinterpret_cast<PyTypeObject*>(PyExc_TypeError)) {
        PyErr_SetRaisedException(error.release());
        return;
    }
    const Ref text(PyObject_Str(error.get()));
    const char* utf8 = text ? PyUnicode_AsUTF8AndSize(text.get(), nullptr) : nullptr;
    if (utf8 == nullptr) {
        return;  // the failure to read the text is set instead
    }
    const std::string message = "argument '" + std::string(name) + "': " + utf8;
    Ref renamed(PyObject_CallFunction(PyExc_TypeError, "s", message.c_str()));
    if (!renamed) {
        return;
    }
    if (PyObject* cause = PyException_GetCause(error.get())) {
        PyException_SetCause(renamed.get(), cause);
    }
    PyErr_SetRaisedException(renamed.release());
}

}  // namespace mosswick::frame
