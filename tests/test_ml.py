"""k-means, determinant, inverse and pairwise distances against small references that perform
the same operations in the same order, so results must agree bit for bit."""

import math
import random

import pytest

import mosswick
from conftest import same_bits

MAX_FLOAT = 1.7976931348623157e308


def entry(rng, specials=()):
    return rng.choice([rng.gauss(0.0, 2.0), float(rng.randint(-2, 2)), -0.0, *specials])


def matrix(rng, rows, length, specials=()):
    """`length` is an int, or a (low, high) range for ragged rows."""
    sizes = [length if isinstance(length, int) else rng.randint(*length) for _ in range(rows)]
    return [[entry(rng, specials) for _ in range(n)] for n in sizes]


# ---- pairwise distances ----

def ref_cosine(x, y):
    m = min(len(x), len(y))
    if m == 0:
        return 0.0
    dot = sx = sy = 0.0
    for k in range(m):
        dot += x[k] * y[k]
        sx += x[k] * x[k]
        sy += y[k] * y[k]
    return 0.0 if sx == 0.0 or sy == 0.0 else dot / (math.sqrt(sx) * math.sqrt(sy))


def ref_manhattan(x, y):
    total = -0.0
    for k in range(min(len(x), len(y))):
        total += abs(x[k] - y[k])
    return total


def ref_pairwise(pair, a, b):
    return [[pair(x, y) for y in b] for x in a] if a and b else []


PAIRWISE = [(mosswick.pairwise_cosine, ref_cosine), (mosswick.pairwise_manhattan, ref_manhattan)]


@pytest.mark.parametrize("routine, pair", PAIRWISE)
@pytest.mark.parametrize(
    "rows_a, rows_b, length",
    [(1, 1, 3), (5, 9, 16), (9, 17, 33), (2, 3, 0), (6, 13, (0, 6)), (13, 21, (3, 4))],
)
@pytest.mark.parametrize("specials", [(), (math.inf, -math.inf, math.nan)])
def test_pairwise_against_reference(routine, pair, rows_a, rows_b, length, specials):
    rng = random.Random(f"{rows_a} {rows_b} {length} {specials}")
    a, b = matrix(rng, rows_a, length, specials), matrix(rng, rows_b, length, specials)
    assert same_bits(routine(a, b), ref_pairwise(pair, a, b))


@pytest.mark.parametrize(
    "routine, a, b, expected",
    [
        (mosswick.pairwise_cosine, [], [[1, 2]], []),
        (mosswick.pairwise_manhattan, [[1, 2]], [], []),
        (mosswick.pairwise_cosine, [[0, 0]], [[1, 1]], [[0.0]]),
    ],
)
def test_pairwise_examples(routine, a, b, expected):
    assert same_bits(routine(a, b), expected)


@pytest.mark.parametrize("routine, pair", PAIRWISE)
def test_pairwise_parallel_rows_match_the_reference(routine, pair):
    rng = random.Random(3)
    a = matrix(rng, 10_000, (4, 5))
    b = matrix(rng, 9, 5)
    assert same_bits(routine(a, b), ref_pairwise(pair, a, b))


# ---- determinant and inverse ----

def pivot_row(m, c):
    p = c
    for r in range(c + 1, len(m)):
        if abs(m[r][c]) > abs(m[p][c]):
            p = r
    return p


def ref_determinant(rows):
    m = [[float(v) for v in row] for row in rows]
    n = len(m)
    if n == 1:
        return m[0][0]
    d = 1.0
    for c in range(n):
        p = pivot_row(m, c)
        if p != c:
            m[c], m[p] = m[p], m[c]
            d = -d
        pivot = m[c][c]
        if abs(pivot) < 1e-12:
            return 0.0
        for r in range(c + 1, n):
            f = m[r][c] / m[c][c]
            for k in range(c, n):
                m[r][k] -= f * m[c][k]
        d = d * pivot
    return d


def ref_inverse(rows):
    """The inverse, or None where the routine must refuse a singular matrix."""
    m = [[float(v) for v in row] for row in rows]
    n = len(m)
    inv = [[1.0 if i == j else 0.0 for j in range(n)] for i in range(n)]
    for c in range(n):
        p = pivot_row(m, c)
        if abs(m[p][c]) < 1e-12:
            return None
        if p != c:
            m[c], m[p] = m[p], m[c]
            inv[c], inv[p] = inv[p], inv[c]
        pivot = m[c][c]
        for j in range(n):
            m[c][j] /= pivot
            inv[c][j] /= pivot
        for r in range(n):
            if r != c:
                f = m[r][c]
                for j in range(n):
                    m[r][j] -= f * m[c][j]
                    inv[r][j] -= f * inv[c][j]
    return inv


def inverse_or_none(rows):
    try:
        return mosswick.matrix_inverse(rows)
    except ValueError as e:
        assert str(e) == "Matrix is singular and cannot be inverted."
        return None


# Sizes around the eight-step elimination blocks and the 32-entry row chunks.
@pytest.mark.parametrize("n", [1, 2, 7, 8, 9, 16, 17, 40, 70])
@pytest.mark.parametrize("kind", ["gauss", "small integers", "with zeros", "with specials"])
def test_elimination_against_reference(n, kind):
    rng = random.Random(f"{n} {kind}")
    if kind == "gauss":
        rows = [[rng.gauss(0.0, 1.0) for _ in range(n)] for _ in range(n)]
    elif kind == "small integers":  # pivot ties, exact cancellations, singular matrices
        rows = [[rng.randint(-2, 2) for _ in range(n)] for _ in range(n)]
    elif kind == "with zeros":
        rows = [[rng.choice([0.0, -0.0, rng.gauss(0.0, 1.0)]) for _ in range(n)] for _ in range(n)]
    else:
        rows = matrix(rng, n, n, (math.inf, math.nan, 1e-300, 1e300))
    assert same_bits(mosswick.determinant(rows), ref_determinant(rows))
    expected = ref_inverse(rows)
    ours = inverse_or_none(rows)
    assert (ours is None) == (expected is None)
    if expected is not None:
        assert same_bits(ours, expected)


@pytest.mark.parametrize(
    "rows, det",
    [
        ([[5]], 5.0), ([[-0.0]], -0.0), ([[1e-13]], 1e-13), ([[1, 2], [3, 4]], -2.0), ([[0, 1], [1, 0]], -1.0),
        ([[1e-13, 0], [0, 1]], 0.0), ([[9.99e-13, 0], [0, 1]], 0.0), ([[1e-12, 0], [0, 1]], 1e-12),
    ],
)
def test_determinant_examples(rows, det):
    assert same_bits(mosswick.determinant(rows), det)


@pytest.mark.parametrize(
    "rows, inverse",
    [
        ([[4]], [[0.25]]), ([[1, 2], [2, 4]], None), ([[1e-13]], None), ([[9.99e-13, 0], [0, 1]], None),
        ([[1e-12]], [[1.0 / 1e-12]]), ([[-1e-12, 0], [0, 1]], [[1.0 / -1e-12, 0.0], [0.0, 1.0]]),
    ],
)
def test_inverse_examples(rows, inverse):
    assert same_bits(inverse_or_none(rows), inverse)


@pytest.mark.parametrize("rows", [[], [[1, 2]], [[1, 2], [3]], [[1, 2], [3, 4, 5]], [[]], [[1], [2]]])
@pytest.mark.parametrize("routine", [mosswick.determinant, mosswick.matrix_inverse])
def test_non_square_matrices_are_refused(routine, rows):
    with pytest.raises(ValueError, match=r"^Matrix must be square\.$"):
        routine(rows)


# ---- k-means ----

def squared_distance(x, y):
    total = -0.0
    for j in range(min(len(x), len(y))):
        d = x[j] - y[j]
        total += d * d
    return total


def ref_kmeans(data, k, max_iters, tolerance):
    n, d = len(data), len(data[0])
    step = n // k
    centroids = [[float(v) for v in data[c * step]] for c in range(k)]
    labels = [0] * n
    for _ in range(max_iters):
        for i, row in enumerate(data):
            best, nearest = 0, MAX_FLOAT
            for c, centroid in enumerate(centroids):
                distance = squared_distance(row, centroid)
                if distance < nearest:
                    best, nearest = c, distance
            labels[i] = best
        new, counts = [[0.0] * d for _ in range(k)], [0] * k
        for row, c in zip(data, labels):
            counts[c] += 1
            for j in range(d):
                new[c][j] += row[j]
        for c in range(k):
            new[c] = [v / float(counts[c]) for v in new[c]] if counts[c] else [float(v) for v in data[c * step % n]]
        shift = 0.0
        for c in range(k):
            shift += math.sqrt(squared_distance(centroids[c], new[c]))
        centroids = new
        if shift < tolerance:
            break
    return centroids, labels


@pytest.mark.parametrize(
    "n, d, k, max_iters, tolerance",
    [(1, 1, 1, 3, 0.0), (9, 2, 3, 5, 1e-4), (40, 0, 4, 2, 0.0), (50, 4, 9, 6, 0.5), (64, 5, 17, 4, 0.0),
     (33, 3, 5, 0, 1e-4)],
)
@pytest.mark.parametrize("values", ["gauss", "small integers", "with specials"])
def test_kmeans_against_reference(n, d, k, max_iters, tolerance, values):
    rng = random.Random(f"{n} {d} {k} {values}")
    if values == "gauss":
        data = matrix(rng, n, d)
    elif values == "small integers":  # equal distances: ties go to the lower centroid
        data = [[float(rng.randint(0, 2)) for _ in range(d)] for _ in range(n)]
    else:
        data = matrix(rng, n, d, (math.nan, math.inf, -math.inf, 1e308))
    centroids, labels = mosswick.kmeans(data, k, max_iters, tolerance)
    assert same_bits((centroids, labels), ref_kmeans(data, k, max_iters, tolerance))


def test_kmeans_example():
    assert mosswick.kmeans([[0.0], [1.0], [10.0], [11.0]], 2, 100, 1e-4) == ([[0.5], [10.5]], [0, 0, 1, 1])


def test_kmeans_with_every_row_its_own_cluster():
    data = [[3.0], [1.0], [2.0]]
    assert mosswick.kmeans(data, 3, 10, 1e-4) == (data, [0, 1, 2])


def test_empty_cluster_is_reset_to_its_seed_row():
    # The seeds, rows 0 and 2, are both [0.0]: every row ties and goes to cluster 0.
    assert mosswick.kmeans([[0.0], [0.0], [0.0], [10.0]], 2, 1, 0.0) == ([[2.5], [0.0]], [0, 0, 0, 0])


def test_kmeans_parallel_assignment_matches_reference():
    rng = random.Random(11)
    data = [[rng.gauss(0.0, 1.0), float(rng.randint(0, 3))] for _ in range(10_003)]
    assert same_bits(mosswick.kmeans(data, 5, 3, 0.0), ref_kmeans(data, 5, 3, 0.0))


@pytest.mark.parametrize("data, k", [([[1.0], [2.0]], 0), ([[1.0], [2.0]], 3), ([], 1)])
def test_kmeans_refuses_bad_sizes(data, k):
    with pytest.raises(ValueError, match=r"^Invalid input data size or cluster count 'k'\.$"):
        mosswick.kmeans(data, k, 10, 1e-4)


@pytest.mark.parametrize("data", [[[1.0, 2.0], [3.0]], [[1.0], [2.0, 3.0]]])
@pytest.mark.parametrize("max_iters", [0, 5])
def test_kmeans_refuses_rows_of_unequal_length(data, max_iters):
    with pytest.raises(ValueError, match=r"^All rows of data must have the same length\.$"):
        mosswick.kmeans(data, 1, max_iters, 0.0)
