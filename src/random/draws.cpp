// Uniform values for whole runs of words, and the normal draw: the ziggurat of
// Marsaglia and Tsang with 256 layers in its symmetric form. Every step is evaluated
// as written, in double precision, with the C library's exp, log and sqrt, so a
// seeded stream gives the same values on every machine.
#include "random/draws.hpp"

#include <array>
#include <bit>
#include <cmath>

#include "core/platform.hpp"
#include "random/stream_kernels.hpp"

namespace mosswick::random {

void uniforms_from_run(const std::uint32_t* words, std::size_t count, double* out) {
    dispatch<StreamKernels>().uniforms(words, count, out);
}

namespace {

constexpr std::size_t kLayers = 256;
constexpr double kR = 3.6541528853610088;        // where the tail begins
constexpr double kV = 0.00492867323399;          // the area of each layer
constexpr double kOpenOffset = 1.0 - 0x1.0p-53;  // turns [1, 2) into (0, 1)

double phi(double t) {
    return platform::library_exp(-(t * t) / 2.0);
}

struct Ziggurat {
    std::array<double, kLayers + 1> x;  // layer edges: x[0] = V / phi(R), x[1] = R, down to x[256] = 0
    std::array<double, kLayers + 1> f;  // phi at each edge
};

Ziggurat build_ziggurat() {
    Ziggurat z;
    z.x[0] = kV / phi(kR);
    z.x[1] = kR;
    for (std::size_t i = 1; i < kLayers - 1; ++i) {
        z.x[i + 1] = std::sqrt(-2.0 * platform::library_log(kV / z.x[i] + phi(z.x[i])));
    }
    z.x[kLayers] = 0.0;
    for (std::size_t i = 0; i <= kLayers; ++i) {
        z.f[i] = phi(z.x[i]);
    }
    // The table these values come from carries them so; they differ from phi in the last bits.
    z.f[0] = 0.000477467764586655;
    z.f[3] = 0.004037972593371872;
    z.f[94] = 0.2064054063986793;
    return z;
}

const Ziggurat& ziggurat() {
    static const Ziggurat z = build_ziggurat();
    return z;
}

// The double with exponent bits `exponent` and the high 52 bits of w as its fraction.
double with_fraction(std::uint64_t exponent, std::uint64_t w) {
    return std::bit_cast<double>(exponent | (w >> 12));
}

// A value in the open interval (0, 1) from the next 64-bit word.
double draw_open(Generator& g) {
    return with_fraction(0x3FF0000000000000, g.next_u64()) - kOpenOffset;
}

}  // namespace

double draw_standard_normal(Generator& g) {
    const Ziggurat& z = ziggurat();
    for (;;) {
        const std::uint64_t w = g.next_u64();
        const std::size_t i = w & (kLayers - 1);
        const double u = with_fraction(0x4000000000000000, w) - 3.0;  // [-1, 1)
        const double x = u * z.x[i];
        if (std::fabs(x) < z.x[i + 1]) {
            return x;
        }
        if (i == 0) {
            double tx;
            double ty;
            do {
                const double a = draw_open(g);
                const double b = draw_open(g);
                tx = platform::library_log(a) / kR;
                ty = platform::library_log(b);
            } while (!(-2.0 * ty >= tx * tx));
            return u < 0.0 ? tx - kR : kR - tx;
        }
        if (z.f[i + 1] + (z.f[i] - z.f[i + 1]) * draw_uniform(g) < phi(x)) {
            return x;
        }
    }
}

}  // namespace mosswick::random
