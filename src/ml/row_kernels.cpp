// The portable build of the row kernels, and the choice among the builds.
#include "ml/row_kernels_body.hpp"

namespace mosswick::ml {

namespace {

const RowKernels& choose() {
    __builtin_cpu_init();
    if (__builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512dq") &&
        __builtin_cpu_supports("avx512vl")) {
        return row_kernels_avx512();
    }
    if (__builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma")) {
        return row_kernels_avx2();
    }
    return kRowKernels;
}

}  // namespace

const RowKernels& row_kernels() {
    static const RowKernels& chosen = choose();
    return chosen;
}

}  // namespace mosswick::ml
