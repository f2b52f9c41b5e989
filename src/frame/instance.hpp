// Instances of the module's classes: a native value behind a Python object,
// borrowed shared by reading methods and exclusively by in-place ones.
#pragma once

#include <atomic>
#include <cstdint>
#include <new>
#include <string>
#include <utility>

#include "frame/python.hpp"
#include "frame/ref.hpp"
#include "frame/result.hpp"

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

// A routine that returns a T gives Python a new instance of T's class.
template <Exposed T>
struct Result<T> {
    static PyObject* build(T&& value) { return new_instance(std::move(value)); }
};

template <Exposed T>
void destroy_instance(PyObject* object) {
    PyTypeObject* type = Py_TYPE(object);
    Instance<T>* self = instance_of<T>(object);
    self->value.~T();
    self->borrow.~BorrowFlag();
    auto release = reinterpret_cast<freefunc>(PyType_GetSlot(type, Py_tp_free));
    const Ref type_reference(reinterpret_cast<PyObject*>(type));  // each instance holds one
    release(object);
}

// Creates the heap type of T's class: named after the class, not subclassable, no
// __dict__, no weak references. `methods` and `attributes` (null-terminated, may be
// null) must outlive the type; `length` enables len() and truth testing.
template <Exposed T>
PyTypeObject* create_class(const char* doc, newfunc construct, PyMethodDef* methods, PyGetSetDef* attributes,
                           lenfunc length = nullptr) {
    PyType_Slot slots[8];
    int n = 0;
    slots[n++] = {Py_tp_doc, const_cast<char*>(doc)};
    slots[n++] = {Py_tp_new, reinterpret_cast<void*>(construct)};
    slots[n++] = {Py_tp_dealloc, reinterpret_cast<void*>(&destroy_instance<T>)};
    if (methods != nullptr) {
        slots[n++] = {Py_tp_methods, methods};
    }
    if (attributes != nullptr) {
        slots[n++] = {Py_tp_getset, attributes};
    }
    if (length != nullptr) {
        slots[n++] = {Py_mp_length, reinterpret_cast<void*>(length)};
    }
    slots[n] = {0, nullptr};
    // "mosswick.Name": __name__ stays the bare class name and __module__ is the module
    // (a name without a module is deprecated by CPython and leaves __module__ unset).
    static const std::string qualified = std::string("mosswick.") + PyClass<T>::name;
    PyType_Spec spec{qualified.c_str(), static_cast<int>(sizeof(Instance<T>)), 0, Py_TPFLAGS_DEFAULT, slots};
    PyObject* type = PyType_FromSpec(&spec);
    return reinterpret_cast<PyTypeObject*>(type);
}

}  // namespace mosswick::frame
