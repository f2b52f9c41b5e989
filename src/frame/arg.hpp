// Argument holders: what a routine's parameter type receives and how it is
// released. Value kinds convert; instances of the module's classes are borrowed.
#pragma once

#include <type_traits>
#include <utility>

#include "frame/convert.hpp"
#include "frame/failure.hpp"
#include "frame/holds.hpp"
#include "frame/instance.hpp"
#include "frame/python.hpp"

namespace mosswick::frame {

// Value kinds: the converted value, handed to the routine by move.
template <class T>
struct Arg {
    T value{};
    bool load(PyObject* object) { return Convert<T>::from(object, value); }
    T&& get() { return std::move(value); }
};

// const T&: a shared borrow of an instance of T's class.
template <class T>
struct SharedArg : Hold {
    Instance<T>* self = nullptr;
    ~SharedArg() { end(); }
    bool load(PyObject* object) {
        if (!check_type(object)) {
            return false;
        }
        if (!instance_of<T>(object)->borrow.try_shared()) {
            return fail(PyExc_RuntimeError, "Already mutably borrowed");
        }
        self = instance_of<T>(object);
        enter([](Hold& hold) { static_cast<SharedArg&>(hold).self->borrow.release_shared(); });
        return true;
    }
    const T& get() { return self->value; }

    static bool check_type(PyObject* object) {
        PyTypeObject* type = PyClass<T>::type();
        if (type == nullptr) {
            return false;
        }
        return PyObject_TypeCheck(object, type) || cannot_convert(object, PyClass<T>::name);
    }
};

// T&: an exclusive borrow of an instance of T's class.
template <class T>
struct ExclusiveArg : Hold {
    Instance<T>* self = nullptr;
    ~ExclusiveArg() { end(); }
    bool load(PyObject* object) {
        if (!SharedArg<T>::check_type(object)) {
            return false;
        }
        if (!instance_of<T>(object)->borrow.try_exclusive()) {
            return fail(PyExc_RuntimeError, "Already borrowed");
        }
        self = instance_of<T>(object);
        enter([](Hold& hold) { static_cast<ExclusiveArg&>(hold).self->borrow.release_exclusive(); });
        return true;
    }
    T& get() { return self->value; }
};

// Parameter types with a holder of their own (array views) specialise this.
template <class P>
struct ArgFor {
    using type = Arg<std::remove_cvref_t<P>>;
};
template <Exposed T>
struct ArgFor<const T&> {
    using type = SharedArg<T>;
};
template <Exposed T>
struct ArgFor<T&> {
    using type = ExclusiveArg<T>;
};

}  // namespace mosswick::frame
