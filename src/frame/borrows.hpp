// The process-wide borrow registry for NumPy arrays: while a routine reads an
// array no routine may write memory it overlaps, and while a routine writes an
// array no other routine may read or write it. Used with the interpreter lock held.
#pragma once

#include "frame/python.hpp"

namespace mosswick::frame::numpy {

enum class Access { read, write };

// Registers `array`; throws InternalFailure "AlreadyBorrowed" or "NotWriteable".
void acquire(PyObject* array, Access access);
void release(PyObject* array, Access access);

}  // namespace mosswick::frame::numpy
