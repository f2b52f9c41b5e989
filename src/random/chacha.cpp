#include "random/chacha.hpp"

#include "random/stream_kernels.hpp"

namespace mosswick::random {

void chacha12_blocks(const Key& key, std::uint64_t counter, std::span<std::uint32_t> out) {
    dispatch<StreamKernels>().chacha12_blocks(key.data(), counter, out.data(), out.size() / kRefillWords);
}

}  // namespace mosswick::random
