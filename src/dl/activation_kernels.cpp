// The activation formulas, each written once for a lone element and for a vector of
// them, evaluated in double precision in the order written with every operation
// rounded on its own; exp and tanh are the C library's (vecmath/vector_math.hpp). Both
// sides of a choice are evaluated and one is kept, which changes no value.
// "x > 0" is false for NaN and for both zeros.
#include <cstddef>

#include "core/simd.hpp"
#include "dl/activation_kernels.hpp"
#include "vecmath/vector_math.hpp"

namespace mosswick::dl {
namespace {

template <class V>
V logistic(V x) {
    return simd::splat<V>(1.0) / (vecmath::exp(-x) + simd::splat<V>(1.0));
}

// The formula of each activation.
template <Activation>
struct Formula;

template <>
struct Formula<Activation::relu> {
    template <class V>
    static V at(V x, double) {
        return x > simd::splat<V>(0.0) ? x : simd::splat<V>(0.0);
    }
};

template <>
struct Formula<Activation::relu_derivative> {
    template <class V>
    static V at(V x, double) {
        return x > simd::splat<V>(0.0) ? simd::splat<V>(1.0) : simd::splat<V>(0.0);
    }
};

template <>
struct Formula<Activation::leaky_relu> {
    template <class V>
    static V at(V x, double alpha) {
        return x > simd::splat<V>(0.0) ? x : x * alpha;
    }
};

template <>
struct Formula<Activation::leaky_relu_derivative> {
    template <class V>
    static V at(V x, double alpha) {
        return x > simd::splat<V>(0.0) ? simd::splat<V>(1.0) : simd::splat<V>(alpha);
    }
};

template <>
struct Formula<Activation::elu> {
    template <class V>
    static V at(V x, double alpha) {
        return x > simd::splat<V>(0.0) ? x : (vecmath::exp(x) + -1.0) * alpha;
    }
};

template <>
struct Formula<Activation::elu_derivative> {
    template <class V>
    static V at(V x, double alpha) {
        return x > simd::splat<V>(0.0) ? simd::splat<V>(1.0) : vecmath::exp(x) * alpha;
    }
};

template <>
struct Formula<Activation::gelu> {
    template <class V>
    static V at(V x, double) {
        const V u = (x + (x * (x * x)) * 0.044715) * 0.7978845608028654;
        return (x * 0.5) * (vecmath::tanh(u) + 1.0);
    }
};

template <>
struct Formula<Activation::silu> {
    template <class V>
    static V at(V x, double) {
        return x / (vecmath::exp(-x) + 1.0);
    }
};

template <>
struct Formula<Activation::silu_derivative> {
    template <class V>
    static V at(V x, double) {
        const V s = logistic(x);
        return s + (x * s) * (1.0 - s);
    }
};

template <>
struct Formula<Activation::sigmoid> {
    template <class V>
    static V at(V x, double) {
        return logistic(x);
    }
};

template <>
struct Formula<Activation::sigmoid_derivative> {
    template <class V>
    static V at(V x, double) {
        const V s = logistic(x);
        return s * (1.0 - s);
    }
};

template <>
struct Formula<Activation::tanh> {
    template <class V>
    static V at(V x, double) {
        return vecmath::tanh(x);
    }
};

template <>
struct Formula<Activation::tanh_derivative> {
    template <class V>
    static V at(V x, double) {
        const V t = vecmath::tanh(x);
        return 1.0 - t * t;
    }
};

template <Activation A>
void map(const double* x, double* out, std::size_t n, double alpha) {
    vecmath::map_arrays(out, n, [alpha](auto v) { return Formula<A>::at(v, alpha); }, x);
}

#define MOSSWICK_ACTIVATION_KERNEL(name, ...) &map<Activation::name>,
constexpr ActivationKernels kActivationKernels{{MOSSWICK_ACTIVATIONS(MOSSWICK_ACTIVATION_KERNEL)}};
#undef MOSSWICK_ACTIVATION_KERNEL

}  // namespace

template <>
const ActivationKernels& ActivationKernels::build<Isa::MOSSWICK_ISA>() {
    return kActivationKernels;
}

}  // namespace mosswick::dl
