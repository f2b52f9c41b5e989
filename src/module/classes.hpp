// The native types the module exposes as Python classes.
#pragma once

#include "frame/instance.hpp"
#include "hashmap/hash_map.hpp"
#include "tensor/tensor.hpp"

namespace mosswick::frame {

template <>
struct PyClass<tensor::Tensor> {
    static constexpr const char* name = "Tensor";
    static PyTypeObject* type();
};

template <>
struct PyClass<hashmap::HashMap> {
    static constexpr const char* name = "MosswickHashMap";
    static PyTypeObject* type();
};

}  // namespace mosswick::frame
