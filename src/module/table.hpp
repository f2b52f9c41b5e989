// The registration table: the module's functions and classes, in registration order.
#pragma once

#include <span>

#include "frame/python.hpp"

namespace mosswick::module {

std::span<PyMethodDef> functions();

using TypeFactory = PyTypeObject* (*)();
std::span<const TypeFactory> classes();

}  // namespace mosswick::module
