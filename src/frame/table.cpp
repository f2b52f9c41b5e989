// One entry per function, in registration order; the C++ signature of each
// routine decides how its arguments are converted and its result is built.
#include "frame/table.hpp"

#include "classic/number_theory.hpp"
#include "frame/function.hpp"

namespace mosswick::frame {

namespace {

using enum Gil;

PyMethodDef kFunctions[] = {
    function<"gcd(a, b)", classic::gcd>(),
    function<"lcm(a, b)", classic::lcm>(),
    function<"mod_pow(base, exp, modulus)", classic::mod_pow>(),
    function<"is_prime(n)", classic::is_prime>(),
    function<"sieve(limit)", classic::sieve, release>(),
    function<"fibonacci(n)", classic::fibonacci>(),
};

}  // namespace

std::span<PyMethodDef> functions() {
    return kFunctions;
}

std::span<const TypeFactory> classes() {
    return {};
}

}  // namespace mosswick::frame
