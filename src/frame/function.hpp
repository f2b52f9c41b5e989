// One generated entry per table row: bind the arguments of the text signature,
// convert each with the kind its C++ parameter type names, run the routine
// (with the interpreter lock released where the table says so), build the
// result, and release every borrow on every path.
#pragma once

#include <array>
#include <cstddef>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <tuple>
#include <type_traits>
#include <utility>

#include "frame/arg.hpp"
#include "frame/bind.hpp"
#include "frame/failure.hpp"
#include "frame/gil.hpp"
#include "frame/items.hpp"
#include "frame/ndarray.hpp"
#include "frame/python.hpp"
#include "frame/result.hpp"
#include "frame/signature.hpp"

namespace mosswick::frame {

// Replaces a conversion TypeError by "argument '{name}': {text}", keeping its cause.
void name_argument_error(std::string_view name);

// ---- routine signatures ----

template <class... A>
struct Types {};

template <class F>
struct Callable;
template <class R, class... A>
struct Callable<R (*)(A...)> {
    using result = R;
    using args = Types<A...>;
};
template <class R, class... A>
struct Callable<R (*)(A...) noexcept> : Callable<R (*)(A...)> {};
template <class R, class C, class... A>
struct Callable<R (C::*)(A...)> {
    using result = R;
    using args = Types<C&, A...>;
};
template <class R, class C, class... A>
struct Callable<R (C::*)(A...) noexcept> : Callable<R (C::*)(A...)> {};
template <class R, class C, class... A>
struct Callable<R (C::*)(A...) const> {
    using result = R;
    using args = Types<const C&, A...>;
};
template <class R, class C, class... A>
struct Callable<R (C::*)(A...) const noexcept> : Callable<R (C::*)(A...) const> {};

// Holders of arguments that the routine changes: written arrays and exclusive borrows.
template <class H>
inline constexpr bool kChangesInPlace = kWritesArray<H>;
template <class T>
inline constexpr bool kChangesInPlace<ExclusiveArg<T>> = true;

// The holders of one call, extracted first to last and destroyed last to first
// (members go in reverse order of declaration), so borrows are released last-taken first.
template <class... H>
struct Holders {};

template <class H, class... Rest>
struct Holders<H, Rest...> {
    H head;
    Holders<Rest...> tail;

    template <std::size_t I>
    auto& at() {
        if constexpr (I == 0) {
            return head;
        } else {
            return tail.template at<I - 1>();
        }
    }
};

template <class Sig>
Parameters parameters(const char* owner, std::string_view function = Sig::name) {
    return Parameters{function, owner, std::span<const std::string_view>(Sig::names), Sig::required};
}

// Converts the bound arguments (self first for methods), runs F and builds its result.
template <class Sig, auto F, Gil G, bool HasSelf>
struct Invoke {
    using C = Callable<decltype(F)>;
    using R = typename C::result;

    static PyObject* run(PyObject* self, PyObject* const* slots) { return run(self, slots, typename C::args{}); }

    template <class... A>
    static PyObject* run(PyObject* self, PyObject* const* slots, Types<A...>) {
        static_assert(sizeof...(A) == Sig::arity + (HasSelf ? 1 : 0), "signature and routine disagree");
        Holders<typename ArgFor<A>::type...> args;
        if (!load_all(args, self, slots, std::index_sequence_for<A...>{})) {
            return nullptr;
        }
        return call(args, std::index_sequence_for<A...>{});
    }

    template <class H, std::size_t... I>
    static bool load_all(H& args, [[maybe_unused]] PyObject* self, [[maybe_unused]] PyObject* const* slots,
                         std::index_sequence<I...>) {
        return (load<I>(args.template at<I>(), self, slots) && ...);
    }

    template <std::size_t I, class A>
    static bool load(A& arg, PyObject* self, PyObject* const* slots) {
        if constexpr (HasSelf && I == 0) {
            return arg.load(self);
        } else {
            constexpr std::size_t p = I - (HasSelf ? 1 : 0);
            if constexpr (p >= Sig::required) {
                if (slots[p] == nullptr) {
                    static constexpr auto value = default_value<decltype(arg.value)>(Sig::defaults[p]);
                    arg.value = value;
                    return true;
                }
            }
            if (!arg.load(slots[p])) {
                name_argument_error(Sig::names[p]);
                return false;
            }
            return true;
        }
    }

    // A routine that changes an argument in place runs to its end: stopped part-way (see
    // gil.hpp), it would leave the argument half updated.
    template <class... H, std::size_t... I>
    static PyObject* call(Holders<H...>& args, std::index_sequence<I...>) {
        constexpr bool may_stop = !(kChangesInPlace<H> || ...);
        if constexpr (std::is_void_v<R>) {
            run_with<G, may_stop>([&] { std::invoke(F, args.template at<I>().get()...); });
            return Py_NewRef(Py_None);
        } else {
            return Result<R>::build(
                run_with<G, may_stop>([&] { return std::invoke(F, args.template at<I>().get()...); }));
        }
    }
};

template <class Sig>
const char* docstring(const char* body) {
    static const std::string doc = std::string(Sig::text) + "\n--\n\n" + body;
    return doc.c_str();
}

// ---- table entries ----

// The class named in binding messages: none for module-level functions.
template <class Owner>
const char* owner_name() {
    if constexpr (std::is_void_v<Owner>) {
        return nullptr;
    } else {
        return PyClass<Owner>::name;
    }
}

// The vectorcall-with-keywords entry shared by functions, methods and class methods.
template <class Sig, auto F, Gil G, bool HasSelf, class Owner>
PyObject* vector_entry(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) noexcept {
    return guarded(
        [&]() -> PyObject* {
            PyObject* slots[Sig::arity + 1];
            if (!bind_vector(parameters<Sig>(owner_name<Owner>()), args, nargs, kwnames, slots)) {
                return nullptr;
            }
            return Invoke<Sig, F, G, HasSelf>::run(HasSelf ? self : nullptr, slots);
        },
        nullptr);
}

template <class Sig, auto F, Gil G, bool HasSelf, class Owner>
PyMethodDef vector_def(int flags, const char* body) {
    return {Sig::c_name.data(),
            reinterpret_cast<PyCFunction>(
                reinterpret_cast<void (*)()>(&vector_entry<Sig, F, G, HasSelf, Owner>)),
            flags | METH_FASTCALL | METH_KEYWORDS, docstring<Sig>(body)};
}

// A module-level function.
template <Literal S, auto F, Gil G = Gil::hold>
PyMethodDef function(const char* body = "") {
    return vector_def<Signature<S>, F, G, false, void>(0, body);
}

// The class of a method's receiver: the first parameter of its routine.
template <class Args>
struct Receiver;
template <class A, class... Rest>
struct Receiver<Types<A, Rest...>> {
    using type = std::remove_cvref_t<A>;
};
template <auto F>
using ReceiverOf = typename Receiver<typename Callable<decltype(F)>::args>::type;

// A method; its routine takes the receiver first (const T& reads, T& changes it).
// Methods without parameters take no arguments at all.
template <Literal S, auto F, Gil G = Gil::hold>
PyMethodDef method() {
    using Sig = Signature<S>;
    if constexpr (Sig::arity == 0) {
        PyObject* (*entry)(PyObject*, PyObject*) = [](PyObject* self, PyObject*) noexcept -> PyObject* {
            return guarded([&] { return Invoke<Sig, F, G, true>::run(self, nullptr); }, nullptr);
        };
        return {Sig::c_name.data(), entry, METH_NOARGS, docstring<Sig>("")};
    } else {
        return vector_def<Sig, F, G, true, ReceiverOf<F>>(0, "");
    }
}

// A class method of T's class; its routine does not see the class.
template <class T, Literal S, auto F, Gil G = Gil::hold>
PyMethodDef class_method() {
    return vector_def<Signature<S>, F, G, false, T>(METH_CLASS, "");
}

// The constructor slot: S is the class's parameter list, such as "(array)"; F returns the new value.
template <Literal S, auto F>
newfunc constructor() {
    using Sig = Signature<S>;
    using T = typename Callable<decltype(F)>::result;
    return [](PyTypeObject*, PyObject* args, PyObject* kwargs) noexcept -> PyObject* {
        return guarded(
            [&]() -> PyObject* {
                PyObject* slots[Sig::arity + 1];
                if (!bind_tuple(parameters<Sig>(PyClass<T>::name, "__new__"), args, kwargs, slots)) {
                    return nullptr;
                }
                return Invoke<Sig, F, Gil::hold, false>::run(nullptr, slots);
            },
            nullptr);
    };
}

// Parameters of attribute getters and length: none besides the receiver.
struct NoParameters {
    static constexpr std::size_t arity = 0;
    static constexpr std::size_t required = 0;
    static constexpr std::array<std::string_view, 0> names{};
};

// A read-only attribute, computed from a shared borrow of the receiver.
template <Literal Name, auto F>
PyGetSetDef attribute() {
    getter get = [](PyObject* self, void*) noexcept -> PyObject* {
        return guarded([&] { return Invoke<NoParameters, F, Gil::hold, true>::run(self, nullptr); }, nullptr);
    };
    return {Name.text, get, nullptr, nullptr, nullptr};
}

// len() support.
template <auto F>
lenfunc length() {
    using T = ReceiverOf<F>;
    return [](PyObject* self) noexcept -> Py_ssize_t {
        return guarded(
            [&]() -> Py_ssize_t {
                SharedArg<T> receiver;
                if (!receiver.load(self)) {
                    return -1;
                }
                return static_cast<Py_ssize_t>(std::invoke(F, receiver.get()));
            },
            Py_ssize_t{-1});
    };
}

}  // namespace mosswick::frame
