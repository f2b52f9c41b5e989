// The process-wide borrow registry for NumPy arrays: while a routine reads an
// array no routine may write memory it overlaps, and while a routine writes an
// array no other routine may read or write it. Used with the interpreter lock held.
#pragma once

#include <span>

#include "frame/python.hpp"

namespace mosswick::frame::numpy {

enum class Access { read, write };

// Registers `array`; throws InternalFailure "AlreadyBorrowed" or "NotWriteable".
void acquire(PyObject* array, Access access);
void release(PyObject* array, Access access);

// An array argument of a call, registered with its access.
struct Taken {
    PyObject* array;
    Access access;
};

// Throws InternalFailure "AlreadyBorrowed" when an array that one call writes overlaps
// another array of the same call. The registry compares only arrays on one base, and
// arrays over one memory reach it on different bases (a memoryview, as_strided, two
// frombuffer calls); within a call every pair is compared, whatever its base.
// At most kMostArrays arrays.
inline constexpr std::size_t kMostArrays = 8;
void refuse_overlaps(std::span<const Taken> arrays);

}  // namespace mosswick::frame::numpy
