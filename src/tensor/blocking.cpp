#include "tensor/blocking.hpp"

namespace mosswick::tensor {

namespace {

// value rounded down to a multiple of `multiple`, and at least `multiple`.
std::size_t round_down(std::size_t value, std::size_t multiple) {
    const std::size_t rounded = value / multiple * multiple;
    return rounded > multiple ? rounded : multiple;
}

}  // namespace

// An A panel of rows x kc fills half of L1, so it stays there while B panels stream
// past; the packed B block of kc x nc fills half of L2; the packed A block of mc x kc
// fills this core's share of L3.
Blocking blocking(const CacheSizes& caches, std::size_t rows, std::size_t cols) {
    const std::size_t kc = round_down(caches.l1d / 2 / (rows * sizeof(double)), 8);
    return {kc, round_down(caches.l2 / 2 / (kc * sizeof(double)), cols),
            round_down(caches.l3_per_core / (kc * sizeof(double)), rows)};
}

}  // namespace mosswick::tensor
