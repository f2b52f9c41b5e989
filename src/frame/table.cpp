// The registration table: one entry per function and class, in registration
// order. The C++ signature of each routine decides how its arguments are
// converted and how its result is built.
#include "frame/table.hpp"

#include "classic/levenshtein.hpp"
#include "classic/number_theory.hpp"
#include "classic/selection.hpp"
#include "classic/sorting.hpp"
#include "classic/statistics.hpp"
#include "dl/activations.hpp"
#include "frame/classes.hpp"
#include "frame/function.hpp"
#include "hashmap/hash_map.hpp"

namespace mosswick::frame {

using hashmap::HashMap;

namespace {

using enum Gil;

PyMethodDef kFunctions[] = {
    function<"quicksort(arr)", classic::quicksort, release>(),
    function<"quicksort_f64(arr)", classic::quicksort_f64, release>(),
    function<"mergesort(arr)", classic::mergesort, release>(),
    function<"parallel_sort(arr)", classic::parallel_sort, release>(),
    function<"binary_search(arr, target)", classic::binary_search>(),
    function<"kth_smallest(arr, k)", classic::kth_smallest, release>(),
    function<"top_k(arr, k)", classic::top_k, release>(),
    function<"dedup(arr)", classic::dedup, release>(),
    function<"levenshtein(a, b)", classic::levenshtein, release>(),
    function<"gcd(a, b)", classic::gcd>(),
    function<"lcm(a, b)", classic::lcm>(),
    function<"mod_pow(base, exp, modulus)", classic::mod_pow>(),
    function<"is_prime(n)", classic::is_prime>(),
    function<"sieve(limit)", classic::sieve, release>(),
    function<"fibonacci(n)", classic::fibonacci>(),
    function<"mean(arr)", classic::mean>(),
    function<"median(arr)", classic::median>(),
    function<"variance(arr)", classic::variance>(),
    function<"std_dev(arr)", classic::std_dev>(),
    function<"dot_product(a, b)", classic::dot_product>(),
    function<"matmul(a, b)", classic::matmul>(),
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
