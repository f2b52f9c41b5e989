// What the processor running us supports, for choosing among kernel variants.
#pragma once

namespace mosswick::random {

bool has_avx512();  // AVX-512 F, DQ and VL: what the *_avx512.cpp files are compiled for
bool has_avx2();    // AVX2 and FMA: what the *_avx2.cpp files are compiled for

}  // namespace mosswick::random
