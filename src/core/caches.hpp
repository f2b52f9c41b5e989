// The data cache sizes of the processor, for kernels that block their work to fit.
#pragma once

#include <cstddef>

namespace mosswick {

struct CacheSizes {
    std::size_t l1d;          // per core
    std::size_t l2;           // per core
    std::size_t l3_per_core;  // the last level, divided among the processors that share it
};

// Read once from the operating system (the first processor's caches); where it does
// not say, sizes common to current x86-64 server processors.
const CacheSizes& cache_sizes();

}  // namespace mosswick
