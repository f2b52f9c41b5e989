"""k-means, determinant, inverse and pairwise distances against small references that perform
the same operations in the same order, so results must agree bit for bit."""

import math
import random
import struct

import pytest

import mosswick

MAX_FLOAT = 1.7976931348623157e308


def assert_same(ours, ref):
    """Equal structure and bit-identical floats (any NaN matches any NaN)."""
    if isinstance(ref, (list, tuple)):
        assert type(ours) is type(ref) and len(ours) == len(ref)
        for a, b in zip(ours, ref):
            assert_same(a, b)
    elif isinstance(ref, float):
        assert type(ours) is float
        assert (math.isnan(ours) and math.isnan(ref)) or struct.pack("<d", ours) == struct.pack("<d", ref), (ours, ref)
    else:
        assert type(ours) is type(ref) and ours == ref


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
    [(1, 1, 3), (3, 7, 5), (4, 8, 1), (5, 9, 16), (9, 17, 33), (2, 3, 0), (6, 13, (0, 6)), (13, 21, (3, 4))],
)
@pytest.mark.parametrize("specials", [(), (math.inf, -math.inf, math.nan)])
def test_pairwise_against_reference(routine, pair, rows_a, rows_b, length, specials):
    rng = random.Random(f"{rows_a} {rows_b} {length} {specials}")
    a, b = matrix(rng, rows_a, length, specials), matrix(rng, rows_b, length, specials)
    assert_same(routine(a, b), ref_pairwise(pair, a, b))


@pytest.mark.parametrize(
    "routine, a, b, expected",
    [
        (mosswick.pairwise_cosine, [], [[1, 2]], []),
        (mosswick.pairwise_cosine, [[1, 2]], [], []),
        (mosswick.pairwise_manhattan, [[1, 2]], [], []),
        (mosswick.pairwise_cosine, [[1, 0]], [[0, 1], [2, 0]], [[0.0, 1.0]]),
        (mosswick.pairwise_cosine, [[0, 0]], [[1, 1]], [[0.0]]),
        (mosswick.pairwise_cosine, [[]], [[1]], [[0.0]]),
        (mosswick.pairwise_manhattan, [[1, 2]], [[4, 6], [1, 2]], [[7.0, 0.0]]),
        (mosswick.pairwise_manhattan, [[]], [[1]], [[-0.0]]),
        (mosswick.pairwise_manhattan, ((1, 2),), [range(3)], [[2.0]]),
    ],
)
def test_pairwise_examples(routine, a, b, expected):
    assert_same(routine(a, b), expected)


def test_cosine_compares_the_common_prefix():
    assert mosswick.pairwise_cosine([[1, 2, 3]], [[1, 2]])[0][0] == pytest.approx(1.0)


@pytest.mark.parametrize("routine, pair", PAIRWISE)
def test_pairwise_parallel_rows_match_one_by_one(routine, pair):
    rng = random.Random(3)
    a = matrix(rng, 10_000, (4, 5))
    b = matrix(rng, 9, 5)
    result = routine(a, b)
    assert result == [routine([row], b)[0] for row in a]
    assert_same(result, ref_pairwise(pair, a, b))


@pytest.mark.parametrize("routine", [mosswick.pairwise_cosine, mosswick.pairwise_manhattan])
def test_pairwise_conversion_errors_name_the_argument(routine):
    with pytest.raises(TypeError, match="^argument 'matrix_a': Can't extract `str` to `Vec`$"):
        routine("ab", [[1.0]])
    with pytest.raises(TypeError, match="^argument 'matrix_b': "):
        routine([[1.0]], [[1.0, "x"]])
    with pytest.raises(TypeError, match="^argument 'matrix_b': 'float' object cannot be converted to 'Sequence'$"):
        routine([[1.0]], [1.0])


class Clears:
    """A number whose conversion empties a list, as Python code run by a conversion may."""

    def __init__(self, target):
        self.target = target

    def __float__(self):
        self.target.clear()
        return 3.0


def test_rows_that_change_while_they_convert():
    row = [1.0, 2.0, 7.0]
    row[1] = Clears(row)  # the items after it go; the ones converted stay
    assert mosswick.pairwise_manhattan([row], [[0.0, 0.0, 0.0]]) == [[4.0]]
    outer = [[5.0]]
    outer[0].append(Clears(outer))  # the row being converted stays alive, the rows after it go
    outer.append([1.0, 1.0])
    assert mosswick.pairwise_manhattan(outer, [[0.0, 0.0]]) == [[8.0]]


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
@pytest.mark.parametrize("n", [1, 2, 3, 7, 8, 9, 16, 17, 31, 40, 70])
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
    assert_same(mosswick.determinant(rows), ref_determinant(rows))
    expected = ref_inverse(rows)
    ours = inverse_or_none(rows)
    assert (ours is None) == (expected is None)
    if expected is not None:
        assert_same(ours, expected)


@pytest.mark.parametrize(
    "rows, det",
    [
        ([[5]], 5.0), ([[1e-13]], 1e-13), ([[1e-13, 0], [0, 1]], 0.0), ([[1, 2], [3, 4]], -2.0),
        ([[0, 1], [1, 0]], -1.0), ([[2, 0], [0, 3]], 6.0), ([[1, 2], [2, 4]], 0.0), ([[-0.0]], -0.0),
        ([[math.nan]], math.nan), ([[1e-7, 0], [0, 1e-7]], 1e-7 * 1e-7), ([[2e-12, 0], [0, 1]], 2e-12),
        ([[9e-13, 0], [0, 1]], 0.0), ([[1e-13, 0], [0, 1e-13]], 0.0),
    ],
)
def test_determinant_examples(rows, det):
    assert_same(mosswick.determinant(rows), det)


@pytest.mark.parametrize(
    "rows, inverse",
    [
        ([[4]], [[0.25]]), ([[2, 0], [0, 4]], [[0.5, 0.0], [0.0, 0.25]]), ([[1, 2], [2, 4]], None),
        ([[1e-13]], None), ([[9e-13, 0], [0, 1]], None), ([[1e-7, 0], [0, 1e-7]], [[1e7, 0.0], [0.0, 1e7]]),
    ],
)
def test_inverse_examples(rows, inverse):
    assert_same(inverse_or_none(rows), inverse)


def test_inverse_pivots_on_the_larger_entry():
    ours = mosswick.matrix_inverse([[1, 2], [3, 4]])
    assert [v for row in ours for v in row] == pytest.approx([-2.0, 1.0, 1.5, -0.5], rel=1e-15)
    assert_same(ours, ref_inverse([[1, 2], [3, 4]]))


@pytest.mark.parametrize("rows", [[], [[1, 2]], [[1, 2], [3]], [[1, 2], [3, 4, 5]], [[]], [[1], [2]]])
@pytest.mark.parametrize("routine", [mosswick.determinant, mosswick.matrix_inverse])
def test_non_square_matrices_are_refused(routine, rows):
    with pytest.raises(ValueError, match=r"^Matrix must be square\.$"):
        routine(rows)


def test_elimination_conversion_errors_name_the_argument():
    with pytest.raises(TypeError, match="^argument 'matrix': "):
        mosswick.determinant([[1, "2"], [3, 4]])
    with pytest.raises(TypeError, match="^argument 'matrix': "):
        mosswick.matrix_inverse(5)


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
    [(1, 1, 1, 3, 0.0), (9, 2, 3, 5, 1e-4), (30, 3, 7, 8, 0.0), (40, 0, 4, 2, 0.0), (50, 4, 9, 6, 0.5),
     (64, 5, 17, 4, 0.0), (25, 2, 25, 10, 1e-4), (33, 3, 5, 0, 1e-4)],
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
    assert_same((centroids, labels), ref_kmeans(data, k, max_iters, tolerance))


def test_kmeans_example():
    assert mosswick.kmeans([[0.0], [1.0], [10.0], [11.0]], 2, 100, 1e-4) == ([[0.5], [10.5]], [0, 0, 1, 1])


def test_kmeans_without_iterations_returns_the_seed_rows():
    data = [[float(i), -float(i)] for i in range(10)]
    assert mosswick.kmeans(data, 3, 0, 1e-4) == ([data[0], data[3], data[6]], [0] * 10)


def test_kmeans_with_every_row_its_own_cluster():
    data = [[3.0], [1.0], [2.0]]
    assert mosswick.kmeans(data, 3, 10, 1e-4) == (data, [0, 1, 2])


def test_empty_cluster_is_reset_to_its_seed_row():
    # The seeds, rows 0 and 2, are both [0.0]: every row ties and goes to cluster 0.
    assert mosswick.kmeans([[0.0], [0.0], [0.0], [10.0]], 2, 1, 0.0) == ([[2.5], [0.0]], [0, 0, 0, 0])


def test_nan_distances_never_win():
    # Centroid 0 is the NaN row: its distances are NaN, so row 0 keeps label 0 and the others take 1.
    _, labels = mosswick.kmeans([[math.nan], [1.0], [2.0]], 2, 1, 0.0)
    assert labels == [0, 1, 1]


def test_kmeans_parallel_assignment_matches_reference():
    rng = random.Random(11)
    data = [[rng.gauss(0.0, 1.0), float(rng.randint(0, 3))] for _ in range(10_003)]
    assert_same(mosswick.kmeans(data, 5, 3, 0.0), ref_kmeans(data, 5, 3, 0.0))


@pytest.mark.parametrize("data, k", [([[1.0], [2.0]], 0), ([[1.0], [2.0]], 3), ([], 1)])
def test_kmeans_refuses_bad_sizes(data, k):
    with pytest.raises(ValueError, match=r"^Invalid input data size or cluster count 'k'\.$"):
        mosswick.kmeans(data, k, 10, 1e-4)


@pytest.mark.parametrize("data", [[[1.0, 2.0], [3.0]], [[1.0], [2.0, 3.0]], [[1.0], [2.0], []]])
@pytest.mark.parametrize("max_iters", [0, 5])
def test_kmeans_refuses_rows_of_unequal_length(data, max_iters):
    with pytest.raises(ValueError, match=r"^All rows of data must have the same length\.$"):
        mosswick.kmeans(data, 1, max_iters, 0.0)


def test_kmeans_conversion_errors():
    with pytest.raises(TypeError, match="^argument 'k': "):
        mosswick.kmeans([[1.0]], 1.0, 1, 0.0)
    with pytest.raises(OverflowError):
        mosswick.kmeans([[1.0]], -1, 1, 0.0)
    with pytest.raises(TypeError, match="^argument 'tolerance': "):
        mosswick.kmeans([[1.0]], 1, 1, None)
    with pytest.raises(TypeError, match="^argument 'data': "):
        mosswick.kmeans([[1.0, None]], 1, 1, 0.0)
