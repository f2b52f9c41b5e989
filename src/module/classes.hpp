// The native types the module exposes as Python classes, and their names.
#pragma once

#include "frame/instance.hpp"
#include "hashmap/hash_map.hpp"
#include "tensor/tensor.hpp"

namespace mosswick {

template <>
struct frame::PyClass<tensor::Tensor> {
    static constexpr const char* name = "Tensor";
    static PyTypeObject* type();
};

template <>
struct frame::PyClass<hashmap::HashMap> {
    static constexpr const char* name = "MosswickHashMap";
    static PyTypeObject* type();
};

}  // namespace mosswick
