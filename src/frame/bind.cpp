#include "frame/bind.hpp"

#include <vector>

#include "frame/failure.hpp"

namespace mosswick::frame {

std::string full_name(const Parameters& params) {
    std::string name;
    if (params.owner != nullptr) {
        name += params.owner;
        name += '.';
    }
    name += params.function;
    name += "()";
    return name;
}

namespace {

bool too_many_positional(const Parameters& params, std::size_t given) {
    const std::size_t n = params.names.size();
    std::string text = full_name(params) + " takes ";
    if (params.required == n) {
        text += std::to_string(n);
    } else {
        text += "from " + std::to_string(params.required) + " to " + std::to_string(n);
    }
    text += " positional arguments but " + std::to_string(given) + (given == 1 ? " was" : " were") + " given";
    return fail(PyExc_TypeError, text);
}

bool bind_positional(const Parameters& params, std::size_t count, PyObject* const* args, PyObject** slots) {
    if (count > params.names.size()) {
        return too_many_positional(params, count);
    }
    for (std::size_t i = 0; i < params.names.size(); ++i) {
        slots[i] = i < count ? args[i] : nullptr;
    }
    return true;
}

bool bind_keyword(const Parameters& params, PyObject* key, PyObject* value, PyObject** slots) {
    Py_ssize_t length = 0;
    const char* utf8 = PyUnicode_AsUTF8AndSize(key, &length);
    if (utf8 == nullptr) {
        return false;
    }
    const std::string_view name(utf8, static_cast<std::size_t>(length));
    for (std::size_t i = 0; i < params.names.size(); ++i) {
        if (params.names[i] == name) {
            if (slots[i] != nullptr) {
                return fail(PyExc_TypeError,
                            full_name(params) + " got multiple values for argument '" + std::string(name) + "'");
            }
            slots[i] = value;
            return true;
        }
    }
    return fail(PyExc_TypeError,
                full_name(params) + " got an unexpected keyword argument '" + std::string(name) + "'");
}

bool check_required(const Parameters& params, PyObject* const* slots) {
    std::string list;
    std::size_t missing = 0;
    for (std::size_t i = 0; i < params.required; ++i) {
        missing += slots[i] == nullptr ? 1 : 0;
    }
    if (missing == 0) {
        return true;
    }
    std::size_t seen = 0;
    for (std::size_t i = 0; i < params.required; ++i) {
        if (slots[i] != nullptr) {
            continue;
        }
        if (seen > 0) {
            list += missing == 2 ? " and " : (seen + 1 == missing ? ", and " : ", ");
        }
        list += '\'';
        list += params.names[i];
        list += '\'';
        ++seen;
    }
    return fail(PyExc_TypeError, full_name(params) + " missing " + std::to_string(missing) +
                                     " required positional " + (missing == 1 ? "argument" : "arguments") + ": " +
                                     list);
}

}  // namespace

bool bind_vector(const Parameters& params, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames,
                 PyObject** slots) {
    const auto count = static_cast<std::size_t>(PyVectorcall_NARGS(nargs));
    if (!bind_positional(params, count, args, slots)) {
        return false;
    }
    if (kwnames != nullptr) {
        const Py_ssize_t nkw = PyTuple_Size(kwnames);
        for (Py_ssize_t k = 0; k < nkw; ++k) {
            if (!bind_keyword(params, PyTuple_GetItem(kwnames, k), args[count + static_cast<std::size_t>(k)],
                              slots)) {
                return false;
            }
        }
    }
    return check_required(params, slots);
}

bool bind_tuple(const Parameters& params, PyObject* args, PyObject* kwargs, PyObject** slots) {
    const auto count = static_cast<std::size_t>(PyTuple_Size(args));
    std::vector<PyObject*> items(count);
    for (std::size_t i = 0; i < count; ++i) {
        items[i] = PyTuple_GetItem(args, static_cast<Py_ssize_t>(i));
    }
    if (!bind_positional(params, count, items.data(), slots)) {
        return false;
    }
    if (kwargs != nullptr) {
        Py_ssize_t pos = 0;
        PyObject* key = nullptr;
        PyObject* value = nullptr;
        while (PyDict_Next(kwargs, &pos, &key, &value)) {
            if (!bind_keyword(params, key, value, slots)) {
                return false;
            }
        }
    }
    return check_required(params, slots);
}

}  // namespace mosswick::frame
