// The owner of one strong reference to a Python object, released when the owner
// ends: every reference the frame holds beyond a statement is held by a Ref.
#pragma once

#include <utility>

#include "frame/python.hpp"

namespace mosswick::frame {

class Ref {
public:
    Ref() = default;
    // Takes over a new reference (or null, as a failed CPython call returns).
    explicit Ref(PyObject* owned) : object_(owned) {}
    // A reference of its own to a borrowed object.
    static Ref borrow(PyObject* object) { return Ref(Py_XNewRef(object)); }

    Ref(Ref&& other) noexcept : object_(std::exchange(other.object_, nullptr)) {}
    Ref& operator=(Ref&& other) noexcept {
        Ref(std::move(other)).swap(*this);
        return *this;
    }
    Ref(const Ref&) = delete;
    Ref& operator=(const Ref&) = delete;
    ~Ref() { Py_XDECREF(object_); }

    PyObject* get() const { return object_; }
    explicit operator bool() const { return object_ != nullptr; }
    // Hands the reference over (to a call that steals it, or to the caller).
    PyObject* release() { return std::exchange(object_, nullptr); }
    void swap(Ref& other) noexcept { std::swap(object_, other.object_); }

private:
    PyObject* object_ = nullptr;
};

}  // namespace mosswick::frame
