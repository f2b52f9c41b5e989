// The registration table: one entry per function and class, in registration
// order. The C++ signature of each routine decides how its arguments are
// converted and how its result is built.
#include "module/table.hpp"

#include <string>

#include "classic/levenshtein.hpp"
#include "classic/number_theory.hpp"
#include "classic/selection.hpp"
#include "classic/sorting.hpp"
#include "classic/statistics.hpp"
#include "dl/activations.hpp"
#include "dl/dropout.hpp"
#include "dl/losses.hpp"
#include "dl/one_hot.hpp"
#include "dl/optimizers.hpp"
#include "dl/softmax.hpp"
#include "frame/function.hpp"
#include "hashmap/hash_map.hpp"
#include "ml/kmeans.hpp"
#include "ml/linear_algebra.hpp"
#include "ml/pairwise.hpp"
#include "module/classes.hpp"
#include "tensor/tensor.hpp"

namespace mosswick::module {

using frame::attribute;
using frame::class_method;
using frame::function;
using frame::Literal;
using frame::method;
using frame::PyClass;
using frame::Signature;
using hashmap::HashMap;
using tensor::Tensor;

namespace {

using enum frame::Gil;

// An activation's row: its routine takes x alone, or x and alpha.
template <Literal S, dl::Activation A>
PyMethodDef activation(const char* doc) {
    if constexpr (Signature<S>::arity == 1) {
        return function<S, dl::activation<A>, release>(doc);
    } else {
        return function<S, dl::activation_with_alpha<A>, release>(doc);
    }
}

#define MOSSWICK_ACTIVATION_ROW(name, parameters, library, doc) \
    activation<#name "(x" parameters ")", dl::Activation::name>(doc),

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
    function<"kmeans(data, k, max_iters, tolerance)", ml::kmeans, release>(),
    function<"pairwise_manhattan(matrix_a, matrix_b)", ml::pairwise_manhattan, release>(),
    function<"pairwise_cosine(matrix_a, matrix_b)", ml::pairwise_cosine, release>(),
    function<"determinant(matrix)", ml::determinant, release>(),
    function<"matrix_inverse(matrix)", ml::matrix_inverse, release>(),
    MOSSWICK_ACTIVATIONS(MOSSWICK_ACTIVATION_ROW)
    function<"softmax(x)", dl::softmax, release>(
        "Row-wise softmax over a (batch, classes) matrix. Numerically stable \u2014\n"
        "subtracts the row max before exponentiating, which a naive\n"
        "`exp(x) / sum(exp(x))` implementation typically skips and then overflows\n"
        "on any reasonably large logit."),
    function<"softmax_cross_entropy(logits, targets)", dl::softmax_cross_entropy, release>(
        "Fused softmax + cross-entropy: computes the mean loss AND the gradient\n"
        "w.r.t. the logits in a single pass, ready to backprop directly. This is\n"
        "exactly what PyTorch's `F.cross_entropy` does internally \u2014 computing\n"
        "softmax and cross-entropy as separate steps in Python is both slower\n"
        "(two full passes over the data) and less numerically stable (you'd be\n"
        "taking log() of an already-exponentiated, already-normalized value).\n"
        "`targets` is class indices (like PyTorch), not one-hot vectors."),
    function<"one_hot(indices, num_classes)", dl::one_hot, release>(
        "One-hot encode class indices into a (n, num_classes) float matrix."),
    function<"mse_loss(predictions, targets)", dl::mse_loss, release>(),
    function<"categorical_cross_entropy(predictions, targets)", dl::categorical_cross_entropy, release>(),
    function<"mae_loss(predictions, targets)", dl::mae_loss, release>(
        "Mean Absolute Error (MAE / L1) Loss: L = (1/N) * sum(|y_pred - y_true|)"),
    function<"bce_loss(predictions, targets)", dl::bce_loss, release>(
        "Binary Cross Entropy (BCE) Loss: L = -(1/N) * sum(y_true*log(y_pred) + (1-y_true)*log(1-y_pred))"),
    function<"sgd_momentum_step(params, grads, velocity, lr, momentum)", dl::sgd_momentum_step, release>(),
    function<"adam_step(params, grads, m, v, lr=0.001, beta1=0.9, beta2=0.999, eps=1e-8, t=1)", dl::adam_step,
             release>(
        "Adam optimizer step. `m` and `v` are the first/second moment buffers\n"
        "the caller owns and passes back in each step; `t` is the 1-indexed\n"
        "timestep, used for bias correction."),
    function<"clip_grad_norm(grads, max_norm)", dl::clip_grad_norm, release>(
        "Clips gradients in place by global L2 norm (matches\n"
        "torch.nn.utils.clip_grad_norm_ semantics) and returns the pre-clip norm,\n"
        "useful for logging/debugging exploding gradients."),
    function<"dropout(x, p, seed=None)", dl::dropout, release>(
        "Inverted dropout: zeroes each element with probability `p` and scales\n"
        "survivors by 1/(1-p), so no rescaling is needed at inference time.\n"
        "Pass `seed` for reproducible masks (e.g. in tests), omit it for a fresh\n"
        "random mask drawn from a thread-local RNG each call."),
};

#undef MOSSWICK_ACTIVATION_ROW

// Member order: data, the methods, shape and strides, as the class presents them.
PyMethodDef kTensorMethods[] = {
    method<"sub($self, other)", tensor::sub, release>(),
    method<"mul_elementwise($self, other)", tensor::mul_elementwise, release>(),
    method<"mul_scalar($self, scalar)", tensor::mul_scalar, release>(),
    method<"reshape($self, new_shape)", tensor::reshape>(),
    method<"add($self, other)", tensor::add, release>(),
    method<"matmul($self, other, transpose_a=False, transpose_b=False)", tensor::matmul, release>(),
    method<"to_list($self)", tensor::to_list>(),
    class_method<Tensor, "rand($cls, shape, seed=None)", tensor::rand, release>(),
    class_method<Tensor, "randn($cls, shape, seed=None)", tensor::randn, release>(),
    method<"add_bias_inplace($self, bias)", tensor::add_bias_inplace, release>(),
    method<"relu_inplace($self)", tensor::relu_inplace, release>(),
    method<"relu_derivative($self)", tensor::relu_derivative, release>(),
    {},
};

PyGetSetDef kTensorAttributes[] = {
    attribute<"data", tensor::data_of>(),
    attribute<"shape", tensor::shape_of>(),
    attribute<"strides", tensor::strides_of>(),
    {},
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

// The class of T, created on first use: its constructor takes the parameters S, such
// as "(array)", and F makes the value; its documentation is the class name and S.
template <class T, Literal S, auto F>
PyTypeObject* class_type(PyMethodDef* methods, PyGetSetDef* attributes, lenfunc length = nullptr) {
    static const std::string doc = std::string(PyClass<T>::name) + std::string(S.view()) + "\n--\n\n";
    static PyTypeObject* type = nullptr;  // guarded by the interpreter lock
    if (type == nullptr) {
        type = frame::create_class<T>(doc.c_str(), frame::constructor<S, F>(), methods, attributes, length);
    }
    return type;
}

const TypeFactory kClasses[] = {
    &PyClass<Tensor>::type,
    &PyClass<HashMap>::type,
};

}  // namespace

std::span<PyMethodDef> functions() {
    return kFunctions;
}

std::span<const TypeFactory> classes() {
    return kClasses;
}

}  // namespace mosswick::module

namespace mosswick {

PyTypeObject* frame::PyClass<tensor::Tensor>::type() {
    return module::class_type<tensor::Tensor, "(array)", tensor::from_array>(module::kTensorMethods,
                                                                            module::kTensorAttributes);
}

PyTypeObject* frame::PyClass<hashmap::HashMap>::type() {
    return module::class_type<hashmap::HashMap, "()", module::new_hash_map>(
        module::kHashMapMethods, nullptr, frame::length<&hashmap::HashMap::size>());
}

}  // namespace mosswick
