#include "vecmath/vector_math_probe.hpp"

#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <initializer_list>
#include <limits>
#include <string_view>
#include <vector>

#include "core/platform.hpp"

namespace mosswick::vecmath {

namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kMin = std::numeric_limits<double>::min();
constexpr double kMax = std::numeric_limits<double>::max();
constexpr double kTiny = std::numeric_limits<double>::denorm_min();
constexpr double kLn2 = 0x1.62e42fefa39efp-1;

class Inputs {
public:
    // x and the doubles on either side of it.
    Inputs& around(double x) {
        values_.push_back(std::nextafter(x, -kInf));
        values_.push_back(x);
        values_.push_back(std::nextafter(x, kInf));
        return *this;
    }
    Inputs& both_signs(double x) { return around(x).around(-x); }
    Inputs& bits(std::uint64_t b) {
        values_.push_back(std::bit_cast<double>(b));
        return *this;
    }
    // m * 2^e for e in [low, high] step `step` and m in {1, 1.3, 1.75}, both signs.
    Inputs& binades(int low, int high, int step) {
        for (int e = low; e <= high; e += step) {
            for (double m : {1.0, 1.3, 1.75}) {
                values_.push_back(std::ldexp(m, e));
                values_.push_back(-std::ldexp(m, e));
            }
        }
        return *this;
    }
    Inputs& specials() {
        for (double x : {0.0, kInf, kMin, kTiny, 3 * kTiny, kMax, 1.0}) {
            values_.push_back(x);
            values_.push_back(-x);
        }
        return bits(0x7ff8000000000000).bits(0xfff8000000000000).bits(0x7ff8000000000123).bits(0x7ff4000000000001);
    }
    std::vector<double> take() { return std::move(values_); }

private:
    std::vector<double> values_;
};

// The inputs after the specials are, in order: the boundaries between the algorithm's
// ranges, inputs over all exponents it treats, and inputs on which the library's build
// with fused multiply-adds and its build without them give different results.
std::vector<double> exp_inputs() {
    Inputs in;
    in.specials().both_signs(0x1p-54).both_signs(512.0).both_signs(1024.0);
    in.around(0x1.62e42fefa39efp9).around(709.7827128933841);      // the largest finite result
    in.around(-708.3964185322641).around(-708.3964185322642);      // the smallest normal result
    in.around(-745.1332191019411).around(-745.1332191019412);      // the smallest non-zero result
    for (double x : {-709.0, -715.5, -723.25, -730.0, -737.75, -744.0}) {  // subnormal results
        in.around(x);
    }
    for (int k : {0, 1, 63, 64, 127, 128, 255, -1, -64, -128, -129, 65535}) {  // where k = round(128 x / ln 2) steps
        in.both_signs((k + 0.5) * kLn2 / 128);
    }
    in.binades(-54, 9, 1);
    for (std::uint64_t b : std::initializer_list<std::uint64_t>{0xc054e7aa01196776, 0x406d469150b5ab61, 0xc069b5abd210346d, 0x4072189508ebe072,
                            0x40767428905178d5, 0xc05f0d837695a509}) {
        in.bits(b);
    }
    return in.take();
}

std::vector<double> log_inputs() {
    Inputs in;
    in.specials().around(1.0).around(0x1.ep-1).around(0x1.109p0).around(-1.0);
    in.around(kMin).around(0x1p-1060).around(0x1.23456789abcdp-1030);  // subnormal inputs
    for (int k : {-1022, -3, -1, 0, 1, 7, 1023}) {  // the table's subintervals, at several exponents
        for (std::uint64_t i : {0, 1, 63, 64, 126, 127}) {
            in.around(std::ldexp(std::bit_cast<double>(0x3fe6000000000000 + (i << 45)), k));
        }
    }
    in.binades(-1022, 1023, 11);
    for (std::uint64_t b : std::initializer_list<std::uint64_t>{0x40bc7ddabad5c9be, 0x3ee8e781b187c841, 0x3fe96c1a7618ea6c, 0x3ff5ae6bf2ec2283,
                            0x3ff0bde902826ad1, 0x3fee275601e9983f, 0x3ff0985f746ab65d, 0x3ff0d9c780422863}) {
        in.bits(b);
    }
    return in.take();
}

std::vector<double> tanh_inputs() {
    Inputs in;
    in.specials().both_signs(0x1p-55).both_signs(1.0).both_signs(22.0);
    // Where expm1(-2|x|) changes its reduction (k = 0, -1, rounded).
    in.both_signs(0x1.62e43p-3).both_signs(0x1.0a2b2p-1);
    // Where expm1(2|x|) changes its reconstruction (k = 19 | 20, 56 | 57) and its range (56 ln2).
    for (int k : {19, 20, 56, 57}) {
        in.both_signs((k + 0.5) * kLn2 / 2);
    }
    in.both_signs(0x1.3687ap4);
    in.binades(-56, 5, 1);
    for (std::uint64_t b : std::initializer_list<std::uint64_t>{0xbfc5fb18f932579c, 0x3fe0f827ae2c61e8, 0xbfbf895ad38976f0, 0xbfc4235498392850,
                            0x3ff8f9b29346f600, 0x4007bf373f687eed, 0x3ff23d39104ee0fc, 0x3ff479d3575c31a6}) {
        in.bits(b);
    }
    return in.take();
}

std::vector<double> inputs(Function f) {
    switch (f) {
        case Function::exp:
            return exp_inputs();
        case Function::log:
            return log_inputs();
        case Function::tanh:
            break;
    }
    return tanh_inputs();
}

double library(Function f, double x) {
    switch (f) {
        case Function::exp:
            return platform::library_exp(x);
        case Function::log:
            return platform::library_log(x);
        case Function::tanh:
            break;
    }
    return std::tanh(x);
}

// For the tests of the fallback: MOSSWICK_TEST_PROBE_MISMATCH=exp,tanh (any of exp,
// log, tanh) makes the probe of each named function see one wrong result.
bool mismatch_forced(Function f) {
    const char* value = std::getenv("MOSSWICK_TEST_PROBE_MISMATCH");
    if (value == nullptr) {
        return false;
    }
    const std::string_view name = f == Function::exp ? "exp" : f == Function::log ? "log" : "tanh";
    std::string_view list = value;
    while (!list.empty()) {
        const std::size_t comma = list.find(',');
        if (list.substr(0, comma) == name) {
            return true;
        }
        list = comma == std::string_view::npos ? std::string_view{} : list.substr(comma + 1);
    }
    return false;
}

bool agrees(const MathKernels& kernels, Function f) {
    const std::vector<double> x = inputs(f);
    std::vector<double> y(x.size());
    kernels[f](x.data(), y.data(), x.size());
    const bool forced = mismatch_forced(f);
    for (std::size_t i = 0; i < x.size(); ++i) {
        std::uint64_t expected = std::bit_cast<std::uint64_t>(library(f, x[i]));
        if (forced && i == 0) {
            expected ^= 1;
        }
        if (std::bit_cast<std::uint64_t>(y[i]) != expected) {
            return false;
        }
    }
    return true;
}

std::array<bool, 3> decide() {
    if (instruction_set() == Isa::portable) {
        return {false, false, false};
    }
    const MathKernels& kernels = dispatch<MathKernels>();
    return {agrees(kernels, Function::exp), agrees(kernels, Function::log), agrees(kernels, Function::tanh)};
}

}  // namespace

bool vectorised(Function f) {
    static const std::array<bool, 3> verdicts = decide();
    return verdicts[static_cast<std::size_t>(f)];
}

std::size_t probe_size(Function f) {
    return inputs(f).size();
}

}  // namespace mosswick::vecmath
