// Every index is updated on its own, so the sequential loop (below the parallel
// threshold) and the pool's disjoint ranges give the same values.
#include "dl/optimizers.hpp"

#include <cmath>
#include <cstddef>
#include <cstdlib>

#include "core/errors.hpp"
#include "core/isa.hpp"
#include "core/pool.hpp"
#include "dl/norm_kernels.hpp"

namespace mosswick::dl {

namespace {

void require_contiguous(const auto& view, const char* message) {
    if (!view.contiguous()) {
        throw ValueError(message);
    }
}

// x^t by square-and-multiply over the bits of |t|, low to high; 1 / x^|t| for negative t.
double integer_power(double x, std::int32_t t) {
    auto bits = static_cast<std::uint32_t>(std::abs(static_cast<std::int64_t>(t)));
    double r = (bits & 1) != 0 ? x : 1.0;
    double base = x;
    for (bits >>= 1; bits != 0; bits >>= 1) {
        base = base * base;
        if ((bits & 1) != 0) {
            r = r * base;
        }
    }
    return t < 0 ? 1.0 / r : r;
}

}  // namespace

void sgd_momentum_step(MutableVector params, Vector grads, MutableVector velocity, double lr, double momentum) {
    require_contiguous(grads, "grads must be contiguous");
    require_contiguous(params, "params must be contiguous");
    require_contiguous(velocity, "velocity must be contiguous");
    const std::size_t n = params.size();
    if (grads.size() != n || velocity.size() != n) {
        throw ValueError("params, grads, and velocity must be the same length");
    }
    double* p = params.data();
    const double* g = grads.data();
    double* vel = velocity.data();
    pool::loop(n, [=](std::size_t begin, std::size_t end) {
        for (std::size_t i = begin; i < end; ++i) {
            vel[i] = momentum * vel[i] + g[i];
            p[i] = p[i] - lr * vel[i];
        }
    });
}

void adam_step(MutableVector params, Vector grads, MutableVector m, MutableVector v, double lr, double beta1,
               double beta2, double eps, std::int32_t t) {
    require_contiguous(grads, "grads must be contiguous");
    require_contiguous(params, "params must be contiguous");
    require_contiguous(m, "m must be contiguous");
    require_contiguous(v, "v must be contiguous");
    const std::size_t n = params.size();
    if (grads.size() != n || m.size() != n || v.size() != n) {
        throw ValueError("params, grads, m, and v must be the same length");
    }
    const double c1 = 1.0 - integer_power(beta1, t);
    const double c2 = 1.0 - integer_power(beta2, t);
    const double keep1 = 1.0 - beta1;
    const double keep2 = 1.0 - beta2;
    double* p = params.data();
    const double* g = grads.data();
    double* mm = m.data();
    double* vv = v.data();
    pool::loop(n, [=](std::size_t begin, std::size_t end) {
        for (std::size_t i = begin; i < end; ++i) {
            const double gi = g[i];
            mm[i] = beta1 * mm[i] + gi * keep1;
            vv[i] = beta2 * vv[i] + gi * (gi * keep2);
            const double m_hat = mm[i] / c1;
            const double v_hat = vv[i] / c2;
            p[i] = p[i] - (m_hat * lr) / (std::sqrt(v_hat) + eps);
        }
    });
}

double clip_grad_norm(MutableVector grads, double max_norm) {
    require_contiguous(grads, "grads must be contiguous");
    const std::size_t n = grads.size();
    double* g = grads.data();
    const NormKernels& kernels = dispatch<NormKernels>();
    double s = -0.0;
    if (pool::parallel(n)) {
        s = pool::sum_pieces(n, [&](std::size_t begin, std::size_t end) {
            return kernels.sum_of_squares(g + begin, end - begin);
        });
    } else {
        for (std::size_t i = 0; i < n; ++i) {
            s += g[i] * g[i];
        }
    }
    const double norm = std::sqrt(s);
    if (s > 0.0 && norm > max_norm) {
        const double scale = max_norm / norm;
        pool::loop(n, [&](std::size_t begin, std::size_t end) { kernels.scale(g + begin, end - begin, scale); });
    }
    return norm;
}

}  // namespace mosswick::dl
