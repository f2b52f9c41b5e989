#include "classic/partition.hpp"

#include <utility>

#include "classic/pivot.hpp"
#include "classic/sort_kernels.hpp"

namespace mosswick::classic {

// One vector partition pass puts the elements smaller than the pivot first and the
// pivot just after them; only when the others hold more copies of the pivot does a
// second pass over them gather those copies after it.
std::pair<std::size_t, std::size_t> split_three_way(std::int64_t* a, std::size_t n, std::size_t pivot) {
    const SortKernels& kernels = dispatch<SortKernels>();
    const std::int64_t p = a[pivot];
    std::swap(a[pivot], a[n - 1]);
    std::size_t equal = 0;
    const std::size_t lt = kernels.partition(a, n - 1, p, &equal);
    std::swap(a[lt], a[n - 1]);
    std::size_t gt = lt + 1;
    if (equal > 0) {
        // The elements after the pivot are not smaller than it: those below p + 1 equal it.
        if (p == INT64_MAX) {
            gt = n;
        } else {
            std::size_t ignored = 0;
            gt += kernels.partition(a + gt, n - gt, p + 1, &ignored);
        }
    }
    return {lt, gt};
}

std::pair<std::size_t, std::size_t> three_way_partition(std::int64_t* a, std::size_t n) {
    poll_before_pass(n);
    return split_three_way(a, n, RNG::pivot_index(n));
}

}  // namespace mosswick::classic
