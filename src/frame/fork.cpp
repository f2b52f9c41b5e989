#include "frame/fork.hpp"

#include "frame/failure.hpp"
#include "frame/gil.hpp"
#include "frame/holds.hpp"
#include "frame/python.hpp"
#include "frame/ref.hpp"
#include "frame/release.hpp"

namespace mosswick::frame {

namespace {

// Called in the child by the thread that forked, with the interpreter lock.
PyObject* after_fork_in_child(PyObject*, PyObject*) noexcept {
    return guarded(
        [] {
            forget_main_thread();
            give_back_borrows_of_other_threads();
            resume_releases_after_fork();
            return Py_NewRef(Py_None);
        },
        nullptr);
}

PyMethodDef after_fork_definition = {"after_fork_in_child", after_fork_in_child, METH_NOARGS, nullptr};

}  // namespace

bool handle_forks() {
    const Ref os(PyImport_ImportModule("os"));
    const Ref register_at_fork(os ? PyObject_GetAttrString(os.get(), "register_at_fork") : nullptr);
    if (!register_at_fork) {
        return false;
    }
    const Ref handler(PyCFunction_New(&after_fork_definition, nullptr));
    const Ref keywords(handler ? Py_BuildValue("{s:O}", "after_in_child", handler.get()) : nullptr);
    const Ref no_arguments(keywords ? PyTuple_New(0) : nullptr);
    if (!no_arguments) {
        return false;
    }
    return static_cast<bool>(Ref(PyObject_Call(register_at_fork.get(), no_arguments.get(), keywords.get())));
}

}  // namespace mosswick::frame
