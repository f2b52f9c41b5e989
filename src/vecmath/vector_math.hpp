// exp, log and tanh on whole vectors, giving in every lane the bits of the C library's
// function: the library's own algorithms, step for step, with a multiply and an add
// fused exactly where the library's build for processors with FMA fuses them (the
// build its resolver picks on the processors that run the AVX2 and AVX-512 kernels).
// Lanes whose input takes one of the library's rare paths (non-finite, subnormal or
// out-of-range inputs) are finished by the library itself, one lane at a time.
//
// Whether the library of the running process gives these bits is checked once per
// process (vecmath/vector_math_probe.hpp); the kernels call these functions only when it does.
// The portable build has none of them: it always calls the library.
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "core/platform.hpp"
#include "core/simd.hpp"
#include "vecmath/libm_data.hpp"

namespace mosswick::vecmath {
inline namespace MOSSWICK_ISA {
// Internal to each body that includes this: a copy the compiler keeps out of line
// must not be shared between the builds.
namespace {

// The library's functions, under the names of the vector versions, so that a formula
// written once serves a lone element and a vector alike.
inline double exp(double x) {
    return platform::library_exp(x);
}

inline double log(double x) {
    return platform::library_log(x);
}

inline double tanh(double x) {
    return std::tanh(x);
}

using Doubles = simd::Vec<double>;
using Words = simd::MaskOf<Doubles>;
using UWords = simd::Vec<unsigned long long>;
inline constexpr std::size_t kWidth = simd::kLanes<double>;

#if defined(__AVX512F__) || (defined(__AVX2__) && defined(__FMA__))
inline constexpr bool kVectorised = true;

namespace detail {

inline Doubles splat(double value) {
    return simd::splat<Doubles>(value);
}

inline Doubles from_bits(UWords bits) {
    return reinterpret_cast<Doubles>(bits);
}

inline UWords bits_of(Doubles v) {
    return reinterpret_cast<UWords>(v);
}

// a * b + c, a * b - c and c - a * b, rounded once (these builds have fused multiply-add).
inline Doubles fused(Doubles a, Doubles b, Doubles c) {
    return simd::mul_add(a, b, c);
}

inline Doubles fused_sub(Doubles a, Doubles b, Doubles c) {
    return simd::mul_add(a, b, -c);
}

inline Doubles fused_neg(Doubles a, Doubles b, Doubles c) {
    return simd::mul_add(-a, b, c);
}

// table[index[l]] in every lane l, as bits. (Lane by lane: on the processors at hand
// this is no slower than the gather instructions.)
inline UWords gather_bits(const void* table, UWords index) {
    const auto* t = static_cast<const std::uint64_t*>(table);
    UWords bits;
    for (std::size_t l = 0; l < kWidth; ++l) {
        bits[l] = t[index[l]];
    }
    return bits;
}

inline Doubles gather(const double* table, UWords index) {
    return from_bits(gather_bits(table, index));
}

inline UWords gather(const std::uint64_t* table, UWords index) {
    return gather_bits(table, index);
}

// The integer value of a whole-number vector v with |v| < 2^51, as 64-bit words.
inline UWords integer_of(Doubles v) {
    return bits_of(v + splat(0x1.8p52)) - bits_of(splat(0x1.8p52));
}

// y with lane l replaced by f(x[l]) for every lane l in `lanes`.
template <class F>
inline Doubles finish_lanes(Doubles y, Doubles x, unsigned lanes, F f) {
    for (; lanes != 0; lanes &= lanes - 1) {
        const int l = __builtin_ctz(lanes);
        y[l] = f(x[l]);
    }
    return y;
}

// log(x) for x in [1 - 2^-4, 1 + 0x1.09p-4): the library's separate polynomial in
// r = x - 1, with r^2/2 split so that its high part is exact.
inline Doubles log_near_one(Doubles x) {
    const double* b = libm::kLogB;
    const Doubles r = x - splat(1.0);
    const Doubles r2 = r * r;
    const Doubles r3 = r * r2;
    const Doubles low = fused(r2, splat(b[3]), fused(r, splat(b[2]), splat(b[1])));
    const Doubles middle = fused(r2, splat(b[6]), fused(r, splat(b[5]), splat(b[4])));
    Doubles high = fused(r2, splat(b[9]), fused(r, splat(b[8]), splat(b[7])));
    high = fused(r3, splat(b[10]), high);
    const Doubles poly = fused(fused(high, r3, middle), r3, low);
    const Doubles shifted = fused(r, splat(0x1p27), r);
    const Doubles r_hi = fused_neg(splat(0x1p27), r, shifted);
    const Doubles r_lo = r - r_hi;
    const Doubles r_hi2 = r_hi * r_hi;
    const Doubles hi = fused(r_hi2, splat(b[0]), r);
    Doubles lo = fused(r_hi2, splat(b[0]), r - hi);
    lo = fused(splat(b[0]) * r_lo, r + r_hi, lo);
    const Doubles y = hi + fused(poly, r3, lo);
    return x == splat(1.0) ? splat(0.0) : y;
}

// expm1(a) for the arguments tanh passes: a in [2, 44) or in (-2, -2^-54]. The
// reduction a = k ln2 + r by the argument's range, then the rational approximation
// and the reconstruction chosen by k. (k = 1 needs a positive a below 1.5 ln2, which
// tanh never passes.)
inline Doubles expm1_for_tanh(Doubles a) {
    const double* q = libm::kExpm1Q;
    const Doubles magnitude = from_bits(bits_of(a) & 0x7fffffffffffffffULL);
    const Doubles half = splat(0.5);
    const Doubles one = splat(1.0);
    // k = 0 below 0.5 ln2, +-1 below 1.5 ln2 (both by the high word), else rounded.
    const Words small = magnitude < splat(0x1.62e43p-2);
    const Words near = magnitude < splat(0x1.0a2b2p0);
    const Words negative = a < splat(0.0);
    const Doubles rounded = simd::truncate(a * splat(libm::kExpm1InvLn2) + (negative ? -half : half));
    const Doubles k = small ? splat(0.0) : near ? (negative ? -one : one) : rounded;
    const Doubles hi = fused_neg(k, splat(libm::kExpm1Ln2Hi), a);
    const Doubles lo = k * splat(libm::kExpm1Ln2Lo);
    const Doubles x = hi - lo;
    const Doubles c = (hi - x) - lo;

    const Doubles hfx = x * half;
    const Doubles hxs = x * hfx;
    const Doubles r2 = fused(hxs, splat(q[3]), splat(q[2]));
    const Doubles r3 = fused(hxs, splat(q[5]), splat(q[4]));
    const Doubles h2 = hxs * hxs;
    const Doubles r1 = fused(hxs, splat(q[1]), one);
    const Doubles h4 = h2 * h2;
    const Doubles poly = fused(h4, r3, fused(h2, r2, r1));
    const Doubles t = fused_neg(poly, hfx, splat(3.0));
    const Doubles e = (poly - t) / fused_neg(x, t, splat(6.0)) * hxs;

    const Doubles k_zero = x - fused_sub(e, x, hxs);
    const Doubles e2 = fused_sub(e - c, x, c) - hxs;
    const Doubles k_minus_one = fused(half, x - e2, splat(-0.5));
    const UWords ki = integer_of(k);
    const Doubles power = from_bits((1023 - ki) << 52);  // 2^-k
    const Doubles wide = one - (e2 - x);                 // k <= -2 or k > 56: scaled, then minus 1
    const Doubles low_k = (one - power) - (e2 - x);      // 2 <= k <= 19
    const Doubles high_k = (x - (e2 + power)) + one;     // 20 <= k <= 56
    const Words is_wide = (k <= splat(-2.0)) | (k > splat(56.0));
    Doubles scaled = is_wide ? wide : k <= splat(19.0) ? low_k : high_k;
    scaled = from_bits(bits_of(scaled) + (ki << 52));
    scaled = is_wide ? scaled - one : scaled;
    return k == splat(0.0) ? k_zero : k == splat(-1.0) ? k_minus_one : scaled;
}

}  // namespace detail

// The library's exp: x = k ln2/128 + r, 2^(k/128) from the table, a degree-5
// polynomial in r. |x| below 2^-54 gives 1 + x; from 512 on, and for NaN, the library.
inline Doubles exp(Doubles x) {
    using namespace detail;
    const Doubles magnitude = from_bits(bits_of(x) & 0x7fffffffffffffffULL);
    const Words tiny = magnitude < splat(0x1p-54);
    const Words regular = magnitude < splat(512.0);

    Doubles kd = fused(x, splat(libm::kExpInvLn2N), splat(libm::kExpShift));
    const UWords ki = bits_of(kd);
    kd = kd - splat(libm::kExpShift);
    Doubles r = fused(kd, splat(libm::kExpNegLn2HiN), x);
    r = fused(kd, splat(libm::kExpNegLn2LoN), r);
    const UWords index = (ki & 127) << 1;
    const Doubles tail = from_bits(gather(libm::kExpTable, index));
    const UWords sbits = gather(libm::kExpTable + 1, index) + (ki << 45);
    const Doubles r2 = r * r;
    Doubles tmp = fused(fused(r, splat(libm::kExpC3), splat(libm::kExpC2)), r2, tail + r);
    tmp = fused(r2 * r2, fused(r, splat(libm::kExpC5), splat(libm::kExpC4)), tmp);
    const Doubles scale = from_bits(sbits);
    Doubles y = fused(scale, tmp, scale);

    y = tiny ? splat(1.0) + x : y;
    const unsigned rare = simd::lanes_of(~regular);
    if (rare != 0) [[unlikely]] {
        y = finish_lanes(y, x, rare, [](double v) { return platform::library_exp(v); });
    }
    return y;
}

// The library's log: x = 2^k z, z/c - 1 = r by the table entry of z's subinterval, a
// degree-6 polynomial in r; a polynomial of its own near 1. Zero, negative, subnormal
// and non-finite inputs go to the library.
inline Doubles log(Doubles x) {
    using namespace detail;
    const UWords ix = bits_of(x);
    const Words regular = (x >= splat(0x1p-1022)) & (x < splat(__builtin_inf()));
    const Words near_one = (x >= splat(0x1.ep-1)) & (x < splat(0x1.109p0));

    const UWords tmp = ix - libm::kLogOff;
    const UWords index = ((tmp >> (52 - libm::kLogTableBits)) & 127) << 1;
    const Doubles z = from_bits(ix - (tmp & (0xfffULL << 52)));
    const Doubles invc = gather(libm::kLogTable, index);
    const Doubles logc = gather(libm::kLogTable + 1, index);
    // The exponent k = tmp >> 52 (signed), as a double: 0x1p52 + (k + 2048), minus that offset.
    const Doubles kd = from_bits(((tmp >> 52) ^ 0x800) | 0x4330000000000000ULL) - splat(0x1p52 + 2048.0);
    const Doubles r = fused(z, invc, splat(-1.0));
    const Doubles w = fused(kd, splat(libm::kLogLn2Hi), logc);
    const Doubles hi = w + r;
    const Doubles lo = fused(kd, splat(libm::kLogLn2Lo), (w - hi) + r);
    const double* a = libm::kLogA;
    const Doubles r2 = r * r;
    const Doubles poly = fused(fused(r, splat(a[4]), splat(a[3])), r2, fused(r, splat(a[2]), splat(a[1])));
    Doubles y = fused(r * r2, poly, fused(r2, splat(a[0]), lo)) + hi;

    if (simd::lanes_of(near_one) != 0) {
        y = near_one ? log_near_one(x) : y;
    }
    const unsigned rare = simd::lanes_of(~regular);
    if (rare != 0) [[unlikely]] {
        y = finish_lanes(y, x, rare, [](double v) { return platform::library_log(v); });
    }
    return y;
}

// The library's tanh: below 2^-55 x (1 + x); below 1 -t / (t + 2) with t = expm1(-2|x|);
// below 22 1 - 2 / (t + 2) with t = expm1(2|x|); then +-1. The sign is x's; NaN and the
// infinities go to the library.
inline Doubles tanh(Doubles x) {
    using namespace detail;
    const Doubles sign = from_bits(bits_of(x) & 0x8000000000000000ULL);
    const Doubles magnitude = from_bits(bits_of(x) ^ bits_of(sign));
    const Words large = magnitude >= splat(1.0);
    const Doubles t = expm1_for_tanh(large ? magnitude + magnitude : magnitude * splat(-2.0));
    const Doubles minus_t = from_bits(bits_of(t) ^ 0x8000000000000000ULL);
    const Doubles quotient = (large ? splat(2.0) : minus_t) / (t + splat(2.0));
    Doubles z = large ? splat(1.0) - quotient : quotient;
    z = magnitude >= splat(22.0) ? splat(1.0) : z;
    Doubles y = from_bits(bits_of(z) ^ bits_of(sign));
    y = magnitude < splat(0x1p-55) ? x * (splat(1.0) + x) : y;
    const unsigned rare = simd::lanes_of(~(magnitude < splat(__builtin_inf())));
    if (rare != 0) [[unlikely]] {
        y = finish_lanes(y, x, rare, [](double v) { return std::tanh(v); });
    }
    return y;
}

#else
inline constexpr bool kVectorised = false;
#endif

// out[i] = f(in[i]...) for i < n, over arrays of doubles: a vector at a time where the
// functions above are vectorised, the last partial vector filled with zeros so that
// every element takes the same path; one element at a time otherwise.
template <class F, class... In>
inline void map_arrays(double* out, std::size_t n, F f, const In*... in) {
    if constexpr (kVectorised) {
        std::size_t i = 0;
        for (; i + kWidth <= n; i += kWidth) {
            simd::store(out + i, f(simd::load<Doubles>(in + i)...));
        }
        if (i < n) {
            const std::size_t rest = n - i;
            const auto padded = [&](const double* from) {
                double part[kWidth] = {};
                std::memcpy(part, from + i, rest * sizeof(double));
                return simd::load<Doubles>(part);
            };
            double result[kWidth];
            simd::store(result, f(padded(in)...));
            std::memcpy(out + i, result, rest * sizeof(double));
        }
    } else {
        for (std::size_t i = 0; i < n; ++i) {
            out[i] = f(in[i]...);
        }
    }
}

}  // namespace
}  // namespace MOSSWICK_ISA
}  // namespace mosswick::vecmath
