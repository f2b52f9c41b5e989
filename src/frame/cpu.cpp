#include "frame/cpu.hpp"

namespace mosswick {

InstructionSet instruction_set() {
    static const InstructionSet detected = [] {
        __builtin_cpu_init();
        if (__builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512dq") &&
            __builtin_cpu_supports("avx512vl")) {
            return InstructionSet::avx512;
        }
        if (__builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma")) {
            return InstructionSet::avx2;
        }
        return InstructionSet::portable;
    }();
    return detected;
}

}  // namespace mosswick
