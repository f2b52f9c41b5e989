#include "core/isa.hpp"

#include <cstdlib>
#include <string_view>

namespace mosswick {

namespace {

Isa detect() {
#ifdef MOSSWICK_X86_KERNELS
    __builtin_cpu_init();
    const bool avx2 = __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma") &&
                      __builtin_cpu_supports("bmi") && __builtin_cpu_supports("bmi2") &&
                      __builtin_cpu_supports("popcnt");
    if (avx2 && __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512dq") &&
        __builtin_cpu_supports("avx512vl")) {
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
