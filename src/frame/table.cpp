// The registration table: one entry per function and class, in registration
// order. The C++ signature of each routine decides how its arguments are
// converted and how its result is built.
#include "frame/table.hpp"

#include "classic/number_theory.hpp"
#include "dl/activations.hpp"
#include "frame/classes.hpp"
#include "frame/function.hpp"
#include "hashmap/hash_map.hpp"
#include "ml/kmeans.hpp"
#include "ml/linear_algebra.hpp"
#include "ml/pairwise.hpp"

namespace mosswick::frame {

using hashmap::HashMap;

namespace {

using enum Gil;

PyMethodDef kFunctions[] = {
    function<"gcd(a, b)", classic::gcd>(),
    function<"lcm(a, b)", classic::lcm>(),
    function<"mod_pow(base, exp, modulus)", classic::mod_pow>(),
    function<"is_prime(n)", classic::is_prime>(),
    function<"sieve(limit)", classic::sieve, release>(),
    function<"fibonacci(n)", classic::fibonacci>(),
    function<"kmeans(data, k, max_iters, tolerance)", ml::kmeans, release>(),
    function<"pairwise_manhattan(matrix_a, matrix_b)", ml::pairwise_manhattan, release>(),
    function<"pairwise_cosine(matrix_a, matrix_b)", ml::pairwise_cosine, release>(),
    function<"determinant(matrix)", ml::determinant, release>(),
    function<"matrix_inverse(matrix)", ml::matrix_inverse, release>(),
    function<"relu(x)", dl::relu, release>(),
    function<"relu_derivative(x)", dl::relu_derivative, release>(),
    function<"leaky_relu(x, alpha=0.01)", dl::leaky_relu, release, 0.01>(
        "Leaky ReLU: avoids the \"dead neuron\" problem where a standard ReLU\n"
        "permanently zeroes out a unit whose input never goes positive again."),
    function<"leaky_relu_derivative(x, alpha=0.01)", dl::leaky_relu_derivative, release, 0.01>(),
    function<"elu(x, alpha=1.0)", dl::elu, release, 1.0>(
        "ELU: smooth for x < 0 (unlike Leaky ReLU's hard kink), which can speed\n"
        "up convergence by keeping mean activations closer to zero."),
    function<"elu_derivative(x, alpha=1.0)", dl::elu_derivative, release, 1.0>(),
    function<"gelu(x)", dl::gelu, release>(
        "GELU (tanh approximation) \u2014 the activation used in BERT/GPT-style\n"
        "transformers. Smoother than ReLU everywhere, which matters for\n"
        "transformer training stability."),
    function<"silu(x)", dl::silu, release>(
        "Swish / SiLU: x * sigmoid(x). Used in EfficientNet and several modern\n"
        "architectures; unlike ReLU, it's non-monotonic and smooth everywhere."),
    function<"silu_derivative(x)", dl::silu_derivative, release>(),
    function<"sigmoid(x)", dl::sigmoid, release>(),
    function<"sigmoid_derivative(x)", dl::sigmoid_derivative, release>(),
    function<"tanh(x)", dl::tanh, release>(),
    function<"tanh_derivative(x)", dl::tanh_derivative, release>(),
};

HashMap new_hash_map() {
    return HashMap();
}

PyMethodDef kHashMapMethods[] = {
    method<"insert($self, key, value)", &HashMap::insert>(),
    method<"get($self, key)", &HashMap::get>(),
    method<"remove($self, key)", &HashMap::remove>(),
    method<"contains($self, key)", &HashMap::contains>(),
    method<"keys($self)", &HashMap::keys>(),
    method<"values($self)", &HashMap::values>(),
    method<"items($self)", &HashMap::items>(),
    {},
};

const TypeFactory kClasses[] = {
    &PyClass<HashMap>::type,
};

}  // namespace

PyTypeObject* PyClass<HashMap>::type() {
    static PyTypeObject* type = nullptr;  // guarded by the interpreter lock
    if (type == nullptr) {
        type = create_class<HashMap>("MosswickHashMap()\n--\n\n", constructor<"()", new_hash_map>(),
                                     kHashMapMethods, nullptr, length<&HashMap::size>());
    }
    return type;
}

std::span<PyMethodDef> functions() {
    return kFunctions;
}

std::span<const TypeFactory> classes() {
    return kClasses;
}

}  // namespace mosswick::frame
