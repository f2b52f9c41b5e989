// The vector exp, log and tanh of src/vecmath next to the C library's, outside the module.
// Built and driven by tools/vector_math_check.py (and the suite, through it).
//
//   status                 the kernel build, and per function whether the kernels use the
//                          vector version and the size of its probe set
//   map FUNCTION IN OUT    OUT = FUNCTION of every double in the file IN (raw, native
//                          order), as the kernels evaluate it (vector or library)
//   compare COUNT SEED     COUNT random inputs per function through the running build's
//                          vector versions (whatever the probe decided), each compared
//                          bit for bit with the library; prints the counts
//   time                   single-threaded nanoseconds per element, vector and library
#include <bit>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string_view>
#include <vector>

#include "core/isa.hpp"
#include "vecmath/vector_math_probe.hpp"

using namespace mosswick;
using vecmath::Function;

namespace {

constexpr Function kFunctions[] = {Function::exp, Function::log, Function::tanh};

const char* name(Function f) {
    return f == Function::exp ? "exp" : f == Function::log ? "log" : "tanh";
}

const char* name(Isa isa) {
    return isa == Isa::avx512 ? "avx512" : isa == Isa::avx2 ? "avx2" : "portable";
}

double library(Function f, double x) {
    return f == Function::exp ? std::exp(x) : f == Function::log ? std::log(x) : std::tanh(x);
}

// Random inputs that reach every range of f's algorithm: random bit patterns (every
// exponent, both signs, the specials), and values spread over the ranges the
// algorithm treats in its main path.
void fill_random(Function f, std::mt19937_64& bits, std::vector<double>& x) {
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    for (std::size_t i = 0; i < x.size(); ++i) {
        const std::uint64_t b = bits();
        const double u = unit(bits);
        const double sign = (b >> 11) & 1 ? -1.0 : 1.0;
        const int kind = static_cast<int>(b & 3);
        if (kind == 0) {
            x[i] = std::bit_cast<double>(bits());
            continue;
        }
        switch (f) {
            case Function::exp:  // |x| from 2^-60 to 2^10; all of [-746, 710]
                x[i] = kind == 1 ? sign * std::ldexp(1.0 + u, static_cast<int>(b >> 12) % 71 - 61)
                                 : -746.0 + u * 1456.0;
                break;
            case Function::log:  // every positive exponent; close to 1
                x[i] = kind == 1 ? std::ldexp(1.0 + u, static_cast<int>(b >> 12) % 2100 - 1075)
                                 : 0.9 + u * 0.2;
                break;
            case Function::tanh:  // |x| from 2^-60 to 2^6; all of [-25, 25]
                x[i] = kind == 1 ? sign * std::ldexp(1.0 + u, static_cast<int>(b >> 12) % 67 - 61)
                                 : -25.0 + u * 50.0;
                break;
        }
    }
}

int status() {
    std::printf("isa %s\n", name(instruction_set()));
    for (Function f : kFunctions) {
        std::printf("%s %s probe %zu\n", name(f), vecmath::vectorised(f) ? "vector" : "library",
                    vecmath::probe_size(f));
    }
    return 0;
}

Function parse(std::string_view text) {
    for (Function f : kFunctions) {
        if (text == name(f)) {
            return f;
        }
    }
    std::fprintf(stderr, "unknown function %.*s\n", static_cast<int>(text.size()), text.data());
    std::exit(2);
}

int map(Function f, const char* in_path, const char* out_path) {
    std::FILE* in = std::fopen(in_path, "rb");
    if (in == nullptr) {
        return 2;
    }
    std::vector<double> x;
    double block[4096];
    for (std::size_t got; (got = std::fread(block, sizeof(double), 4096, in)) > 0;) {
        x.insert(x.end(), block, block + got);
    }
    std::fclose(in);
    std::vector<double> y(x.size());
    vecmath::kernels_for<vecmath::MathKernels>(f)[f](x.data(), y.data(), x.size());
    std::FILE* out = std::fopen(out_path, "wb");
    if (out == nullptr || std::fwrite(y.data(), sizeof(double), y.size(), out) != y.size()) {
        return 2;
    }
    std::fclose(out);
    return 0;
}

int compare(std::size_t count, std::uint64_t seed) {
    const vecmath::MathKernels& kernels = dispatch<vecmath::MathKernels>();
    constexpr std::size_t kBatch = 1 << 20;
    std::vector<double> x(kBatch);
    std::vector<double> y(kBatch);
    bool all_equal = true;
    for (Function f : kFunctions) {
        std::mt19937_64 bits(seed + static_cast<std::uint64_t>(f));
        std::size_t differences = 0;
        for (std::size_t done = 0; done < count; done += kBatch) {
            const std::size_t n = std::min(kBatch, count - done);
            x.resize(n);
            y.resize(n);
            fill_random(f, bits, x);
            kernels[f](x.data(), y.data(), n);
            for (std::size_t i = 0; i < n; ++i) {
                if (std::bit_cast<std::uint64_t>(y[i]) != std::bit_cast<std::uint64_t>(library(f, x[i]))) {
                    if (differences++ < 10) {
                        std::printf("  %s(%a) = %a, the library gives %a\n", name(f), x[i], y[i], library(f, x[i]));
                    }
                }
            }
        }
        std::printf("%s %s: %zu inputs, %zu differ\n", name(instruction_set()), name(f), count, differences);
        all_equal = all_equal && differences == 0;
    }
    return all_equal ? 0 : 1;
}

template <class F>
double best_of(int rounds, F f) {
    double best = 1e30;
    for (int r = 0; r < rounds; ++r) {
        const auto start = std::chrono::steady_clock::now();
        f();
        best = std::min(best, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    return best;
}

int time() {
    const vecmath::MathKernels& kernels = dispatch<vecmath::MathKernels>();
    constexpr std::size_t kCount = 1 << 16;
    std::vector<double> x(kCount);
    std::vector<double> y(kCount);
    std::mt19937_64 bits(5);
    std::normal_distribution<double> normal(0.0, 3.0);
    for (Function f : kFunctions) {
        for (double& v : x) {
            v = normal(bits);
            v = f == Function::log ? std::fabs(v) : v;
        }
        const double vector = best_of(50, [&] { kernels[f](x.data(), y.data(), kCount); });
        const double scalar = best_of(50, [&] {
            for (std::size_t i = 0; i < kCount; ++i) {
                y[i] = library(f, x[i]);
            }
        });
        std::printf("%s %s: %.2f ns per element, the library %.2f ns\n", name(instruction_set()), name(f),
                    vector * 1e9 / kCount, scalar * 1e9 / kCount);
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string_view mode = argc > 1 ? argv[1] : "";
    if (mode == "status" && argc == 2) {
        return status();
    }
    if (mode == "map" && argc == 5) {
        return map(parse(argv[2]), argv[3], argv[4]);
    }
    if (mode == "compare" && argc == 4) {
        return compare(std::strtoull(argv[2], nullptr, 10), std::strtoull(argv[3], nullptr, 10));
    }
    if (mode == "time" && argc == 2) {
        return time();
    }
    std::fprintf(stderr, "usage: %s status | map FUNCTION IN OUT | compare COUNT SEED | time\n", argv[0]);
    return 2;
}
