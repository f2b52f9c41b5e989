// The activation formulas, each written once for a lone element and for a vector of
// them, evaluated in double precision in the order written with every operation
// rounded on its own; exp and tanh are the C library's (vecmath/vector_math.hpp). Both
// sides of a choice are evaluated and one is kept, which changes no value.
// "x > 0" is false for NaN and for both zeros.
#include <cstddef>

#include "core/simd.hpp"
#include "vecmath/vector_math.hpp"
#include "dl/activation_kernels.hpp"

namespace mosswick::dl {
namespace {

template <class V>
V logistic(V x) {
    return simd::splat<V>(1.0) / (vecmath::exp(-x) + simd::splat<V>(1.0));
}

struct Relu {
    template <class V>
    static V at(V x, double) {
        return x > simd::splat<V>(0.0) ? x : simd::splat<V>(0.0);
    }
};

struct ReluDerivative {
    template <class V>
    static V at(V x, double) {
        return x > simd::splat<V>(0.0) ? simd::splat<V>(1.0) : simd::splat<V>(0.0);
    }
};

struct LeakyRelu {
    template <class V>
    static V at(V x, double alpha) {
        return x > simd::splat<V>(0.0) ? x : x * alpha;
    }
};

struct LeakyReluDerivative {
    template <class V>
    static V at(V x, double alpha) {
        return x > simd::splat<V>(0.0) ? simd::splat<V>(1.0) : simd::splat<V>(alpha);
    }
};

struct Elu {
    template <class V>
    static V at(V x, double alpha) {
        return x > simd::splat<V>(0.0) ? x : (vecmath::exp(x) + -1.0) * alpha;
    }
};

struct EluDerivative {
    template <class V>
    static V at(V x, double alpha) {
        return x > simd::splat<V>(0.0) ? simd::splat<V>(1.0) : vecmath::exp(x) * alpha;
    }
};

struct Gelu {
    template <class V>
    static V at(V x, double) {
        const V u = (x + (x * (x * x)) * 0.044715) * 0.7978845608028654;
        return (x * 0.5) * (vecmath::tanh(u) + 1.0);
    }
};

struct Silu {
    template <class V>
    static V at(V x, double) {
        return x / (vecmath::exp(-x) + 1.0);
    }
};

struct SiluDerivative {
    template <class V>
    static V at(V x, double) {
        const V s = logistic(x);
        return s + (x * s) * (1.0 - s);
    }
};

struct Sigmoid {
    template <class V>
    static V at(V x, double) {
        return logistic(x);
    }
};

struct SigmoidDerivative {
    template <class V>
    static V at(V x, double) {
        const V s = logistic(x);
        return s * (1.0 - s);
    }
};

struct Tanh {
    template <class V>
    static V at(V x, double) {
        return vecmath::tanh(x);
    }
};

struct TanhDerivative {
    template <class V>
    static V at(V x, double) {
        const V t = vecmath::tanh(x);
        return 1.0 - t * t;
    }
};

template <class Formula>
void map(const double* x, double* out, std::size_t n, double alpha) {
    vecmath::map_arrays(out, n, [alpha](auto v) { return Formula::at(v, alpha); }, x);
}

// In the order of Activation.
constexpr ActivationKernels kActivationKernels{{
    &map<Relu>,
    &map<ReluDerivative>,
    &map<LeakyRelu>,
    &map<LeakyReluDerivative>,
    &map<Elu>,
    &map<EluDerivative>,
    &map<Gelu>,
    &map<Silu>,
    &map<SiluDerivative>,
    &map<Sigmoid>,
    &map<SigmoidDerivative>,
    &map<Tanh>,
    &map<TanhDerivative>,
}};

}  // namespace

template <>
const ActivationKernels& ActivationKernels::build<Isa::MOSSWICK_ISA>() {
    return kActivationKernels;
}

}  // namespace mosswick::dl
