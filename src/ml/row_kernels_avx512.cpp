#include "ml/row_kernels_body.hpp"

namespace mosswick::ml {

const RowKernels& row_kernels_avx512() {
    return kRowKernels;
}

}  // namespace mosswick::ml
