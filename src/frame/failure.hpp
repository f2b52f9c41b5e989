// Turning C++ failures into Python exceptions, in exactly one place.
#pragma once

#include <string>

#include "frame/python.hpp"

namespace mosswick::frame {

// Thrown after a Python exception has been set, to unwind to the boundary.
struct PythonErrorSet {};

// The BaseException subclass raised for internal failures (created on first use).
PyObject* internal_failure_type();

// Sets the internal-failure exception with `text` as its only argument.
void raise_internal_failure(const char* text);

// Sets the Python exception that matches the C++ exception being handled.
// Must be called from a catch block, with the interpreter lock held.
void raise_current_exception() noexcept;

// Sets an exception of `type` with `text` and returns false, for converters.
bool fail(PyObject* type, const std::string& text);

// Clears the pending Python exception and returns its str() (empty when there is none
// or it has no readable text).
std::string take_error_text();

// Runs f (returning PyObject*) and turns any escaping C++ exception into a
// Python one, so nothing unwinds into the interpreter.
template <class F>
auto guarded(F&& f, decltype(f()) failure_value) noexcept -> decltype(f()) {
    try {
        return f();
    } catch (...) {
        raise_current_exception();
        return failure_value;
    }
}

}  // namespace mosswick::frame
