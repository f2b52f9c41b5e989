// Binding positional and keyword arguments to the parameters of a text signature.
#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <string_view>

#include "frame/python.hpp"

namespace mosswick::frame {

struct Parameters {
    std::string_view function;  // name before the parenthesis
    const char* owner;          // class name for methods and constructors, else nullptr
    std::span<const std::string_view> names;
    std::size_t required;  // the first `required` names have no default
};

// "gcd()" or "Tensor.add()", as used in binding messages.
std::string full_name(const Parameters& params);

// Fill slots[i] with a borrowed reference to the argument bound to parameter i,
// or nullptr when it was not given. On failure a TypeError is set and false returned.
bool bind_vector(const Parameters& params, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames,
                 PyObject** slots);
bool bind_tuple(const Parameters& params, PyObject* args, PyObject* kwargs, PyObject** slots);

}  // namespace mosswick::frame
