// Instances of the module's classes: a native value behind a Python object,
// borrowed shared by reading methods and exclusively by in-place ones.
#pragma once

#include <atomic>
#include <cstdint>
#include <new>
#include <utility>

#include "frame/python.hpp"

namespace mosswick::frame {

// 0: free; all ones: exclusively borrowed; otherwise the number of shared borrows.
class BorrowFlag {
public:
    bool try_shared() {
        std::uintptr_t seen = state_.load(std::memory_order_relaxed);
        do {
            if (seen == kExclusive) {
                return false;
            }
        } while (!state_.compare_exchange_weak(seen, seen + 1, std::memory_order_acquire));
        return true;
    }
    void release_shared() { state_.fetch_sub(1, std::memory_order_release); }

    bool try_exclusive() {
        std::uintptr_t expected = 0;
        return state_.compare_exchange_strong(expected, kExclusive, std::memory_order_acquire);
    }
    void release_exclusive() { state_.store(0, std::memory_order_release); }

private:
    static constexpr std::uintptr_t kExclusive = ~std::uintptr_t{0};
    std::atomic<std::uintptr_t> state_{0};
};

template <class T>
struct Instance {
    PyObject_HEAD
    BorrowFlag borrow;
    T value;
};

// Specialised for every native type the module exposes as a class:
//   static constexpr const char* name;  static PyTypeObject* type();
template <class T>
struct PyClass;

template <class T>
concept Exposed = requires {
    { PyClass<T>::name } -> std::convertible_to<const char*>;
};

template <class T>
Instance<T>* instance_of(PyObject* object) {
    return reinterpret_cast<Instance<T>*>(object);
}

// A new Python object of T's class holding `value`.
template <Exposed T>
PyObject* new_instance(T&& value) {
    PyTypeObject* type = PyClass<T>::type();
    if (type == nullptr) {
        return nullptr;
    }
    auto alloc = reinterpret_cast<allocfunc>(PyType_GetSlot(type, Py_tp_alloc));
    PyObject* object = alloc(type, 0);
    if (object == nullptr) {
        return nullptr;
    }
    Instance<T>* self = instance_of<T>(object);
    new (&self->borrow) BorrowFlag();
    new (&self->value) T(std::move(value));
    return object;
}

template <Exposed T>
void destroy_instance(PyObject* object) {
    PyTypeObject* type = Py_TYPE(object);
    Instance<T>* self = instance_of<T>(object);
    self->value.~T();
    self->borrow.~BorrowFlag();
    auto release = reinterpret_cast<freefunc>(PyType_GetSlot(type, Py_tp_free));
    release(object);
    Py_DECREF(type);
}

// Creates a heap type named after the class: not subclassable, no __dict__, no weak references.
template <Exposed T>
PyTypeObject* create_class(PyType_Slot* slots) {
    PyType_Spec spec{PyClass<T>::name, static_cast<int>(sizeof(Instance<T>)), 0, Py_TPFLAGS_DEFAULT,
                     slots};
    return reinterpret_cast<PyTypeObject*>(PyType_FromSpec(&spec));
}

}  // namespace mosswick::frame
