// Loops, from the outside in (the block sizes: tensor/blocking.hpp):
//   ic: blocks of mc rows of A and C        packed A block (mc x kc) lives in L3
//   pc: blocks of kc of the inner size
//   jc: blocks of nc columns of B and C     packed B block (kc x nc) lives in L2
//   ir: tiles of the kernel's rows          one A panel (rows x kc) stays in L1
//   jr: tiles of the kernel's columns       B panels stream from L2
// Packing reads each operand through its two strides (so a transposed operand is
// read in place) and pads partial panels with zeros; a partial tile of C is
// computed into a scratch tile and only its valid part is written back, so
// nothing outside the operands is ever read or written.
#include "tensor/gemm.hpp"

#include <algorithm>

#include "core/buffer.hpp"
#include "core/caches.hpp"
#include "core/interrupt.hpp"
#include "tensor/blocking.hpp"
#include "tensor/gemm_kernels.hpp"

namespace mosswick::tensor {

namespace {

std::size_t round_up(std::size_t value, std::size_t multiple) {
    return (value + multiple - 1) / multiple * multiple;
}

// The block size that cuts `extent` into as few blocks of at most `limit` (a multiple of
// `granule`) as possible, all of about the same size, so that no thin last block is left.
std::size_t even_block(std::size_t extent, std::size_t limit, std::size_t granule) {
    const std::size_t blocks = (extent + limit - 1) / limit;
    return round_up((extent + blocks - 1) / blocks, granule);  // at most limit
}

struct Engine {
    const GemmKernels& kernel;
    Blocking limits;
};

const Engine& engine() {
    static const Engine chosen = [] {
        const GemmKernels& kernel = dispatch<GemmKernels>();
        return Engine{kernel, blocking(cache_sizes(), kernel.rows, kernel.cols)};
    }();
    return chosen;
}

// The packed blocks of the calling thread, kept for its next product.
struct Workspace {
    AlignedBuffer<double> a;
    AlignedBuffer<double> b;

    static double* fit(AlignedBuffer<double>& buffer, std::size_t n) {
        if (buffer.size() < n) {
            buffer = AlignedBuffer<double>();
            buffer = AlignedBuffer<double>::uninitialized(n);
        }
        return buffer.data();
    }
};

// Packs `width` lines of k values into out[p * lanes + x] (x < lanes, p < k), padding
// the lines from width to lanes with zeros. Value p of line x is src[x * sx + p * sp].
void pack(const double* src, std::size_t sx, std::size_t sp, std::size_t width, std::size_t lanes, std::size_t k,
          double* out) {
    constexpr std::size_t kSteps = 8;  // along each line, one cache line at a time when sp is 1
    for (std::size_t p0 = 0; p0 < k; p0 += kSteps) {
        const std::size_t p1 = std::min(k, p0 + kSteps);
        if (sx <= sp) {
            for (std::size_t p = p0; p < p1; ++p) {
                for (std::size_t x = 0; x < width; ++x) {
                    out[p * lanes + x] = src[x * sx + p * sp];
                }
            }
        } else {
            for (std::size_t x = 0; x < width; ++x) {
                for (std::size_t p = p0; p < p1; ++p) {
                    out[p * lanes + x] = src[x * sx + p * sp];
                }
            }
        }
        for (std::size_t p = p0; p < p1; ++p) {
            std::fill(out + p * lanes + width, out + (p + 1) * lanes, 0.0);
        }
    }
}

}  // namespace

void gemm(std::size_t m, std::size_t k, std::size_t n, StridedMatrix a, StridedMatrix b, double* c,
          std::size_t c_row) {
    if (m == 0 || n == 0) {
        return;
    }
    if (k == 0) {
        for (std::size_t i = 0; i < m; ++i) {
            std::fill(c + i * c_row, c + i * c_row + n, 0.0);
        }
        return;
    }
    const Engine& e = engine();
    const GemmKernels& kernel = e.kernel;
    const std::size_t mr = kernel.rows;
    const std::size_t nr = kernel.cols;
    const Blocking blocks{even_block(k, e.limits.kc, 1), even_block(n, e.limits.nc, nr),
                          even_block(m, e.limits.mc, mr)};
    thread_local Workspace workspace;
    double* packed_a = Workspace::fit(workspace.a, blocks.mc * blocks.kc);
    double* packed_b = Workspace::fit(workspace.b, blocks.nc * blocks.kc);
    alignas(64) double scratch[kMaxTile];
    interrupt::Pacer pacer;

    for (std::size_t ic = 0; ic < m; ic += blocks.mc) {
        const std::size_t mb = std::min(blocks.mc, m - ic);
        for (std::size_t pc = 0; pc < k; pc += blocks.kc) {
            const std::size_t kb = std::min(blocks.kc, k - pc);
            const bool accumulate = pc > 0;
            for (std::size_t ir = 0; ir < mb; ir += mr) {
                pack(a.data + (ic + ir) * a.row_stride + pc * a.col_stride, a.row_stride, a.col_stride,
                     std::min(mr, mb - ir), mr, kb, packed_a + ir * kb);
            }
            for (std::size_t jc = 0; jc < n; jc += blocks.nc) {
                const std::size_t nb = std::min(blocks.nc, n - jc);
                pacer.add(mb * kb * nb);
                for (std::size_t jr = 0; jr < nb; jr += nr) {
                    pack(b.data + pc * b.row_stride + (jc + jr) * b.col_stride, b.col_stride, b.row_stride,
                         std::min(nr, nb - jr), nr, kb, packed_b + jr * kb);
                }
                for (std::size_t ir = 0; ir < mb; ir += mr) {
                    const std::size_t rows = std::min(mr, mb - ir);
                    for (std::size_t jr = 0; jr < nb; jr += nr) {
                        const std::size_t cols = std::min(nr, nb - jr);
                        double* tile = c + (ic + ir) * c_row + jc + jr;
                        if (rows == mr && cols == nr) {
                            kernel.tile(kb, packed_a + ir * kb, packed_b + jr * kb, tile, c_row, accumulate);
                            continue;
                        }
                        kernel.tile(kb, packed_a + ir * kb, packed_b + jr * kb, scratch, nr, false);
                        for (std::size_t r = 0; r < rows; ++r) {
                            for (std::size_t j = 0; j < cols; ++j) {
                                tile[r * c_row + j] = accumulate ? tile[r * c_row + j] + scratch[r * nr + j]
                                                                 : scratch[r * nr + j];
                            }
                        }
                    }
                }
            }
        }
    }
}

}  // namespace mosswick::tensor
