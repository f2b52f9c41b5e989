// The portable build of the row kernels, and the choice among the builds.
#include "ml/row_kernels_body.hpp"

#include "frame/cpu.hpp"

namespace mosswick::ml {

namespace {

const RowKernels& choose() {
    switch (instruction_set()) {
        case InstructionSet::avx512:
            return row_kernels_avx512();
        case InstructionSet::avx2:
            return row_kernels_avx2();
        case InstructionSet::portable:
            break;
    }
    return kRowKernels;
}

}  // namespace

const RowKernels& row_kernels() {
    static const RowKernels& chosen = choose();
    return chosen;
}

}  // namespace mosswick::ml
