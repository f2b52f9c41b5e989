#include "frame/cpu.hpp"

#include <cstdlib>
#include <string_view>

namespace mosswick {

namespace {

InstructionSet detect() {
    __builtin_cpu_init();
    if (__builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512dq") &&
        __builtin_cpu_supports("avx512vl")) {
        return InstructionSet::avx512;
    }
    if (__builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma")) {
        return InstructionSet::avx2;
    }
    return InstructionSet::portable;
}

// MOSSWICK_CPU=avx2 or =portable caps the choice, so that the builds an older
// processor would run can be tested on a newer one. It never raises the choice.
InstructionSet cap_from_environment(InstructionSet detected) {
    const char* value = std::getenv("MOSSWICK_CPU");
    const std::string_view cap = value == nullptr ? "" : value;
    if (cap == "portable") {
        return InstructionSet::portable;
    }
    if (cap == "avx2" && detected == InstructionSet::avx512) {
        return InstructionSet::avx2;
    }
    return detected;
}

}  // namespace

InstructionSet instruction_set() {
    static const InstructionSet chosen = cap_from_environment(detect());
    return chosen;
}

}  // namespace mosswick
