// Which build of a kernel this processor runs. Files named *_avx512.cpp are
// compiled for AVX-512 F, DQ and VL; files named *_avx2.cpp for AVX2 with FMA;
// every kernel also has a portable build.
#pragma once

namespace mosswick {

enum class InstructionSet { portable, avx2, avx512 };

// The best instruction set the processor supports, detected once.
InstructionSet instruction_set();

}  // namespace mosswick
