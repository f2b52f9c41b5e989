// The one place that includes the CPython headers (stable ABI, set by the build).
#pragma once

#define PY_SSIZE_T_CLEAN
#include <Python.h>

#ifndef Py_LIMITED_API
#error "mosswick is built against the stable ABI only"
#endif
