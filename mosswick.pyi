"""Fast numeric and algorithmic routines, written in C++."""

from collections.abc import Sequence
from typing import Any, SupportsFloat, SupportsIndex

import numpy as np
from numpy.typing import NDArray

# What each kind of parameter converts from. A number converts through __index__
# (integers) or __float__ (reals); a sequence is any sequence but str, and a NumPy
# array iterates as one. Complex values are left out: converting them drops the
# imaginary part.
_Real = SupportsFloat | SupportsIndex
_RealArray = NDArray[np.floating[Any] | np.integer[Any] | np.bool_]
_Ints = Sequence[SupportsIndex] | NDArray[np.integer[Any]]
_Reals = Sequence[_Real] | _RealArray
_RealRows = Sequence[_Reals] | _RealArray

# Array parameters take NumPy arrays of exactly these element types, never converted.
# The names give the number of dimensions, which the types cannot check.
_Float64Vector = NDArray[np.float64]
_Float64Matrix = NDArray[np.float64]
_Float64Array = NDArray[np.float64]
_Int64Vector = NDArray[np.int64]

__all__: list[str]

# Sorting
def quicksort(arr: _Ints) -> list[int]:
    """A new ascending list, by randomised three-way quicksort."""

def quicksort_f64(arr: _Reals) -> list[float]:
    """A new list of floats: the non-NaN values ascending (-0.0 before 0.0), then the NaNs."""

def mergesort(arr: _Ints) -> list[int]:
    """A new ascending list, by stable top-down merge sort."""

def parallel_sort(arr: _Ints) -> list[int]:
    """A new ascending list; from 50,000 items sorted in chunks on threads of its own, then merged."""

# Searching and selection
def binary_search(arr: _Ints, target: SupportsIndex) -> int | None:
    """The index of an item equal to target in the ascending list, or None."""

def kth_smallest(arr: _Ints, k: SupportsIndex) -> int:
    """The k-th smallest item (k from 1); IndexError "k out of range" otherwise."""

def top_k(arr: _Ints, k: SupportsIndex) -> list[int]:
    """The min(k, len(arr)) largest items, largest first."""

def dedup(arr: _Ints) -> list[int]:
    """The distinct items in order of first appearance."""

def levenshtein(a: str, b: str) -> int:
    """The edit distance between the UTF-8 encodings of a and b."""

# Number theory
def gcd(a: SupportsIndex, b: SupportsIndex) -> int:
    """The greatest common divisor, never negative."""

def lcm(a: SupportsIndex, b: SupportsIndex) -> int:
    """The least common multiple, never negative, exact."""

def mod_pow(base: SupportsIndex, exp: SupportsIndex, modulus: SupportsIndex) -> int:
    """base ** exp % modulus for unsigned 64-bit operands."""

def is_prime(n: SupportsIndex) -> bool:
    """Whether the unsigned 64-bit n is prime (deterministic)."""

def sieve(limit: SupportsIndex) -> list[int]:
    """Every prime p with 2 <= p <= limit, ascending."""

def fibonacci(n: SupportsIndex) -> int:
    """The Fibonacci number F(n), for n from 0 to 93."""

# Statistics, vector products and edit distance
def mean(arr: _Reals) -> float:
    """The arithmetic mean (0.0 for an empty list)."""

def median(arr: _Reals) -> float:
    """The median (0.0 for an empty list)."""

def variance(arr: _Reals) -> float:
    """The population variance, two-pass (0.0 for an empty list)."""

def std_dev(arr: _Reals) -> float:
    """The population standard deviation (0.0 for an empty list)."""

def dot_product(a: _Reals, b: _Reals) -> float:
    """The sum of a[i] * b[i], left to right; the lengths must match."""

def matmul(a: _RealRows, b: _RealRows) -> list[list[float]]:
    """The matrix product of two lists of rows, skipping zero entries of a."""

# Machine-learning routines
def kmeans(
    data: _RealRows, k: SupportsIndex, max_iters: SupportsIndex, tolerance: _Real
) -> tuple[list[list[float]], list[int]]:
    """Deterministic Lloyd's k-means: (centroids, labels)."""

def pairwise_manhattan(matrix_a: _RealRows, matrix_b: _RealRows) -> list[list[float]]:
    """The L1 distance between every row of matrix_a and every row of matrix_b."""

def pairwise_cosine(matrix_a: _RealRows, matrix_b: _RealRows) -> list[list[float]]:
    """The cosine similarity between every row of matrix_a and every row of matrix_b."""

def determinant(matrix: _RealRows) -> float:
    """The determinant, by Gaussian elimination with partial pivoting."""

def matrix_inverse(matrix: _RealRows) -> list[list[float]]:
    """The inverse, by Gauss-Jordan elimination with partial pivoting."""

# Activations and derivatives
def relu(x: _Float64Vector) -> _Float64Vector:
    """max(x, 0) element by element."""

def relu_derivative(x: _Float64Vector) -> _Float64Vector:
    """1.0 where x > 0, else 0.0."""

def leaky_relu(x: _Float64Vector, alpha: _Real = 0.01) -> _Float64Vector:
    """x where x > 0, else x * alpha."""

def leaky_relu_derivative(x: _Float64Vector, alpha: _Real = 0.01) -> _Float64Vector:
    """1.0 where x > 0, else alpha."""

def elu(x: _Float64Vector, alpha: _Real = 1.0) -> _Float64Vector:
    """x where x > 0, else (exp(x) - 1) * alpha."""

def elu_derivative(x: _Float64Vector, alpha: _Real = 1.0) -> _Float64Vector:
    """1.0 where x > 0, else exp(x) * alpha."""

def gelu(x: _Float64Vector) -> _Float64Vector:
    """GELU, tanh approximation."""

def silu(x: _Float64Vector) -> _Float64Vector:
    """x * sigmoid(x)."""

def silu_derivative(x: _Float64Vector) -> _Float64Vector:
    """The derivative of SiLU at x."""

def sigmoid(x: _Float64Vector) -> _Float64Vector:
    """1 / (1 + exp(-x))."""

def sigmoid_derivative(x: _Float64Vector) -> _Float64Vector:
    """sigmoid(x) * (1 - sigmoid(x))."""

def tanh(x: _Float64Vector) -> _Float64Vector:
    """The hyperbolic tangent."""

def tanh_derivative(x: _Float64Vector) -> _Float64Vector:
    """1 - tanh(x) ** 2."""

# Softmax, fused cross-entropy and one-hot
def softmax(x: _Float64Matrix) -> _Float64Matrix:
    """Row-wise softmax of a C-contiguous (batch, classes) matrix."""

def softmax_cross_entropy(logits: _Float64Matrix, targets: _Int64Vector) -> tuple[float, _Float64Matrix]:
    """(mean cross-entropy loss, its gradient with respect to the logits)."""

def one_hot(indices: _Int64Vector, num_classes: SupportsIndex) -> _Float64Matrix:
    """A (n, num_classes) matrix of zeros with a one per row."""

# Losses
def mse_loss(predictions: _Float64Vector, targets: _Float64Vector) -> float:
    """Mean squared error."""

def categorical_cross_entropy(predictions: _Float64Vector, targets: _Float64Vector) -> float:
    """Mean of -t * ln(clamped p) over all elements."""

def mae_loss(predictions: _Float64Vector, targets: _Float64Vector) -> float:
    """Mean absolute error."""

def bce_loss(predictions: _Float64Vector, targets: _Float64Vector) -> float:
    """Binary cross-entropy of clamped predictions."""

# Optimizer steps and gradient clipping (update caller-owned arrays in place)
def sgd_momentum_step(
    params: _Float64Vector, grads: _Float64Vector, velocity: _Float64Vector, lr: _Real, momentum: _Real
) -> None:
    """One SGD-with-momentum step: updates params and velocity."""

def adam_step(
    params: _Float64Vector,
    grads: _Float64Vector,
    m: _Float64Vector,
    v: _Float64Vector,
    lr: _Real = 0.001,
    beta1: _Real = 0.9,
    beta2: _Real = 0.999,
    eps: _Real = 1e-8,
    t: SupportsIndex = 1,
) -> None:
    """One Adam step with bias correction: updates params, m and v."""

def clip_grad_norm(grads: _Float64Vector, max_norm: _Real) -> float:
    """Scales grads so their L2 norm is at most max_norm; returns the norm before clipping."""

# Dropout
def dropout(x: _Float64Vector, p: _Real, seed: SupportsIndex | None = None) -> _Float64Vector:
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
    def data(self) -> _Float64Vector:
        """A new 1-D array holding a copy of the elements in row-major order."""

    def add(self, other: Tensor) -> Tensor:
        """self + other, element by element."""

    def sub(self, other: Tensor) -> Tensor:
        """self - other, element by element."""

    def mul_elementwise(self, other: Tensor) -> Tensor:
        """self * other, element by element."""

    def mul_scalar(self, scalar: _Real) -> Tensor:
        """self * scalar."""

    def reshape(self, new_shape: _Ints) -> Tensor:
        """A tensor of another shape sharing these elements (no copy)."""

    def matmul(self, other: Tensor, transpose_a: bool = False, transpose_b: bool = False) -> Tensor:
        """The matrix product of two rank-2 tensors, either one transposed."""

    def to_list(self) -> Any:
        """The elements as nested lists (a float for rank 0)."""

    @classmethod
    def rand(cls, shape: _Ints, seed: SupportsIndex | None = None) -> Tensor:
        """Uniform values in [0, 1); reproducible with a seed."""

    @classmethod
    def randn(cls, shape: _Ints, seed: SupportsIndex | None = None) -> Tensor:
        """Standard normal values; reproducible with a seed."""

    def add_bias_inplace(self, bias: _Float64Vector) -> None:
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

    def insert(self, key: SupportsIndex, value: SupportsIndex) -> int | None:
        """Sets key to value; returns the previous value or None."""

    def get(self, key: SupportsIndex) -> int | None:
        """The value of key, or None."""

    def remove(self, key: SupportsIndex) -> int | None:
        """Removes key; returns its value or None."""

    def contains(self, key: SupportsIndex) -> bool:
        """Whether key is present."""

    def keys(self) -> list[int]:
        """The keys, in slot order."""

    def values(self) -> list[int]:
        """The values, in slot order."""

    def items(self) -> list[tuple[int, int]]:
        """The (key, value) pairs, in slot order."""
