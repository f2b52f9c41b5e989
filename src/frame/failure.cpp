#include "frame/failure.hpp"

#include <new>
#include <stdexcept>

#include "core/errors.hpp"
#include "core/interrupt.hpp"
#include "frame/ref.hpp"

namespace mosswick::frame {

PyObject* internal_failure_type() {
    static PyObject* type = nullptr;  // guarded by the interpreter lock
    if (type == nullptr) {
        type = PyErr_NewExceptionWithDoc(
            "mosswick.InternalFailure",
            "Raised when native code called from Python fails an internal check.\n\n"
            "Like SystemExit, it derives from BaseException rather than Exception, so that\n"
            "it normally propagates all the way through the stack and ends the interpreter.",
            PyExc_BaseException, nullptr);
    }
    return type;
}

void raise_internal_failure(const char* text) {
    PyObject* type = internal_failure_type();
    if (type == nullptr) {
        return;  // the creation error is set
    }
    PyErr_SetString(type, text);
}

bool fail(PyObject* type, const std::string& text) {
    PyErr_SetString(type, text.c_str());
    return false;
}

std::string take_error_text() {
    const Ref error(PyErr_GetRaisedException());
    const Ref text(error ? PyObject_Str(error.get()) : nullptr);
    const char* utf8 = text ? PyUnicode_AsUTF8AndSize(text.get(), nullptr) : nullptr;
    std::string out = utf8 != nullptr ? utf8 : "";
    PyErr_Clear();
    return out;
}

void raise_current_exception() noexcept {
    try {
        throw;
    } catch (const PythonErrorSet&) {
        // already set
    } catch (const interrupt::Stopped&) {
        // the exception of the signal handler that stopped the call is set
    } catch (const ValueError& e) {
        PyErr_SetString(PyExc_ValueError, e.what());
    } catch (const IndexError& e) {
        PyErr_SetString(PyExc_IndexError, e.what());
    } catch (const OverflowError& e) {
        PyErr_SetString(PyExc_OverflowError, e.what());
    } catch (const InternalFailure& e) {
        raise_internal_failure(e.what());
    } catch (const std::bad_alloc&) {
        PyErr_NoMemory();
    } catch (const std::length_error&) {
        PyErr_NoMemory();  // a size beyond what can ever be allocated
    } catch (const std::exception& e) {
        raise_internal_failure(e.what());
    } catch (...) {
        raise_internal_failure("unknown C++ exception");
    }
}

}  // namespace mosswick::frame
