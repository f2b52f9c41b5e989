// Exceptions that routines throw. They know nothing of Python: the boundary
// (failure.cpp) turns each into the matching Python exception.
#pragma once

#include <stdexcept>
#include <string>

namespace mosswick {

class Error : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A refusal of the caller's input, with the routine's fixed message.
class ValueError : public Error {
public:
    using Error::Error;
};

class IndexError : public Error {
public:
    using Error::Error;
};

// A result that has no exact representation in the routine's result type.
class OverflowError : public Error {
public:
    using Error::Error;
};

// An internal check failed; surfaces as the module's BaseException-derived failure.
class InternalFailure : public Error {
public:
    using Error::Error;
};

}  // namespace mosswick
