#include "frame/function.hpp"

namespace mosswick::frame {

void name_argument_error(std::string_view name) {
    PyObject* error = PyErr_GetRaisedException();
    if (error == nullptr || Py_TYPE(error) != reinterpret_cast<PyTypeObject*>(PyExc_TypeError)) {
        PyErr_SetRaisedException(error);
        return;
    }
    PyObject* text = PyObject_Str(error);
    const char* utf8 = text != nullptr ? PyUnicode_AsUTF8AndSize(text, nullptr) : nullptr;
    if (utf8 == nullptr) {
        Py_XDECREF(text);
        Py_DECREF(error);
        return;  // the failure to read the text is set instead
    }
    const std::string message = "argument '" + std::string(name) + "': " + utf8;
    Py_DECREF(text);
    PyObject* renamed = PyObject_CallFunction(PyExc_TypeError, "s", message.c_str());
    if (renamed == nullptr) {
        Py_DECREF(error);
        return;
    }
    if (PyObject* cause = PyException_GetCause(error)) {
        PyException_SetCause(renamed, cause);
    }
    Py_DECREF(error);
    PyErr_SetRaisedException(renamed);
}

}  // namespace mosswick::frame
