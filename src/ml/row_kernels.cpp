// The row kernels, written once over vectors of kPanelWidth doubles; the build
// compiles this body once per instruction set (see core/isa.hpp).
#include <cstddef>

#include "core/simd.hpp"
#include "ml/row_kernels.hpp"

namespace mosswick::ml {
namespace {

using Lanes = simd::Vec<double, kPanelWidth>;
using LaneBits = simd::Vec<long long, kPanelWidth>;

inline Lanes splat(double value) {
    return simd::splat<Lanes>(value);
}

inline Lanes load(const double* p) {
    return simd::load<Lanes>(p);
}

inline void store(double* p, Lanes v) {
    simd::store(p, v);
}

struct Dot {
    static constexpr double kStart = 0.0;
    static Lanes add(Lanes sum, double x, Lanes y) { return sum + x * y; }
};

struct AbsoluteDifference {
    static constexpr double kStart = -0.0;
    static Lanes add(Lanes sum, double x, Lanes y) {
        const Lanes d = x - y;
        return sum + reinterpret_cast<Lanes>(reinterpret_cast<LaneBits>(d) & 0x7fffffffffffffffLL);
    }
};

struct SquaredDifference {
    static constexpr double kStart = -0.0;
    static Lanes add(Lanes sum, double x, Lanes y) {
        const Lanes d = x - y;
        return sum + d * d;
    }
};

template <class Term, std::size_t R>
void tile(const double* const* rows, std::size_t m, const double* panel, double* out) {
    Lanes sum[R];
    for (std::size_t r = 0; r < R; ++r) {
        sum[r] = splat(Term::kStart);
    }
    for (std::size_t k = 0; k < m; ++k) {
        const Lanes y = load(panel + k * kPanelWidth);
        for (std::size_t r = 0; r < R; ++r) {
            sum[r] = Term::add(sum[r], rows[r][k], y);
        }
    }
    for (std::size_t r = 0; r < R; ++r) {
        store(out + r * kPanelWidth, sum[r]);
    }
}

template <class Term>
void panel_kernel(const double* const* rows, std::size_t count, std::size_t m, const double* panel, double* out) {
    static_assert(kTileRows == 4);
    switch (count) {
        case 1: return tile<Term, 1>(rows, m, panel, out);
        case 2: return tile<Term, 2>(rows, m, panel, out);
        case 3: return tile<Term, 3>(rows, m, panel, out);
        default: return tile<Term, 4>(rows, m, panel, out);
    }
}

// The divisions of all rows are started before any result is stored, so that they overlap.
void cosine(const double* dots, std::size_t count, const double* norm_x, const double* norm_y, std::size_t lanes,
            double* const* out) {
    const Lanes ny = load(norm_y);
    const LaneBits zero_y = ny == splat(0.0);
    Lanes entries[kTileRows];
    for (std::size_t r = 0; r < count; ++r) {
        const Lanes quotient = load(dots + r * kPanelWidth) / (norm_x[r] * ny);
        const LaneBits zero = zero_y | (norm_x[r] == 0.0 ? -1LL : 0LL);
        entries[r] = reinterpret_cast<Lanes>(reinterpret_cast<LaneBits>(quotient) & ~zero);
    }
    for (std::size_t r = 0; r < count; ++r) {
        if (lanes == kPanelWidth) {
            store(out[r], entries[r]);
            continue;
        }
        for (std::size_t l = 0; l < lanes; ++l) {
            out[r][l] = entries[r][l];
        }
    }
}

// Four vectors of the row stay in registers through all the steps.
void subtract_scaled(double* row, const double* const* pivots, const double* f, std::size_t steps, std::size_t n) {
    constexpr std::size_t kBlock = 4 * kPanelWidth;
    std::size_t k = 0;
    for (; k + kBlock <= n; k += kBlock) {
        Lanes x0 = load(row + k);
        Lanes x1 = load(row + k + kPanelWidth);
        Lanes x2 = load(row + k + 2 * kPanelWidth);
        Lanes x3 = load(row + k + 3 * kPanelWidth);
        for (std::size_t s = 0; s < steps; ++s) {
            const double* p = pivots[s] + k;
            x0 = x0 - f[s] * load(p);
            x1 = x1 - f[s] * load(p + kPanelWidth);
            x2 = x2 - f[s] * load(p + 2 * kPanelWidth);
            x3 = x3 - f[s] * load(p + 3 * kPanelWidth);
        }
        store(row + k, x0);
        store(row + k + kPanelWidth, x1);
        store(row + k + 2 * kPanelWidth, x2);
        store(row + k + 3 * kPanelWidth, x3);
    }
    for (; k + kPanelWidth <= n; k += kPanelWidth) {
        Lanes x = load(row + k);
        for (std::size_t s = 0; s < steps; ++s) {
            x = x - f[s] * load(pivots[s] + k);
        }
        store(row + k, x);
    }
    for (; k < n; ++k) {
        double x = row[k];
        for (std::size_t s = 0; s < steps; ++s) {
            x = x - f[s] * pivots[s][k];
        }
        row[k] = x;
    }
}

void divide(double* row, double divisor, std::size_t n) {
    for (std::size_t k = 0; k < n; ++k) {
        row[k] = row[k] / divisor;
    }
}

constexpr RowKernels kRowKernels{
    &panel_kernel<Dot>, &panel_kernel<AbsoluteDifference>, &panel_kernel<SquaredDifference>, &cosine,
    &subtract_scaled,   &divide,
};

}  // namespace

template <>
const RowKernels& RowKernels::build<Isa::MOSSWICK_ISA>() {
    return kRowKernels;
}

}  // namespace mosswick::ml
