import math
import random

import pytest

import mosswick
from conftest import internal_failure, same_bits

INF, NAN = math.inf, math.nan


# References computed the way the routines must: one accumulator from -0.0, first term to last.
def ref_sum(terms):
    s = -0.0
    for t in terms:
        s += t
    return s


def ref_mean(xs):
    return ref_sum(xs) / len(xs) if xs else 0.0


def ref_variance(xs):
    if not xs:
        return 0.0
    mu = ref_sum(xs) / len(xs)
    return ref_sum((x - mu) * (x - mu) for x in xs) / len(xs)


def ref_median(xs):
    a = sorted(xs)
    n = len(a)
    if n == 0:
        return 0.0
    return a[n // 2] if n % 2 else (a[n // 2 - 1] + a[n // 2]) * 0.5


def ref_matmul(a, b):
    c = [[0.0] * len(b[0]) for _ in a]
    for i, row in enumerate(a):
        for k in range(len(b)):
            if row[k] != 0.0:
                for j in range(len(b[0])):
                    c[i][j] += row[k] * b[k][j]
    return c


def ref_levenshtein(a, b):
    a, b = a.encode(), b.encode()
    prev = list(range(len(b) + 1))
    for i in range(1, len(a) + 1):
        curr = [i] + [0] * len(b)
        for j in range(1, len(b) + 1):
            curr[j] = min(prev[j - 1] + (a[i - 1] != b[j - 1]), curr[j - 1] + 1, prev[j] + 1)
        prev = curr
    return prev[-1]


def samples():
    rng = random.Random(99)
    for n in (0, 1, 2, 3, 10, 1001):
        yield [rng.uniform(-1, 1) * 10 ** rng.randrange(-8, 9) for _ in range(n)]
        yield [rng.randrange(-(10**6), 10**6) for _ in range(n)]
    yield [1e16, 1.0, -1e16, 1.0]
    yield [-0.0]
    yield [-0.0, -0.0]
    yield [1.0, INF]
    yield [INF, -INF]
    yield [1.0, NAN, 2.0]
    yield [2**60 + 1, 3]


@pytest.mark.parametrize("fn, ref", [(mosswick.mean, ref_mean), (mosswick.variance, ref_variance),
                                     (mosswick.std_dev, lambda xs: math.sqrt(ref_variance(xs)))],
                         ids=["mean", "variance", "std_dev"])
def test_moments_are_bit_exact(fn, ref):
    for xs in samples():
        assert same_bits(fn(xs), ref([float(x) for x in xs])), xs[:5]


def test_median_matches_sorted_middle():
    for xs in samples():
        if len(xs) > 1 and any(math.isnan(x) for x in xs):
            continue
        assert same_bits(mosswick.median(xs), ref_median([float(x) for x in xs]))
    rng = random.Random(5)
    for n in (2, 17, 200, 10_001, 10_002):
        xs = [float(rng.randrange(-5, 5)) for _ in range(n)]
        assert same_bits(mosswick.median(xs), ref_median(xs))


@pytest.mark.parametrize("xs", [[1.0, NAN], [NAN, 1.0], [NAN, NAN], [3.0] * 100 + [NAN]])
def test_median_with_nan_is_an_internal_failure(xs):
    assert internal_failure(mosswick.median, xs) == "called `Option::unwrap()` on a `None` value"


def test_documented_examples():
    assert mosswick.variance([2, 4, 4, 4, 5, 5, 7, 9]) == 4.0 and mosswick.std_dev([2, 4, 4, 4, 5, 5, 7, 9]) == 2.0
    assert mosswick.median([4, 1, 3, 2]) == 2.5 and math.isnan(mosswick.median([NAN]))


def test_dot_product():
    rng = random.Random(8)
    for n in (0, 1, 5, 1000):
        a = [rng.uniform(-1e6, 1e6) for _ in range(n)]
        b = [rng.uniform(-1e-6, 1e6) for _ in range(n)]
        assert same_bits(mosswick.dot_product(a, b), ref_sum(x * y for x, y in zip(a, b)))
    assert same_bits(mosswick.dot_product([], []), -0.0)
    assert math.isnan(mosswick.dot_product([0.0], [INF]))
    with pytest.raises(ValueError, match="^vectors must be same length$"):
        mosswick.dot_product([1], [1, 2])


class TestMatmul:
    def test_against_reference(self):
        rng = random.Random(4)
        for n, m, p in [(1, 1, 1), (3, 4, 5), (7, 2, 9), (16, 16, 16)]:
            a = [[rng.choice((0.0, -0.0, rng.uniform(-9, 9))) for _ in range(m)] for _ in range(n)]
            b = [[rng.uniform(-9, 9) for _ in range(p)] for _ in range(m)]
            assert same_bits(mosswick.matmul(a, b), ref_matmul(a, b))

    def test_examples(self):
        assert mosswick.matmul([[1]], [[]]) == [[]]
        assert mosswick.matmul([[0.0]], [[INF]]) == [[0.0]]

    @pytest.mark.parametrize("a, b", [([], [[1]]), ([[1]], []), ([[1, 2]], [[1, 2]]), ([[1]], [[1], [2]])])
    def test_incompatible(self, a, b):
        with pytest.raises(ValueError, match="^incompatible matrix dimensions$"):
            mosswick.matmul(a, b)

    @pytest.mark.parametrize("a, b", [([[1, 2], [3]], [[1], [2]]), ([[1, 1]], [[1, 2], [3]])])
    def test_ragged_rows_reached_fail(self, a, b):
        assert internal_failure(mosswick.matmul, a, b).startswith("index out of bounds")

    def test_ragged_rows_not_reached_are_fine(self):
        assert mosswick.matmul([[1, 0], [2, 0, 9]], [[1, 2], [3]]) == [[1.0, 2.0], [2.0, 4.0]]


class TestLevenshtein:
    @pytest.mark.parametrize("alphabet", ["ab", "abcdefghij", "aé€😀", "xyz\x00\x7f"])
    def test_against_dynamic_programming(self, alphabet):
        rng = random.Random(alphabet)
        lengths = [0, 1, 2, 5, 21, 63, 64, 65, 100, 127, 128, 129]
        for _ in range(40):
            a = "".join(rng.choices(alphabet, k=rng.choice(lengths)))
            b = "".join(rng.choices(alphabet, k=rng.choice(lengths)))
            if rng.random() < 0.3:  # near-identical strings share a prefix and a suffix
                b = a[: len(a) // 3] + b[:5] + a[len(a) // 2 :]
            assert mosswick.levenshtein(a, b) == ref_levenshtein(a, b), (a, b)

    @pytest.mark.parametrize(
        "a, b, d", [("", "abc", 3), ("kitten", "sitting", 3), ("é", "e", 2)]
    )
    def test_examples(self, a, b, d):
        assert mosswick.levenshtein(a, b) == d == mosswick.levenshtein(b=a, a=b)

    def test_refusals(self):
        with pytest.raises(TypeError) as info:
            mosswick.levenshtein("a", 5)
        assert str(info.value) == "argument 'b': 'int' object cannot be converted to 'PyString'"
        with pytest.raises(UnicodeEncodeError):
            mosswick.levenshtein("\ud800", "a")
