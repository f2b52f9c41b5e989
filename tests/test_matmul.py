import subprocess

import numpy as np
import pytest

import mosswick
from conftest import native_check

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


@pytest.fixture(scope="module")
def caches_test():
    binary = native_check("caches_test")
    return lambda directory, rows, cols: [int(v) for v in subprocess.run(
        [binary, str(directory), str(rows), str(cols)], capture_output=True, text=True, check=True).stdout.split()]


def cache_tree(path, caches):
    for index, (level, kind, size, shared) in enumerate(caches):
        entry = path / f"index{index}"
        entry.mkdir(parents=True)
        for name, value in (("level", level), ("type", kind), ("size", size), ("shared_cpu_list", shared)):
            (entry / name).write_text(f"{value}\n")
    return path


# The cache sizes that set the product's blocking (which changes its speed, not its values):
# (l1d, l2, l3 per core) and the blocks (kc, nc, mc) for a tile of rows x cols.
@pytest.mark.parametrize("caches, tile, expected", [
    ([(1, "Data", "48K", "0"), (1, "Instruction", "32K", "0"), (2, "Unified", "1024K", "0"),
      (3, "Unified", "32768K", "0-1")], (8, 24), [48 << 10, 1 << 20, 16 << 20, 384, 168, 5456]),
    ([(1, "Instruction", "32K", "0"), (1, "Data", "32K", "0"), (2, "Unified", "2M", "0,8"),
      (3, "Unified", "64M", "0-7,16-23")], (6, 16), [32 << 10, 2 << 20, 4 << 20, 336, 384, 1560]),
    ([], (4, 8), [32 << 10, 1 << 20, 2 << 20, 512, 128, 512]),  # nothing said: the common sizes
    ([(2, "Unified", "512K", "3")], (4, 8), [32 << 10, 512 << 10, 2 << 20, 512, 64, 512]),
])
def test_cache_sizes_and_blocking(caches_test, tmp_path, caches, tile, expected):
    assert caches_test(cache_tree(tmp_path / "cache", caches), *tile) == expected

