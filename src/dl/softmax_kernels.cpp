// One row's softmax: m = the row maximum; o[j] = exp(z[j] - m) with exp the C library's
// (vecmath/vector_math.hpp), their sum s taken in index order from +0.0; o[j] = o[j] / s.
//
// The vector builds take kRows rows at a time, one row per lane: the exponentials of
// a kRows x kRows block are computed along the rows, then transposed, so that lane l
// adds row l's values one after another, in index order, as a lone row would.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>

#include "core/platform.hpp"
#include "core/simd.hpp"
#include "vecmath/vector_math.hpp"
#include "dl/softmax_kernels.hpp"

namespace mosswick::dl {
namespace {

using V = vecmath::Doubles;
constexpr std::size_t kRows = vecmath::kWidth;

// The maximum of the row's numbers, -inf when there are none (an empty row, or only
// NaN): "v > m ? v : m" never lets NaN in. It is kept in lanes merged at the end, which
// can change only the sign of a zero maximum: exp(z[j] - m) is the same for both.
double row_maximum(const double* z, std::size_t n) {
    constexpr double kLow = -std::numeric_limits<double>::infinity();
    V m = simd::splat<V>(kLow);
    std::size_t j = 0;
    for (; j + kRows <= n; j += kRows) {
        const V v = simd::load<V>(z + j);
        m = v > m ? v : m;
    }
    double maximum = kLow;
    for (; j < n; ++j) {
        maximum = z[j] > maximum ? z[j] : maximum;
    }
    for (std::size_t l = 0; l < kRows; ++l) {
        maximum = m[l] > maximum ? m[l] : maximum;
    }
    return maximum;
}

// o[j] = exp(z[j] - m) for one row; returns their sum in index order from +0.0.
// (Templates, so that the portable build, which has no vector exp, never compiles
// the vector steps.)
template <class Lanes>
double exponentiate_row(const double* z, double* o, std::size_t n) {
    const double m = row_maximum(z, n);
    std::size_t j = 0;
    if constexpr (vecmath::kVectorised) {
        for (; j + kRows <= n; j += kRows) {
            simd::store(o + j, vecmath::exp(simd::load<Lanes>(z + j) - m));
        }
    }
    for (; j < n; ++j) {
        o[j] = vecmath::exp(z[j] - m);
    }
    double s = 0.0;
    for (j = 0; j < n; ++j) {
        s += o[j];
    }
    return s;
}

// Lane l of v[k] becomes lane k of v[l]: at each step the off-diagonal blocks of size
// B within each 2B x 2B block change places.
template <std::size_t B>
void swap_blocks(V* v) {
    constexpr auto low = [](std::size_t p) { return (p & B) != 0 ? kRows + p - B : p; };
    constexpr auto high = [](std::size_t p) { return (p & B) != 0 ? kRows + p : p + B; };
    for (std::size_t i = 0; i < kRows; ++i) {
        if ((i & B) == 0) {
            const V top = v[i];
            v[i] = simd::shuffle<low>(top, v[i + B]);
            v[i + B] = simd::shuffle<high>(top, v[i + B]);
        }
    }
    if constexpr (B > 1) {
        swap_blocks<B / 2>(v);
    }
}

// Rows z + l * n for l < kRows: o likewise, sums[l] = the row's sum.
template <class Lanes>
void exponentiate_rows(const double* z, double* o, std::size_t n, double* sums) {
    Lanes m;
    for (std::size_t l = 0; l < kRows; ++l) {
        m[l] = row_maximum(z + l * n, n);
    }
    Lanes s = simd::splat<Lanes>(0.0);
    std::size_t j = 0;
    for (; j + kRows <= n; j += kRows) {
        Lanes e[kRows];
        for (std::size_t l = 0; l < kRows; ++l) {
            e[l] = vecmath::exp(simd::load<Lanes>(z + l * n + j) - m[l]);
            simd::store(o + l * n + j, e[l]);
        }
        swap_blocks<kRows / 2>(e);
        for (std::size_t k = 0; k < kRows; ++k) {
            s = s + e[k];
        }
    }
    for (; j < n; ++j) {
        Lanes column;
        for (std::size_t l = 0; l < kRows; ++l) {
            column[l] = z[l * n + j];
        }
        const Lanes e = vecmath::exp(column - m);
        s = s + e;
        for (std::size_t l = 0; l < kRows; ++l) {
            o[l * n + j] = e[l];
        }
    }
    simd::store(sums, s);
}

// finish(i, row, s) for every row i in [begin, end) once its exponentials and their sum
// s are in place.
template <class Finish>
void for_rows(const double* in, double* out, std::size_t n, std::size_t begin, std::size_t end, Finish finish) {
    std::size_t i = begin;
    if constexpr (vecmath::kVectorised) {
        for (; i + kRows <= end; i += kRows) {
            double sums[kRows];
            exponentiate_rows<V>(in + i * n, out + i * n, n, sums);
            for (std::size_t l = 0; l < kRows; ++l) {
                finish(i + l, out + (i + l) * n, sums[l]);
            }
        }
    }
    for (; i < end; ++i) {
        finish(i, out + i * n, exponentiate_row<V>(in + i * n, out + i * n, n));
    }
}

void softmax(const double* in, double* out, std::size_t n, std::size_t begin, std::size_t end) {
    for_rows(in, out, n, begin, end, [n](std::size_t, double* o, double s) {
        for (std::size_t j = 0; j < n; ++j) {
            o[j] = o[j] / s;
        }
    });
}

// Each value is divided by the batch size as it is stored, which is the same rounding
// as dividing afterwards. The loss uses max(p_c, 1e-15), a NaN p_c counting as 1e-15.
void cross_entropy(const double* in, const std::int64_t* target, double batch, double* out, double* loss,
                   std::size_t n, std::size_t begin, std::size_t end) {
    for_rows(in, out, n, begin, end, [&](std::size_t i, double* o, double s) {
        const auto c = static_cast<std::size_t>(target[i]);
        const double p_c = o[c] / s;
        for (std::size_t j = 0; j < n; ++j) {
            o[j] = (o[j] / s) / batch;
        }
        o[c] = (p_c + -1.0) / batch;
        loss[i] = -platform::library_log(p_c > 1e-15 ? p_c : 1e-15);
    });
}

constexpr SoftmaxKernels kSoftmaxKernels{&softmax, &cross_entropy};

}  // namespace

template <>
const SoftmaxKernels& SoftmaxKernels::build<Isa::MOSSWICK_ISA>() {
    return kSoftmaxKernels;
}

}  // namespace mosswick::dl
