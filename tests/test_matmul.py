import numpy as np
import pytest

import mosswick

Tensor = mosswick.Tensor
EPS = np.finfo(float).eps

# Not multiples of any tile: primes, single rows and columns, and sizes beyond the
# cache blocks in every dimension (more rows, inner size and columns than one block holds).
SHAPES = [(2, 3, 2), (7, 11, 13), (1, 523, 1), (523, 1, 521), (1, 389, 17), (31, 389, 1), (1367, 773, 347)]


def operands(m, k, n, transpose_a, transpose_b, seed=0):
    """A' (m x k) and B' (k x n), and tensors that hold them as matmul reads them."""
    rng = np.random.default_rng(seed)
    a, b = rng.standard_normal((m, k)), rng.standard_normal((k, n))
    return a, b, Tensor(a.T.copy() if transpose_a else a), Tensor(b.T.copy() if transpose_b else b)


def assert_product(result, a, b):
    """Within the rounding bound of a k-term dot product (both sides may err by it)."""
    k = a.shape[1]
    assert result.shape == [a.shape[0], b.shape[1]] and result.strides == [b.shape[1], 1]
    ours = result.data.reshape(a.shape[0], b.shape[1])
    bound = 2 * (k + 1) * EPS * (np.abs(a) @ np.abs(b))
    assert np.all(np.abs(ours - a @ b) <= bound)


@pytest.mark.parametrize("transpose_b", [False, True])
@pytest.mark.parametrize("transpose_a", [False, True])
@pytest.mark.parametrize("m, k, n", SHAPES)
def test_against_numpy(m, k, n, transpose_a, transpose_b):
    a, b, ta, tb = operands(m, k, n, transpose_a, transpose_b)
    assert_product(ta.matmul(tb, transpose_a=transpose_a, transpose_b=transpose_b), a, b)
    assert np.array_equal(ta.data, (a.T if transpose_a else a).ravel())  # operands unchanged


@pytest.mark.parametrize("transpose_b", [False, True])
@pytest.mark.parametrize("transpose_a", [False, True])
@pytest.mark.parametrize("m, k, n", [(2, 0, 3), (0, 3, 4), (3, 4, 0), (0, 0, 0)])
def test_empty_sizes(m, k, n, transpose_a, transpose_b):
    a, b, ta, tb = operands(m, k, n, transpose_a, transpose_b)
    result = ta.matmul(tb, transpose_a, transpose_b)
    assert result.shape == [m, n]
    assert result.to_list() == np.zeros((m, n)).tolist()


def test_self_times_own_transpose():
    a = np.random.default_rng(3).standard_normal((37, 19))
    t = Tensor(a.ravel()).reshape([37, 19])  # a reshaped tensor: its strides are its own, not the buffer's
    assert_product(t.matmul(t, transpose_b=True), a, a.T)
    assert_product(t.matmul(t, transpose_a=True), a.T, a)


@pytest.mark.parametrize("left, right, kwargs, error, message", [
    ((2, 3), (4, 5), {}, ValueError, "Dimension mismatch for multiplication: 3 vs 4."),
    ((3, 2), (3, 4), {"transpose_b": True}, ValueError, "Dimension mismatch for multiplication: 2 vs 4."),
    ((3,), (5,), {}, ValueError, "matmul requires rank-2 tensors."),
    ((2, 3), (3, 2, 1), {}, ValueError, "matmul requires rank-2 tensors."),
    ((3,), (3,), {"transpose_a": None}, TypeError, "argument 'transpose_a': 'NoneType' object cannot be converted"),
    ((2, 2), (2, 2), {"transpose_b": 1}, TypeError, "argument 'transpose_b': 'int' object cannot be converted"),
])
def test_refusals(left, right, kwargs, error, message):
    with pytest.raises(error) as info:
        Tensor(np.zeros(left)).matmul(Tensor(np.zeros(right)), **kwargs)
    assert str(info.value).startswith(message)
