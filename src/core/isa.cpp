#include "core/isa.hpp"

#ifdef MOSSWICK_X86_KERNELS
#include <cpuid.h>
#endif

#include <cstdlib>
#include <string_view>

namespace mosswick {

namespace {

#ifdef MOSSWICK_X86_KERNELS
bool bit(unsigned word, int index) {
    return ((word >> index) & 1u) != 0;
}

// The register state the operating system saves on a context switch (XCR0).
unsigned long long saved_state() {
    unsigned low = 0;
    unsigned high = 0;
    __asm__("xgetbv" : "=a"(low), "=d"(high) : "c"(0));
    return (static_cast<unsigned long long>(high) << 32) | low;
}
#endif

// What CMakeLists.txt compiles each build for: AVX2 with FMA, BMI1, BMI2 and POPCNT;
// AVX-512 F, DQ and VL besides. Each needs its registers saved by the system too.
Isa detect() {
#ifdef MOSSWICK_X86_KERNELS
    unsigned a = 0;
    unsigned b = 0;
    unsigned c = 0;
    unsigned d = 0;
    if (__get_cpuid(1, &a, &b, &c, &d) == 0 || !bit(c, 27) || !bit(c, 28)) {  // OSXSAVE, AVX
        return Isa::portable;
    }
    const bool fma = bit(c, 12);
    const bool popcnt = bit(c, 23);
    const unsigned long long state = saved_state();
    if (__get_cpuid_count(7, 0, &a, &b, &c, &d) == 0) {
        return Isa::portable;
    }
    const bool avx2 = (state & 0x6) == 0x6 && bit(b, 5) && fma && bit(b, 3) && bit(b, 8) && popcnt;
    if (avx2 && (state & 0xE0) == 0xE0 && bit(b, 16) && bit(b, 17) && bit(b, 31)) {
        return Isa::avx512;
    }
    if (avx2) {
        return Isa::avx2;
    }
#endif
    return Isa::portable;
}

// So that the builds an older processor would run can be tested on a newer one.
Isa cap_from_environment(Isa detected) {
    const char* value = std::getenv("MOSSWICK_CPU");
    const std::string_view cap = value == nullptr ? "" : value;
    if (cap == "portable") {
        return Isa::portable;
    }
    if (cap == "avx2" && detected == Isa::avx512) {
        return Isa::avx2;
    }
    return detected;
}

}  // namespace

Isa instruction_set() {
    static const Isa chosen = cap_from_environment(detect());
    return chosen;
}

}  // namespace mosswick
