// Prints the cache sizes read from a processor's cache directory and the matrix
// product's block sizes for them and a tile of ROWS x COLS:
//   caches_test DIRECTORY ROWS COLS  ->  l1d l2 l3_per_core kc nc mc
#include <cstdio>
#include <cstdlib>

#include "core/caches.hpp"
#include "tensor/blocking.hpp"

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: caches_test DIRECTORY ROWS COLS\n");
        return 2;
    }
    const mosswick::CacheSizes sizes = mosswick::read_cache_sizes(argv[1]);
    const mosswick::tensor::Blocking blocks =
        mosswick::tensor::blocking(sizes, std::strtoul(argv[2], nullptr, 10), std::strtoul(argv[3], nullptr, 10));
    std::printf("%zu %zu %zu %zu %zu %zu\n", sizes.l1d, sizes.l2, sizes.l3_per_core, blocks.kc, blocks.nc, blocks.mc);
    return 0;
}
