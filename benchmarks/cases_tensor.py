"""Tensor against NumPy. NumPy's BLAS is held to one thread for each of its calls (through
threadpoolctl), since the matrix product runs on the calling thread alone."""

import numpy as np

import mosswick
from benchmarks.runner import Case

try:
    from threadpoolctl import ThreadpoolController
except ImportError:  # the matrix-product cases are skipped through `needs`
    ThreadpoolController = None

_blas = None


def one_blas_thread():
    global _blas
    if _blas is None:
        _blas = ThreadpoolController()
    return _blas.limit(limits=1, user_api="blas")


def pair(rows, cols):
    rng = np.random.default_rng(11)
    a, b = rng.standard_normal((rows, cols)), rng.standard_normal((rows, cols))
    return a, b, mosswick.Tensor(a), mosswick.Tensor(b)


def numpy_product(transpose_a, transpose_b):
    def product(state):
        a, b = state[0].T if transpose_a else state[0], state[1].T if transpose_b else state[1]
        with one_blas_thread():
            return a @ b
    return product


def close(ours, theirs):
    return ours.shape == list(theirs.shape) and np.allclose(ours.data, theirs.ravel(), rtol=1e-10, atol=1e-10)


def identical(ours, theirs):
    return ours.shape == list(theirs.shape) and np.array_equal(ours.data, theirs.ravel())


def matmul_cases(size):
    cases = []
    for transpose_a, transpose_b, label in ((False, False, ""), (True, False, " A^T"), (False, True, " B^T")):
        cases.append(Case(
            f"Tensor.matmul{label}", f"{size:,} x {size:,}", "NumPy @ (BLAS, 1 thread)",
            lambda size=size: pair(size, size),
            lambda s, ta=transpose_a, tb=transpose_b: s[2].matmul(s[3], transpose_a=ta, transpose_b=tb),
            numpy_product(transpose_a, transpose_b), 0.8, check=close, needs=("numpy", "threadpoolctl")))
    return cases


CASES = [
    *matmul_cases(512),
    *matmul_cases(1024),
    Case("Tensor.add", "1,000 x 1,000", "NumPy a + b", lambda: pair(1000, 1000), lambda s: s[2].add(s[3]),
         lambda s: s[0] + s[1], 1.0, check=identical, needs=("numpy",)),
]
