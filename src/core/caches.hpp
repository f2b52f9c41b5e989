// The data cache sizes of the processor, for kernels that block their work to fit.
#pragma once

#include <cstddef>
#include <string>

namespace mosswick {

struct CacheSizes {
    std::size_t l1d;          // per core
    std::size_t l2;           // per core
    std::size_t l3_per_core;  // the last level, divided among the processors that share it
};

// The sizes that a processor's cache directory in sysfs (such as
// /sys/devices/system/cpu/cpu0/cache) gives; where it does not say, sizes common to
// current x86-64 server processors.
CacheSizes read_cache_sizes(const std::string& directory);

// The first processor's, read once.
const CacheSizes& cache_sizes();

}  // namespace mosswick
