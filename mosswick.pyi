"""Fast numeric and algorithmic routines, written in C++."""

from collections.abc import Sequence
from typing import Any

import numpy as np
from numpy.typing import NDArray

_Float64Array = NDArray[np.float64]
_Int64Array = NDArray[np.int64]

__all__: list[str]

# Sorting
def quicksort(arr: Sequence[int]) -> list[int]:
    """A new ascending list, by randomised three-way quicksort."""

def quicksort_f64(arr: Sequence[float]) -> list[float]:
    """A new list of floats: the non-NaN values ascending (-0.0 before 0.0), then the NaNs."""

def mergesort(arr: Sequence[int]) -> list[int]:
    """A new ascending list, by stable top-down merge sort."""

def parallel_sort(arr: Sequence[int]) -> list[int]:
    """A new ascending list; from 50,000 items sorted in chunks on threads of its own, then merged."""

# Searching and selection
def binary_search(arr: Sequence[int], target: int) -> int | None:
    """The index of an item equal to target in the ascending list, or None."""

def kth_smallest(arr: Sequence[int], k: int) -> int:
    """The k-th smallest item (k from 1); IndexError "k out of range" otherwise."""

def top_k(arr: Sequence[int], k: int) -> list[int]:
    """The min(k, len(arr)) largest items, largest first."""

def dedup(arr: Sequence[int]) -> list[int]:
    """The distinct items in order of first appearance."""

def levenshtein(a: str, b: str) -> int:
    """The edit distance between the UTF-8 encodings of a and b."""

# Number theory
def gcd(a: int, b: int) -> int:
    """The greatest common divisor, never negative."""

def lcm(a: int, b: int) -> int:
    """The least common multiple, never negative, exact."""

def mod_pow(base: int, exp: int, modulus: int) -> int:
    """base ** exp % modulus for unsigned 64-bit operands."""

def is_prime(n: int) -> bool:
    """Whether the unsigned 64-bit n is prime (deterministic)."""

def sieve(limit: int) -> list[int]:
    """Every prime p with 2 <= p <= limit, ascending."""

def fibonacci(n: int) -> int:
    """The Fibonacci number F(n), for n from 0 to 93."""

# Statistics, vector products and edit distance
def mean(arr: Sequence[float]) -> float:
    """The arithmetic mean (0.0 for an empty list)."""

def median(arr: Sequence[float]) -> float:
    """The median (0.0 for an empty list)."""

def variance(arr: Sequence[float]) -> float:
    """The population variance, two-pass (0.0 for an empty list)."""

def std_dev(arr: Sequence[float]) -> float:
    """The population standard deviation (0.0 for an empty list)."""

def dot_product(a: Sequence[float], b: Sequence[float]) -> float:
    """The sum of a[i] * b[i], left to right; the lengths must match."""

def matmul(a: Sequence[Sequence[float]], b: Sequence[Sequence[float]]) -> list[list[float]]:
    """The matrix product of two lists of rows, skipping zero entries of a."""

# Machine-learning routines
def kmeans(
    data: Sequence[Sequence[float]], k: int, max_iters: int, tolerance: float
) -> tuple[list[list[float]], list[int]]:
    """Deterministic Lloyd's k-means: (centroids, labels)."""

def pairwise_manhattan(
    matrix_a: Sequence[Sequence[float]], matrix_b: Sequence[Sequence[float]]
) -> list[list[float]]:
    """The L1 distance between every row of matrix_a and every row of matrix_b."""

def pairwise_cosine(
    matrix_a: Sequence[Sequence[float]], matrix_b: Sequence[Sequence[float]]
) -> list[list[float]]:
    """The cosine similarity between every row of matrix_a and every row of matrix_b."""

def determinant(matrix: Sequence[Sequence[float]]) -> float:
    """The determinant, by Gaussian elimination with partial pivoting."""

def matrix_inverse(matrix: Sequence[Sequence[float]]) -> list[list[float]]:
    """The inverse, by Gauss-Jordan elimination with partial pivoting."""

# Activations and derivatives
def relu(x: _Float64Array) -> _Float64Array:
    """max(x, 0) element by element."""

def relu_derivative(x: _Float64Array) -> _Float64Array:
    """1.0 where x > 0, else 0.0."""

def leaky_relu(x: _Float64Array, alpha: float = 0.01) -> _Float64Array:
    """x where x > 0, else x * alpha."""

def leaky_relu_derivative(x: _Float64Array, alpha: float = 0.01) -> _Float64Array:
    """1.0 where x > 0, else alpha."""

def elu(x: _Float64Array, alpha: float = 1.0) -> _Float64Array:
    """x where x > 0, else (exp(x) - 1) * alpha."""

def elu_derivative(x: _Float64Array, alpha: float = 1.0) -> _Float64Array:
    """1.0 where x > 0, else exp(x) * alpha."""

def gelu(x: _Float64Array) -> _Float64Array:
    """GELU, tanh approximation."""

def silu(x: _Float64Array) -> _Float64Array:
    """x * sigmoid(x)."""

def silu_derivative(x: _Float64Array) -> _Float64Array:
    """The derivative of SiLU at x."""

def sigmoid(x: _Float64Array) -> _Float64Array:
    """1 / (1 + exp(-x))."""

def sigmoid_derivative(x: _Float64Array) -> _Float64Array:
    """sigmoid(x) * (1 - sigmoid(x))."""

def tanh(x: _Float64Array) -> _Float64Array:
    """The hyperbolic tangent."""

def tanh_derivative(x: _Float64Array) -> _Float64Array:
    """1 - tanh(x) ** 2."""

# Softmax, fused cross-entropy and one-hot
def softmax(x: _Float64Array) -> _Float64Array:
    """Row-wise softmax of a C-contiguous (batch, classes) matrix."""

def softmax_cross_entropy(logits: _Float64Array, targets: _Int64Array) -> tuple[float, _Float64Array]:
    """(mean cross-entropy loss, its gradient with respect to the logits)."""

def one_hot(indices: _Int64Array, num_classes: int) -> _Float64Array:
    """A (n, num_classes) matrix of zeros with a one per row."""

# Losses
def mse_loss(predictions: _Float64Array, targets: _Float64Array) -> float:
    """Mean squared error."""

def categorical_cross_entropy(predictions: _Float64Array, targets: _Float64Array) -> float:
    """Mean of -t * ln(clamped p) over all elements."""

def mae_loss(predictions: _Float64Array, targets: _Float64Array) -> float:
    """Mean absolute error."""

def bce_loss(predictions: _Float64Array, targets: _Float64Array) -> float:
    """Binary cross-entropy of clamped predictions."""

# Optimizer steps and gradient clipping (update caller-owned arrays in place)
def sgd_momentum_step(
    params: _Float64Array, grads: _Float64Array, velocity: _Float64Array, lr: float, momentum: float
) -> None:
    """One SGD-with-momentum step: updates params and velocity."""

def adam_step(
    params: _Float64Array,
    grads: _Float64Array,
    m: _Float64Array,
    v: _Float64Array,
    lr: float = 0.001,
    beta1: float = 0.9,
    beta2: float = 0.999,
    eps: float = 1e-8,
    t: int = 1,
) -> None:
    """One Adam step with bias correction: updates params, m and v."""

def clip_grad_norm(grads: _Float64Array, max_norm: float) -> float:
    """Scales grads so their L2 norm is at most max_norm; returns the norm before clipping."""

# Dropout
def dropout(x: _Float64Array, p: float, seed: int | None = None) -> _Float64Array:
    """Inverted dropout: zeroes with probability p, scales survivors by 1 / (1 - p)."""

class Tensor:
    """An n-dimensional float64 array with its own contiguous row-major storage."""

    def __new__(cls, array: _Float64Array) -> Tensor:
        """A tensor holding a copy of a float64 NumPy array of any rank."""

    @property
    def shape(self) -> list[int]:
        """The extent of each axis."""

    @property
    def strides(self) -> list[int]:
        """The row-major strides, in elements."""

    @property
    def data(self) -> _Float64Array:
        """A new 1-D array holding a copy of the elements in row-major order."""

    def add(self, other: Tensor) -> Tensor:
        """self + other, element by element."""

    def sub(self, other: Tensor) -> Tensor:
        """self - other, element by element."""

    def mul_elementwise(self, other: Tensor) -> Tensor:
        """self * other, element by element."""

    def mul_scalar(self, scalar: float) -> Tensor:
        """self * scalar."""

    def reshape(self, new_shape: Sequence[int]) -> Tensor:
        """A tensor of another shape sharing these elements (no copy)."""

    def matmul(self, other: Tensor, transpose_a: bool = False, transpose_b: bool = False) -> Tensor:
        """The matrix product of two rank-2 tensors, either one transposed."""

    def to_list(self) -> Any:
        """The elements as nested lists (a float for rank 0)."""

    @classmethod
    def rand(cls, shape: Sequence[int], seed: int | None = None) -> Tensor:
        """Uniform values in [0, 1); reproducible with a seed."""

    @classmethod
    def randn(cls, shape: Sequence[int], seed: int | None = None) -> Tensor:
        """Standard normal values; reproducible with a seed."""

    def add_bias_inplace(self, bias: _Float64Array) -> None:
        """Adds bias to every row of this rank-2 tensor, in place."""

    def relu_inplace(self) -> None:
        """Sets every negative element to 0.0, in place."""

    def relu_derivative(self) -> Tensor:
        """1.0 where an element is positive, else 0.0."""

class MosswickHashMap:
    """An open-addressing hash map from 64-bit integer keys to 64-bit integer values."""

    def __new__(cls) -> MosswickHashMap:
        """A new, empty map."""

    def __len__(self) -> int:
        """The number of entries."""

    def insert(self, key: int, value: int) -> int | None:
        """Sets key to value; returns the previous value or None."""

    def get(self, key: int) -> int | None:
        """The value of key, or None."""

    def remove(self, key: int) -> int | None:
        """Removes key; returns its value or None."""

    def contains(self, key: int) -> bool:
        """Whether key is present."""

    def keys(self) -> list[int]:
        """The keys, in slot order."""

    def values(self) -> list[int]:
        """The values, in slot order."""

    def items(self) -> list[tuple[int, int]]:
        """The (key, value) pairs, in slot order."""
