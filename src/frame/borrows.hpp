// Array borrows: while a call reads an array no call may write memory it overlaps,
// and while a call writes an array no other call may read or write memory it
// overlaps. Two lists enforce it, both used with the interpreter lock held:
// - the process-wide registry shared with other extension modules, keyed by the
//   object that owns the memory, which compares only arrays on one owner;
// - this module's own list of the arrays its calls hold, compared by address
//   range whatever object reaches the memory (a memoryview, as_strided, frombuffer,
//   another array's view), in one call or across threads.
#pragma once

#include <cstdint>

#include "frame/python.hpp"
#include "frame/ref.hpp"

namespace mosswick::frame::numpy {

enum class Access { read, write };

// The half-open address range an array's elements occupy, its data pointer and the
// greatest common divisor of its byte strides.
struct Key {
    std::uintptr_t start;
    std::uintptr_t end;
    std::uintptr_t data;
    std::intptr_t divisor;

    bool operator==(const Key&) const = default;
    // Whether the two may share an element: the ranges overlap and the data pointers
    // lie on one lattice of the strides.
    bool conflicts(const Key& other) const;
};

// One array borrowed by a call, registered in both lists while taken.
class Borrow {
public:
    Borrow() = default;
    Borrow(const Borrow&) = delete;
    Borrow& operator=(const Borrow&) = delete;
    ~Borrow() { give_back(); }

    // Registers `array` with `access`; throws InternalFailure "AlreadyBorrowed" or
    // "NotWriteable", leaving nothing registered.
    void take(PyObject* array, Access access);
    // Removes the registrations, if taken.
    void give_back();

private:
    Ref array_;  // set while taken
    Access access_ = Access::read;
    Key key_{};
    Borrow* previous_ = nullptr;
    Borrow* next_ = nullptr;
};

}  // namespace mosswick::frame::numpy
