// The native types the module exposes as Python classes.
#pragma once

#include "frame/instance.hpp"
#include "hashmap/hash_map.hpp"

namespace mosswick::frame {

template <>
struct PyClass<hashmap::HashMap> {
    static constexpr const char* name = "MosswickHashMap";
    static PyTypeObject* type();
};

}  // namespace mosswick::frame
