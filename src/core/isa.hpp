// The instruction sets the kernels are built for, and the choice among them.
//
// A source named *_kernels.cpp is one body that the build compiles three times:
// for AVX-512, for AVX2 and for any processor (CMakeLists.txt gives each build's
// features, and instruction_set() checks for exactly those). Each compilation defines MOSSWICK_ISA as the build's name (avx512, avx2 or portable)
// and brings core/simd.hpp's vector types at that build's width. A subsystem keeps
// its kernels in one table type that declares
//     template <Isa> static const Table& build();
// each compilation of its body defines build<Isa::MOSSWICK_ISA>(), and
// dispatch<Table>() is the one place that picks the running processor's table.
#pragma once

namespace mosswick {

enum class Isa { portable, avx2, avx512 };

// The best instruction set this processor supports, detected once and capped by
// MOSSWICK_CPU=avx2 or =portable (which never raise it).
Isa instruction_set();

template <class Table>
const Table& dispatch() {
    static const Table& chosen = []() -> const Table& {
#ifdef MOSSWICK_X86_KERNELS
        switch (instruction_set()) {
            case Isa::avx512:
                return Table::template build<Isa::avx512>();
            case Isa::avx2:
                return Table::template build<Isa::avx2>();
            case Isa::portable:
                break;
        }
#endif
        return Table::template build<Isa::portable>();
    }();
    return chosen;
}

}  // namespace mosswick
