"""Fast numeric and algorithmic routines, written in C++.

Every routine binds its arguments like a Python function (positionally or by
keyword) and raises TypeError naming the argument when one does not convert, for
example "argument 'alpha': must be real number, not NoneType". Integers out of
range raise CPython's OverflowError unchanged. Array parameters take NumPy arrays
of exactly the named dtype (float64 or int64) and number of dimensions, never
converted; without NumPy installed the array routines fail and the list routines
keep working.

In the signatures, ``_Ints``, ``_Reals`` and ``_RealRows`` stand for any sequence
but a str (list, tuple, range, ``array.array``, NumPy array) of integers, of real
numbers, or of sequences of real numbers; ``_Real`` for a number, converted through
``__float__`` or ``__index__``. ``_Float64Vector``, ``_Float64Matrix`` and
``_Float64Array`` are float64 NumPy arrays of one, two and any number of
dimensions, ``_Int64Vector`` a one-dimensional int64 NumPy array.

An internal check that fails inside a routine raises ``InternalFailure``
(``mosswick.InternalFailure``), which derives from BaseException like SystemExit,
so ``except Exception`` does not catch it; it is not a module attribute. The
examples assume ``import numpy as np`` and ``import mosswick``.
"""

from collections.abc import Sequence
from typing import Any, SupportsFloat, SupportsIndex

import numpy as np
from numpy.typing import NDArray

# The kinds of argument the module docstring names. Complex values are left out:
# converting them drops the imaginary part.
_Real = SupportsFloat | SupportsIndex
_RealArray = NDArray[np.floating[Any] | np.integer[Any] | np.bool_]
_Ints = Sequence[SupportsIndex] | NDArray[np.integer[Any]]
_Reals = Sequence[_Real] | _RealArray
_RealRows = Sequence[_Reals] | _RealArray

# The names give the number of dimensions, which the types cannot check.
_Float64Vector = NDArray[np.float64]
_Float64Matrix = NDArray[np.float64]
_Float64Array = NDArray[np.float64]
_Int64Vector = NDArray[np.int64]

__all__: list[str]

# Sorting
def quicksort(arr: _Ints) -> list[int]:
    """A new ascending list, by randomised three-way quicksort.

    Parameters
    ----------
    arr : sequence of int
        Signed 64-bit integers: a list, tuple, range, ``array.array`` or integer
        NumPy array (any sequence but a str). It is copied, never modified.

    Returns
    -------
    list of int
        The items in ascending order.

    Raises
    ------
    TypeError
        "argument 'arr': ..." followed by the reason when `arr` is a str
        (``"argument 'arr': Can't extract `str` to `Vec`"``), is not a sequence
        ("argument 'arr': 'dict' object cannot be converted to 'Sequence'") or
        holds a non-integer ("argument 'arr': 'float' object cannot be
        interpreted as an integer").
    OverflowError
        "Python int too large to convert to C long" for an item outside
        -2**63 to 2**63 - 1.

    Notes
    -----
    The interpreter lock is released while sorting; Ctrl-C stops the sort part-way.
    Pivots are drawn at random, so the work differs between runs; the result does not.

    Examples
    --------
    >>> mosswick.quicksort([5, 3, 9, 1, 3])
    [1, 3, 3, 5, 9]
    >>> mosswick.quicksort(range(3, 0, -1))
    [1, 2, 3]
    """

def quicksort_f64(arr: _Reals) -> list[float]:
    """A new list of floats: the non-NaN values ascending (-0.0 before 0.0), then the NaNs.

    Parameters
    ----------
    arr : sequence of float
        Real numbers (ints are taken as floats); any sequence but a str.

    Returns
    -------
    list of float
        The values ascending, -0.0 before 0.0, every NaN at the end.

    Raises
    ------
    TypeError
        "argument 'arr': ..." when `arr` is a str or not a sequence, or for an item
        that is not a real number ("argument 'arr': must be real number, not str").

    Notes
    -----
    NaNs are sorted last rather than left where an IEEE comparison would leave
    them. The interpreter lock is released while sorting; Ctrl-C stops the sort.

    Examples
    --------
    >>> mosswick.quicksort_f64([3.0, float("nan"), 0.0, -0.0, 1])
    [-0.0, 0.0, 1.0, 3.0, nan]
    """

def mergesort(arr: _Ints) -> list[int]:
    """A new ascending list, by stable top-down merge sort.

    Parameters
    ----------
    arr : sequence of int
        Signed 64-bit integers; any sequence but a str. It is not modified.

    Returns
    -------
    list of int
        The items in ascending order.

    Raises
    ------
    TypeError
        "argument 'arr': ..." when `arr` is a str, not a sequence, or holds a
        non-integer.
    OverflowError
        "Python int too large to convert to C long" for an item outside the signed
        64-bit range.

    Notes
    -----
    The interpreter lock is released while sorting; Ctrl-C stops the sort part-way.

    Examples
    --------
    >>> mosswick.mergesort([2, -7, 2, 0])
    [-7, 0, 2, 2]
    """

def parallel_sort(arr: _Ints) -> list[int]:
    """A new ascending list; from 50,000 items sorted in chunks on threads of its own, then merged.

    Parameters
    ----------
    arr : sequence of int
        Signed 64-bit integers; any sequence but a str. It is not modified.

    Returns
    -------
    list of int
        The items in ascending order, equal to what `quicksort` returns.

    Raises
    ------
    TypeError
        "argument 'arr': ..." when `arr` is a str, not a sequence, or holds a
        non-integer.
    OverflowError
        "Python int too large to convert to C long" for an item outside the signed
        64-bit range.
    InternalFailure
        "failed to spawn thread: " and the system's reason when a thread cannot be
        started.

    Notes
    -----
    Below 50,000 items it sorts on the calling thread. From 50,000 it starts one
    thread per available processor (not the worker pool). The interpreter lock is
    released while sorting; Ctrl-C stops the sort part-way.

    Examples
    --------
    >>> mosswick.parallel_sort([4, 1, 3, 2])
    [1, 2, 3, 4]
    >>> mosswick.parallel_sort(range(100_000, 0, -1))[:3]
    [1, 2, 3]
    """

# Searching and selection
def binary_search(arr: _Ints, target: SupportsIndex) -> int | None:
    """The index of an item equal to target in the ascending list, or None.

    Parameters
    ----------
    arr : sequence of int
        Signed 64-bit integers in ascending order (the order is not checked).
    target : int
        The signed 64-bit value to look for.

    Returns
    -------
    int or None
        The index of an item equal to `target`, or None when there is none. With
        repeated values it is the first equal item the bisection meets, not
        necessarily the first occurrence.

    Raises
    ------
    TypeError
        "argument 'arr': ..." or "argument 'target': ..." when an argument does
        not convert.
    OverflowError
        "Python int too large to convert to C long" for a value outside the signed
        64-bit range.

    Examples
    --------
    >>> mosswick.binary_search([1, 3, 5], 5)
    2
    >>> print(mosswick.binary_search([1, 3, 5], 4))
    None
    """

def kth_smallest(arr: _Ints, k: SupportsIndex) -> int:
    """The k-th smallest item (k from 1); IndexError "k out of range" otherwise.

    Parameters
    ----------
    arr : sequence of int
        Signed 64-bit integers; any sequence but a str. It is not modified.
    k : int
        The rank, from 1 (the smallest) to ``len(arr)``.

    Returns
    -------
    int
        The item that would stand at index ``k - 1`` after sorting.

    Raises
    ------
    IndexError
        "k out of range" when `k` is 0 or greater than ``len(arr)``.
    TypeError
        "argument 'arr': ..." or "argument 'k': ..." when an argument does not
        convert.
    OverflowError
        "can't convert negative int to unsigned" for a negative `k`; "Python int too
        large to convert to C long" for an item outside the signed 64-bit range.

    Notes
    -----
    Quickselect with random pivots, expected linear time. The interpreter lock is
    released while selecting; Ctrl-C stops it part-way.

    Examples
    --------
    >>> mosswick.kth_smallest([7, 1, 5, 3], 2)
    3
    """

def top_k(arr: _Ints, k: SupportsIndex) -> list[int]:
    """The min(k, len(arr)) largest items, largest first.

    Parameters
    ----------
    arr : sequence of int
        Signed 64-bit integers; any sequence but a str. It is not modified.
    k : int
        How many items to return, 0 or more; more than ``len(arr)`` returns them all.

    Returns
    -------
    list of int
        The largest items in descending order, duplicates kept.

    Raises
    ------
    TypeError
        "argument 'arr': ..." or "argument 'k': ..." when an argument does not
        convert.
    OverflowError
        "can't convert negative int to unsigned" for a negative `k`; "Python int too
        large to convert to C long" for an item outside the signed 64-bit range.

    Notes
    -----
    The interpreter lock is released while selecting; Ctrl-C stops it part-way.

    Examples
    --------
    >>> mosswick.top_k([5, 1, 5, 3], 3)
    [5, 5, 3]
    >>> mosswick.top_k([2, 1], 10)
    [2, 1]
    """

def dedup(arr: _Ints) -> list[int]:
    """The distinct items in order of first appearance.

    Parameters
    ----------
    arr : sequence of int
        Signed 64-bit integers; any sequence but a str. It is not modified.

    Returns
    -------
    list of int
        Each value once, where it first appeared.

    Raises
    ------
    TypeError
        "argument 'arr': ..." when `arr` is a str, not a sequence, or holds a
        non-integer.
    OverflowError
        "Python int too large to convert to C long" for an item outside the signed
        64-bit range.

    Notes
    -----
    The interpreter lock is released while the items are scanned.

    Examples
    --------
    >>> mosswick.dedup([3, 1, 3, 2, 1])
    [3, 1, 2]
    """

def levenshtein(a: str, b: str) -> int:
    """The edit distance between the UTF-8 encodings of a and b.

    Parameters
    ----------
    a, b : str
        The two texts. They are compared byte by byte in UTF-8.

    Returns
    -------
    int
        The least number of single-byte insertions, deletions and substitutions
        that turn one encoding into the other.

    Raises
    ------
    TypeError
        "argument 'a': 'int' object cannot be converted to 'PyString'" (or for
        `b`) when an argument is not a str.
    UnicodeEncodeError
        For a str holding a lone surrogate, which has no UTF-8 form.

    Notes
    -----
    A character of several UTF-8 bytes counts as several symbols: the distance
    between "é" and "e" is 2. The interpreter lock is released while computing;
    Ctrl-C stops it part-way.

    Examples
    --------
    >>> mosswick.levenshtein("kitten", "sitting")
    3
    >>> mosswick.levenshtein("é", "e")
    2
    """

# Number theory
def gcd(a: SupportsIndex, b: SupportsIndex) -> int:
    """The greatest common divisor, never negative.

    Parameters
    ----------
    a, b : int
        Signed 64-bit integers, -2**63 to 2**63 - 1.

    Returns
    -------
    int
        The greatest common divisor of the magnitudes of a and b; ``gcd(0, 0)`` is 0. Exact for
        every argument, including ``gcd(-2**63, 0)``, which is 2**63.

    Raises
    ------
    TypeError
        "argument 'a': ..." (or `b`) for a non-integer, e.g. a float.
    OverflowError
        "Python int too large to convert to C long" for an argument outside the
        signed 64-bit range.

    Examples
    --------
    >>> mosswick.gcd(-12, 18)
    6
    """

def lcm(a: SupportsIndex, b: SupportsIndex) -> int:
    """The least common multiple, never negative, exact.

    Parameters
    ----------
    a, b : int
        Signed 64-bit integers, -2**63 to 2**63 - 1.

    Returns
    -------
    int
        The least common multiple of the magnitudes of a and b, 0 when either is 0. Results that
        do not fit 64 bits are still exact.

    Raises
    ------
    TypeError
        "argument 'a': ..." (or `b`) for a non-integer.
    OverflowError
        "Python int too large to convert to C long" for an argument outside the
        signed 64-bit range.

    Examples
    --------
    >>> mosswick.lcm(4, -6)
    12
    >>> mosswick.lcm(2**62, 3)
    13835058055282163712
    """

def mod_pow(base: SupportsIndex, exp: SupportsIndex, modulus: SupportsIndex) -> int:
    """base ** exp % modulus for unsigned 64-bit operands.

    Parameters
    ----------
    base, exp, modulus : int
        Unsigned 64-bit integers, 0 to 2**64 - 1.

    Returns
    -------
    int
        ``pow(base, exp, modulus)``, exact for every 64-bit modulus; 0 when
        `modulus` is 1, and 1 when `exp` is 0 (otherwise).

    Raises
    ------
    InternalFailure
        "attempt to calculate the remainder with a divisor of zero" when `modulus`
        is 0.
    TypeError
        "argument 'base': ..." (or `exp`, `modulus`) for a non-integer.
    OverflowError
        "can't convert negative int to unsigned" or "int too big to convert" for an
        argument outside the unsigned 64-bit range.

    Notes
    -----
    A modulus of 0 is an internal failure, not a ValueError: ``except Exception``
    does not catch it.

    Examples
    --------
    >>> mosswick.mod_pow(2, 10, 1000)
    24
    """

def is_prime(n: SupportsIndex) -> bool:
    """Whether the unsigned 64-bit n is prime (deterministic).

    Parameters
    ----------
    n : int
        An unsigned 64-bit integer, 0 to 2**64 - 1.

    Returns
    -------
    bool
        True when `n` is prime. Exact for every 64-bit `n`: trial division by the
        first twelve primes, then Miller-Rabin with those twelve as witnesses.

    Raises
    ------
    TypeError
        "argument 'n': ..." for a non-integer.
    OverflowError
        "can't convert negative int to unsigned" or "int too big to convert" for
        `n` outside the unsigned 64-bit range.

    Examples
    --------
    >>> mosswick.is_prime(561), mosswick.is_prime(18446744073709551557)
    (False, True)
    """

def sieve(limit: SupportsIndex) -> list[int]:
    """Every prime p with 2 <= p <= limit, ascending.

    Parameters
    ----------
    limit : int
        The inclusive upper bound, an unsigned 64-bit integer.

    Returns
    -------
    list of int
        The primes up to and including `limit`; empty below 2.

    Raises
    ------
    TypeError
        "argument 'limit': ..." for a non-integer.
    OverflowError
        "can't convert negative int to unsigned" or "int too big to convert" for
        `limit` outside the unsigned 64-bit range.
    MemoryError
        When the ``limit + 1`` bytes of the sieve cannot be allocated.

    Notes
    -----
    The interpreter lock is released while sieving; Ctrl-C stops it part-way.

    Examples
    --------
    >>> mosswick.sieve(11)
    [2, 3, 5, 7, 11]
    """

def fibonacci(n: SupportsIndex) -> int:
    """The Fibonacci number F(n), for n from 0 to 93.

    Parameters
    ----------
    n : int
        The index, 0 to 93 (F(93) is the largest Fibonacci number below 2**64).

    Returns
    -------
    int
        F(n), with F(0) = 0 and F(1) = 1, by fast doubling.

    Raises
    ------
    OverflowError
        "fibonacci() result does not fit in 64 bits: n must be at most 93" for a
        larger `n`; "can't convert negative int to unsigned" for a negative one.
    TypeError
        "argument 'n': ..." for a non-integer.

    Examples
    --------
    >>> mosswick.fibonacci(10), mosswick.fibonacci(93)
    (55, 12200160415121876738)
    """

# Statistics, vector products and edit distance
def mean(arr: _Reals) -> float:
    """The arithmetic mean (0.0 for an empty list).

    Parameters
    ----------
    arr : sequence of float
        Real numbers (ints are taken as floats); any sequence but a str.

    Returns
    -------
    float
        The sum, added left to right, divided by the length; 0.0 for an empty
        sequence. NaN propagates.

    Raises
    ------
    TypeError
        "argument 'arr': ..." when `arr` is a str or not a sequence, or for an item
        that is not a real number.

    Examples
    --------
    >>> mosswick.mean([1, 2, 3, 4])
    2.5
    """

def median(arr: _Reals) -> float:
    """The median (0.0 for an empty list).

    Parameters
    ----------
    arr : sequence of float
        Real numbers (ints are taken as floats); any sequence but a str.

    Returns
    -------
    float
        The middle value, or the mean of the two middle values for an even length;
        0.0 for an empty sequence.

    Raises
    ------
    InternalFailure
        ``"called `Option::unwrap()` on a `None` value"`` when two or more values
        are given and one is NaN (a lone NaN is returned as it is).
    TypeError
        "argument 'arr': ..." when `arr` is a str or not a sequence, or for an item
        that is not a real number.

    Notes
    -----
    A NaN is an internal failure, not a ValueError: ``except Exception`` does not
    catch it.

    Examples
    --------
    >>> mosswick.median([4, 1, 3, 2])
    2.5
    """

def variance(arr: _Reals) -> float:
    """The population variance, two-pass (0.0 for an empty list).

    Parameters
    ----------
    arr : sequence of float
        Real numbers (ints are taken as floats); any sequence but a str.

    Returns
    -------
    float
        The mean of the squared deviations from the mean (divisor n, not n - 1),
        computed in two passes; 0.0 for an empty sequence. NaN propagates.

    Raises
    ------
    TypeError
        "argument 'arr': ..." when `arr` is a str or not a sequence, or for an item
        that is not a real number.

    Examples
    --------
    >>> mosswick.variance([2, 4, 4, 4, 5, 5, 7, 9])
    4.0
    """

def std_dev(arr: _Reals) -> float:
    """The population standard deviation (0.0 for an empty list).

    Parameters
    ----------
    arr : sequence of float
        Real numbers (ints are taken as floats); any sequence but a str.

    Returns
    -------
    float
        The square root of `variance`; 0.0 for an empty sequence.

    Raises
    ------
    TypeError
        "argument 'arr': ..." when `arr` is a str or not a sequence, or for an item
        that is not a real number.

    Examples
    --------
    >>> mosswick.std_dev([2, 4, 4, 4, 5, 5, 7, 9])
    2.0
    """

def dot_product(a: _Reals, b: _Reals) -> float:
    """The sum of a[i] * b[i], left to right; the lengths must match.

    Parameters
    ----------
    a, b : sequence of float
        Real numbers of equal length; any sequences but strs.

    Returns
    -------
    float
        The products added from the first to the last, starting from -0.0 (so two
        empty sequences give -0.0). NaN propagates.

    Raises
    ------
    ValueError
        "vectors must be same length" when the lengths differ.
    TypeError
        "argument 'a': ..." (or `b`) when an argument does not convert.

    Examples
    --------
    >>> mosswick.dot_product([1, 2, 3], [4, 5, 6])
    32.0
    """

def matmul(a: _RealRows, b: _RealRows) -> list[list[float]]:
    """The matrix product of two lists of rows, skipping zero entries of a.

    Parameters
    ----------
    a : sequence of sequences of float
        An n x m matrix as a sequence of rows.
    b : sequence of sequences of float
        An m x p matrix as a sequence of rows.

    Returns
    -------
    list of lists of float
        The n x p product. A zero entry of `a` is skipped, so it never multiplies an
        infinity or NaN of `b`.

    Raises
    ------
    ValueError
        "incompatible matrix dimensions" when `a` or `b` has no rows, or the first
        row of `a` does not have one entry per row of `b`.
    InternalFailure
        "index out of bounds: the len is {len} but the index is {index}" when a row
        that is used is shorter than the first row says.
    TypeError
        "argument 'a': ..." (or `b`) when an argument does not convert.

    Examples
    --------
    >>> mosswick.matmul([[1, 2], [3, 4]], [[5, 6], [7, 8]])
    [[19.0, 22.0], [43.0, 50.0]]
    """

# Machine-learning routines
def kmeans(
    data: _RealRows, k: SupportsIndex, max_iters: SupportsIndex, tolerance: _Real
) -> tuple[list[list[float]], list[int]]:
    """Deterministic Lloyd's k-means: (centroids, labels).

    Parameters
    ----------
    data : sequence of sequences of float
        n rows of equal length d.
    k : int
        The number of clusters, 1 to n.
    max_iters : int
        The most iterations to run, 0 or more (0 returns the seed rows).
    tolerance : float
        The run stops once the summed distance the centroids moved in an
        iteration is below it (strictly); 0.0 runs all `max_iters` iterations.

    Returns
    -------
    centroids : list of lists of float
        k rows of d values. Cluster c starts at row ``data[c * (n // k)]``; a
        cluster left without rows goes back to that row.
    labels : list of int
        For each row, the index of its nearest centroid (ties to the lowest index)
        in the last assignment, made before the last centroid update.

    Raises
    ------
    ValueError
        "Invalid input data size or cluster count 'k'." when `data` is empty, `k`
        is 0 or `k` exceeds the number of rows; "All rows of data must have the
        same length." for ragged rows.
    TypeError
        "argument 'data': ..." (or `k`, `max_iters`, `tolerance`) when an argument
        does not convert.
    OverflowError
        "can't convert negative int to unsigned" for a negative `k` or `max_iters`.

    Notes
    -----
    No randomness: equal inputs give equal results. From 10,000 rows the rows are
    assigned on the worker pool. The interpreter lock is released while
    clustering; Ctrl-C stops it part-way.

    Examples
    --------
    >>> mosswick.kmeans([[0.0], [1.0], [10.0], [11.0]], 2, 100, 1e-4)
    ([[0.5], [10.5]], [0, 0, 1, 1])
    """

def pairwise_manhattan(matrix_a: _RealRows, matrix_b: _RealRows) -> list[list[float]]:
    """The L1 distance between every row of matrix_a and every row of matrix_b.

    Parameters
    ----------
    matrix_a, matrix_b : sequence of sequences of float
        Sequences of rows. Rows of different lengths are compared over their
        common prefix.

    Returns
    -------
    list of lists of float
        Entry [i][j] is the sum of ``abs(a_i[k] - b_j[k])`` over the common prefix
        (-0.0 when it is empty); an empty `matrix_a` or `matrix_b` gives no rows or
        empty rows.

    Raises
    ------
    TypeError
        "argument 'matrix_a': ..." (or `matrix_b`) when an argument does not
        convert.

    Notes
    -----
    From 10,000 rows of `matrix_a` the rows are computed on the worker pool, with
    equal results. The interpreter lock is released; Ctrl-C stops it part-way.

    Examples
    --------
    >>> mosswick.pairwise_manhattan([[1, 2]], [[4, 6], [1, 2]])
    [[7.0, 0.0]]
    """

def pairwise_cosine(matrix_a: _RealRows, matrix_b: _RealRows) -> list[list[float]]:
    """The cosine similarity between every row of matrix_a and every row of matrix_b.

    Parameters
    ----------
    matrix_a, matrix_b : sequence of sequences of float
        Sequences of rows. Rows of different lengths are compared over their
        common prefix.

    Returns
    -------
    list of lists of float
        Entry [i][j] is the cosine similarity of row i of `matrix_a` and row j of
        `matrix_b`, in [-1, 1] up to rounding; 0.0 when either row has zero norm
        over the common prefix.

    Raises
    ------
    TypeError
        "argument 'matrix_a': ..." (or `matrix_b`) when an argument does not
        convert.

    Notes
    -----
    From 10,000 rows of `matrix_a` the rows are computed on the worker pool, with
    equal results. The interpreter lock is released; Ctrl-C stops it part-way.

    Examples
    --------
    >>> mosswick.pairwise_cosine([[1, 0]], [[0, 1], [2, 0], [0, 0]])
    [[0.0, 1.0, 0.0]]
    """

def determinant(matrix: _RealRows) -> float:
    """The determinant, by Gaussian elimination with partial pivoting.

    Parameters
    ----------
    matrix : sequence of sequences of float
        A square matrix of at least one row.

    Returns
    -------
    float
        The determinant; 0.0 as soon as a pivot's magnitude is below 1e-12 (an
        absolute bound). A 1 x 1 matrix returns its entry.

    Raises
    ------
    ValueError
        "Matrix must be square." when `matrix` is empty or a row's length differs
        from the number of rows.
    TypeError
        "argument 'matrix': ..." when the argument does not convert.

    Notes
    -----
    The interpreter lock is released while eliminating; Ctrl-C stops it part-way.

    Examples
    --------
    >>> mosswick.determinant([[1, 2], [3, 4]])
    -2.0
    >>> mosswick.determinant([[1, 2], [2, 4]])
    0.0
    """

def matrix_inverse(matrix: _RealRows) -> list[list[float]]:
    """The inverse, by Gauss-Jordan elimination with partial pivoting.

    Parameters
    ----------
    matrix : sequence of sequences of float
        A square matrix of at least one row.

    Returns
    -------
    list of lists of float
        The inverse matrix.

    Raises
    ------
    ValueError
        "Matrix must be square." when `matrix` is empty or a row's length differs
        from the number of rows; "Matrix is singular and cannot be inverted." when
        a pivot's magnitude is below 1e-12 (an absolute bound, so ``[[1e-13]]`` is
        singular).
    TypeError
        "argument 'matrix': ..." when the argument does not convert.

    Notes
    -----
    The interpreter lock is released while eliminating; Ctrl-C stops it part-way.

    Examples
    --------
    >>> mosswick.matrix_inverse([[2, 0], [0, 4]])
    [[0.5, 0.0], [0.0, 0.25]]
    """

# Activations and derivatives
def relu(x: _Float64Vector) -> _Float64Vector:
    """max(x, 0) element by element.

    Parameters
    ----------
    x : numpy.ndarray
        A one-dimensional float64 array of any stride. It is only read.

    Returns
    -------
    numpy.ndarray
        A new float64 array: ``max(x, 0.0)``; -0.0 and NaN give 0.0.

    Raises
    ------
    TypeError
        "argument 'x': 'list' object cannot be converted to 'PyArray<T, D>'" when
        `x` is not a NumPy array, or (with 'ndarray') not one-dimensional float64.
    InternalFailure
        "AlreadyBorrowed" when another call is writing `x`; "Failed to access NumPy
        array API capsule: ..." when NumPy cannot be imported.

    Notes
    -----
    The interpreter lock is released while computing; from 10,000 elements the
    work runs on the worker pool with equal results.

    Examples
    --------
    >>> mosswick.relu(np.array([-1.0, -0.0, 2.5]))
    array([0. , 0. , 2.5])
    """

def relu_derivative(x: _Float64Vector) -> _Float64Vector:
    """1.0 where x > 0, else 0.0.

    Parameters
    ----------
    x : numpy.ndarray
        The pre-activation input: a one-dimensional float64 array of any stride.

    Returns
    -------
    numpy.ndarray
        A new float64 array of ones and zeros (0.0 at zero and NaN).

    Raises
    ------
    TypeError
        "argument 'x': ... cannot be converted to 'PyArray<T, D>'" when `x` is not
        a one-dimensional float64 NumPy array.
    InternalFailure
        "AlreadyBorrowed" when another call is writing `x`; "Failed to access NumPy
        array API capsule: ..." when NumPy cannot be imported.

    Notes
    -----
    The interpreter lock is released while computing.

    Examples
    --------
    >>> mosswick.relu_derivative(np.array([-1.0, 0.0, 3.0]))
    array([0., 0., 1.])
    """

def leaky_relu(x: _Float64Vector, alpha: _Real = 0.01) -> _Float64Vector:
    """Leaky ReLU: avoids the "dead neuron" problem where a standard ReLU
    permanently zeroes out a unit whose input never goes positive again.

    Computes x where x > 0, else x * alpha.

    Parameters
    ----------
    x : numpy.ndarray
        A one-dimensional float64 array of any stride.
    alpha : float, default 0.01
        The slope for x <= 0. None is refused, not taken as the default.

    Returns
    -------
    numpy.ndarray
        A new float64 array.

    Raises
    ------
    TypeError
        "argument 'x': ... cannot be converted to 'PyArray<T, D>'" when `x` is not
        a one-dimensional float64 NumPy array; "argument 'alpha': must be real
        number, not NoneType" (or another type) when `alpha` is not a number.
    InternalFailure
        "AlreadyBorrowed" when another call is writing `x`; "Failed to access NumPy
        array API capsule: ..." when NumPy cannot be imported.

    Notes
    -----
    The interpreter lock is released while computing.

    Examples
    --------
    >>> mosswick.leaky_relu(np.array([-2.0, 3.0])).tolist()
    [-0.02, 3.0]
    """

def leaky_relu_derivative(x: _Float64Vector, alpha: _Real = 0.01) -> _Float64Vector:
    """1.0 where x > 0, else alpha.

    Parameters
    ----------
    x : numpy.ndarray
        The pre-activation input: a one-dimensional float64 array of any stride.
    alpha : float, default 0.01
        The slope for x <= 0 (and for NaN).

    Returns
    -------
    numpy.ndarray
        A new float64 array.

    Raises
    ------
    TypeError
        "argument 'x': ..." when `x` is not a one-dimensional float64 NumPy array;
        "argument 'alpha': ..." when `alpha` is not a number.
    InternalFailure
        "AlreadyBorrowed" when another call is writing `x`; "Failed to access NumPy
        array API capsule: ..." when NumPy cannot be imported.

    Notes
    -----
    The interpreter lock is released while computing.

    Examples
    --------
    >>> mosswick.leaky_relu_derivative(np.array([-2.0, 0.0, 3.0]), alpha=0.1).tolist()
    [0.1, 0.1, 1.0]
    """

def elu(x: _Float64Vector, alpha: _Real = 1.0) -> _Float64Vector:
    """ELU: smooth for x < 0 (unlike Leaky ReLU's hard kink), which can speed
    up convergence by keeping mean activations closer to zero.

    Computes x where x > 0, else (exp(x) - 1) * alpha.

    Parameters
    ----------
    x : numpy.ndarray
        A one-dimensional float64 array of any stride.
    alpha : float, default 1.0
        The scale of the negative side.

    Returns
    -------
    numpy.ndarray
        A new float64 array.

    Raises
    ------
    TypeError
        "argument 'x': ..." when `x` is not a one-dimensional float64 NumPy array;
        "argument 'alpha': ..." when `alpha` is not a number.
    InternalFailure
        "AlreadyBorrowed" when another call is writing `x`; "Failed to access NumPy
        array API capsule: ..." when NumPy cannot be imported.

    Notes
    -----
    exp is the C library's, bit for bit. The interpreter lock is released while
    computing.

    Examples
    --------
    >>> mosswick.elu(np.array([-1.0, 2.0])).tolist()
    [-0.6321205588285577, 2.0]
    """

def elu_derivative(x: _Float64Vector, alpha: _Real = 1.0) -> _Float64Vector:
    """1.0 where x > 0, else exp(x) * alpha.

    Parameters
    ----------
    x : numpy.ndarray
        The pre-activation input: a one-dimensional float64 array of any stride.
    alpha : float, default 1.0
        The scale of the negative side.

    Returns
    -------
    numpy.ndarray
        A new float64 array (`alpha` at 0.0).

    Raises
    ------
    TypeError
        "argument 'x': ..." when `x` is not a one-dimensional float64 NumPy array;
        "argument 'alpha': ..." when `alpha` is not a number.
    InternalFailure
        "AlreadyBorrowed" when another call is writing `x`; "Failed to access NumPy
        array API capsule: ..." when NumPy cannot be imported.

    Notes
    -----
    The interpreter lock is released while computing.

    Examples
    --------
    >>> mosswick.elu_derivative(np.array([0.0, 2.0]), alpha=0.5).tolist()
    [0.5, 1.0]
    """

def gelu(x: _Float64Vector) -> _Float64Vector:
    """GELU (tanh approximation) — the activation used in BERT/GPT-style
    transformers. Smoother than ReLU everywhere, which matters for
    transformer training stability.

    Computes (x * 0.5) * (tanh(u) + 1) with
    u = (x + x**3 * 0.044715) * 0.7978845608028654.

    Parameters
    ----------
    x : numpy.ndarray
        A one-dimensional float64 array of any stride.

    Returns
    -------
    numpy.ndarray
        A new float64 array.

    Raises
    ------
    TypeError
        "argument 'x': ..." when `x` is not a one-dimensional float64 NumPy array.
    InternalFailure
        "AlreadyBorrowed" when another call is writing `x`; "Failed to access NumPy
        array API capsule: ..." when NumPy cannot be imported.

    Notes
    -----
    tanh is the C library's, bit for bit. The interpreter lock is released while
    computing.

    Examples
    --------
    >>> mosswick.gelu(np.array([0.0, 1.0])).tolist()
    [0.0, 0.8411919906082768]
    """

def silu(x: _Float64Vector) -> _Float64Vector:
    """Swish / SiLU: x * sigmoid(x). Used in EfficientNet and several modern
    architectures; unlike ReLU, it's non-monotonic and smooth everywhere.

    Parameters
    ----------
    x : numpy.ndarray
        A one-dimensional float64 array of any stride.

    Returns
    -------
    numpy.ndarray
        A new float64 array: x / (exp(-x) + 1).

    Raises
    ------
    TypeError
        "argument 'x': ..." when `x` is not a one-dimensional float64 NumPy array.
    InternalFailure
        "AlreadyBorrowed" when another call is writing `x`; "Failed to access NumPy
        array API capsule: ..." when NumPy cannot be imported.

    Notes
    -----
    The interpreter lock is released while computing.

    Examples
    --------
    >>> mosswick.silu(np.array([0.0, 1.0])).tolist()
    [0.0, 0.7310585786300049]
    """

def silu_derivative(x: _Float64Vector) -> _Float64Vector:
    """The derivative of SiLU at x.

    Parameters
    ----------
    x : numpy.ndarray
        The pre-activation input: a one-dimensional float64 array of any stride.

    Returns
    -------
    numpy.ndarray
        A new float64 array: s + x * s * (1 - s) with s = sigmoid(x).

    Raises
    ------
    TypeError
        "argument 'x': ..." when `x` is not a one-dimensional float64 NumPy array.
    InternalFailure
        "AlreadyBorrowed" when another call is writing `x`; "Failed to access NumPy
        array API capsule: ..." when NumPy cannot be imported.

    Notes
    -----
    The interpreter lock is released while computing.

    Examples
    --------
    >>> mosswick.silu_derivative(np.array([0.0])).tolist()
    [0.5]
    """

def sigmoid(x: _Float64Vector) -> _Float64Vector:
    """1 / (1 + exp(-x)).

    Parameters
    ----------
    x : numpy.ndarray
        A one-dimensional float64 array of any stride.

    Returns
    -------
    numpy.ndarray
        A new float64 array; 0.0 where exp(-x) overflows.

    Raises
    ------
    TypeError
        "argument 'x': ..." when `x` is not a one-dimensional float64 NumPy array.
    InternalFailure
        "AlreadyBorrowed" when another call is writing `x`; "Failed to access NumPy
        array API capsule: ..." when NumPy cannot be imported.

    Notes
    -----
    The interpreter lock is released while computing.

    Examples
    --------
    >>> mosswick.sigmoid(np.array([0.0, -1000.0])).tolist()
    [0.5, 0.0]
    """

def sigmoid_derivative(x: _Float64Vector) -> _Float64Vector:
    """sigmoid(x) * (1 - sigmoid(x)).

    Parameters
    ----------
    x : numpy.ndarray
        The pre-activation input: a one-dimensional float64 array of any stride.

    Returns
    -------
    numpy.ndarray
        A new float64 array.

    Raises
    ------
    TypeError
        "argument 'x': ..." when `x` is not a one-dimensional float64 NumPy array.
    InternalFailure
        "AlreadyBorrowed" when another call is writing `x`; "Failed to access NumPy
        array API capsule: ..." when NumPy cannot be imported.

    Notes
    -----
    The interpreter lock is released while computing.

    Examples
    --------
    >>> mosswick.sigmoid_derivative(np.array([0.0])).tolist()
    [0.25]
    """

def tanh(x: _Float64Vector) -> _Float64Vector:
    """The hyperbolic tangent.

    Parameters
    ----------
    x : numpy.ndarray
        A one-dimensional float64 array of any stride.

    Returns
    -------
    numpy.ndarray
        A new float64 array, bit for bit the C library's tanh of each element.

    Raises
    ------
    TypeError
        "argument 'x': ..." when `x` is not a one-dimensional float64 NumPy array.
    InternalFailure
        "AlreadyBorrowed" when another call is writing `x`; "Failed to access NumPy
        array API capsule: ..." when NumPy cannot be imported.

    Notes
    -----
    The interpreter lock is released while computing.

    Examples
    --------
    >>> mosswick.tanh(np.array([0.0, 1.0])).tolist()
    [0.0, 0.7615941559557649]
    """

def tanh_derivative(x: _Float64Vector) -> _Float64Vector:
    """1 - tanh(x) ** 2.

    Parameters
    ----------
    x : numpy.ndarray
        The pre-activation input: a one-dimensional float64 array of any stride.

    Returns
    -------
    numpy.ndarray
        A new float64 array.

    Raises
    ------
    TypeError
        "argument 'x': ..." when `x` is not a one-dimensional float64 NumPy array.
    InternalFailure
        "AlreadyBorrowed" when another call is writing `x`; "Failed to access NumPy
        array API capsule: ..." when NumPy cannot be imported.

    Notes
    -----
    The interpreter lock is released while computing.

    Examples
    --------
    >>> mosswick.tanh_derivative(np.array([0.0])).tolist()
    [1.0]
    """

# Softmax, fused cross-entropy and one-hot
def softmax(x: _Float64Matrix) -> _Float64Matrix:
    """Row-wise softmax over a (batch, classes) matrix. Numerically stable —
    subtracts the row max before exponentiating, which a naive
    `exp(x) / sum(exp(x))` implementation typically skips and then overflows
    on any reasonably large logit.

    Parameters
    ----------
    x : numpy.ndarray
        A C-contiguous two-dimensional float64 array of shape (batch, classes).

    Returns
    -------
    numpy.ndarray
        A new float64 array of the same shape whose rows sum to 1 (up to
        rounding). A row holding +inf or NaN, or only -inf, becomes all NaN.

    Raises
    ------
    ValueError
        "input must be C-contiguous" for a transposed or sliced array.
    TypeError
        "argument 'x': ..." when `x` is not a two-dimensional float64 NumPy array.
    InternalFailure
        "AlreadyBorrowed" when another call is writing `x`; "Failed to access NumPy
        array API capsule: ..." when NumPy cannot be imported.

    Notes
    -----
    The interpreter lock is released while computing; from 10,000 rows the rows
    are computed on the worker pool.

    Examples
    --------
    >>> mosswick.softmax(np.array([[1000.0, 1000.0], [0.0, 0.0]]))
    array([[0.5, 0.5],
           [0.5, 0.5]])
    """

def softmax_cross_entropy(logits: _Float64Matrix, targets: _Int64Vector) -> tuple[float, _Float64Matrix]:
    """Fused softmax + cross-entropy: computes the mean loss AND the gradient
    w.r.t. the logits in a single pass, ready to backprop directly. This is
    exactly what PyTorch's `F.cross_entropy` does internally — computing
    softmax and cross-entropy as separate steps in Python is both slower
    (two full passes over the data) and less numerically stable (you'd be
    taking log() of an already-exponentiated, already-normalized value).
    `targets` is class indices (like PyTorch), not one-hot vectors.

    Parameters
    ----------
    logits : numpy.ndarray
        A C-contiguous two-dimensional float64 array of shape (batch, classes).
    targets : numpy.ndarray
        A contiguous one-dimensional int64 array of `batch` class indices, each
        in [0, classes).

    Returns
    -------
    loss : float
        The mean over rows of -ln(p[target]), the probability floored at 1e-15
        inside the logarithm; NaN for a batch of 0 rows.
    grad : numpy.ndarray
        A new (batch, classes) float64 array: (softmax(logits) - one_hot(targets))
        / batch.

    Raises
    ------
    ValueError
        Checked in this order: "logits must be C-contiguous", "targets must be
        contiguous", "targets length must match logits batch size", "target class
        index out of range for logits.shape[1]".
    TypeError
        "argument 'logits': ..." or "argument 'targets': ..." for an argument of the
        wrong kind, dtype or number of dimensions (int32 targets are refused).
    InternalFailure
        "AlreadyBorrowed" when another call is writing an argument; "Failed to
        access NumPy array API capsule: ..." when NumPy cannot be imported.

    Notes
    -----
    The interpreter lock is released while computing; from 10,000 rows the rows
    are computed on the worker pool.

    Examples
    --------
    >>> loss, grad = mosswick.softmax_cross_entropy(np.zeros((1, 2)), np.array([1]))
    >>> print(loss)
    0.6931471805599453
    >>> grad
    array([[ 0.5, -0.5]])
    """

def one_hot(indices: _Int64Vector, num_classes: SupportsIndex) -> _Float64Matrix:
    """One-hot encode class indices into a (n, num_classes) float matrix.

    Parameters
    ----------
    indices : numpy.ndarray
        A contiguous one-dimensional int64 array of n indices in [0, num_classes).
    num_classes : int
        The number of columns, 0 or more.

    Returns
    -------
    numpy.ndarray
        A new (n, num_classes) float64 array of zeros with a 1.0 in row i at
        column ``indices[i]``.

    Raises
    ------
    ValueError
        "indices must be contiguous"; "class index out of range for num_classes";
        "ShapeError/Overflow: arithmetic overflow" when the shape does not fit a
        signed 64-bit count.
    TypeError
        "argument 'indices': ..." when `indices` is not a one-dimensional int64
        NumPy array; "argument 'num_classes': ..." for a non-integer.
    OverflowError
        "can't convert negative int to unsigned" for a negative `num_classes`.
    InternalFailure
        "capacity overflow" when n * num_classes elements are 2**61 or more;
        "AlreadyBorrowed" when another call is writing `indices`; "Failed to access
        NumPy array API capsule: ..." when NumPy cannot be imported.

    Notes
    -----
    The interpreter lock is released while the ones are written.

    Examples
    --------
    >>> mosswick.one_hot(np.array([2, 0]), 3)
    array([[0., 0., 1.],
           [1., 0., 0.]])
    """

# Losses
def mse_loss(predictions: _Float64Vector, targets: _Float64Vector) -> float:
    """Mean squared error.

    Parameters
    ----------
    predictions, targets : numpy.ndarray
        One-dimensional float64 arrays of equal, non-zero length, any stride.

    Returns
    -------
    float
        The mean of (p - t) ** 2.

    Raises
    ------
    ValueError
        "Predictions and targets must have matching non-zero lengths." for empty
        arrays or unequal lengths.
    TypeError
        "argument 'predictions': ..." or "argument 'targets': ..." when an argument
        is not a one-dimensional float64 NumPy array.
    InternalFailure
        "AlreadyBorrowed" when another call is writing an argument; "Failed to
        access NumPy array API capsule: ..." when NumPy cannot be imported.

    Notes
    -----
    From 10,000 contiguous elements the sum runs on the worker pool, which may
    change the last bits. The interpreter lock is released while summing.

    Examples
    --------
    >>> mosswick.mse_loss(np.array([1.0, 2.0]), np.array([1.0, 4.0]))
    2.0
    """

def categorical_cross_entropy(predictions: _Float64Vector, targets: _Float64Vector) -> float:
    """Mean of -t * ln(clamped p) over all elements.

    Parameters
    ----------
    predictions, targets : numpy.ndarray
        One-dimensional float64 arrays of equal, non-zero length, any stride; for
        one-hot rows pass them flattened.

    Returns
    -------
    float
        The mean over all N elements (not over rows) of -t * ln(q), q being p
        clamped to [1e-15, 1 - 1e-15].

    Raises
    ------
    ValueError
        "Predictions and targets must have matching non-zero lengths." for empty
        arrays or unequal lengths.
    TypeError
        "argument 'predictions': ..." or "argument 'targets': ..." when an argument
        is not a one-dimensional float64 NumPy array (a two-dimensional one is
        refused, not flattened).
    InternalFailure
        "AlreadyBorrowed" when another call is writing an argument; "Failed to
        access NumPy array API capsule: ..." when NumPy cannot be imported.

    Notes
    -----
    From 10,000 contiguous elements the sum runs on the worker pool, which may
    change the last bits. The interpreter lock is released while summing.

    Examples
    --------
    >>> print(mosswick.categorical_cross_entropy(np.array([0.5, 0.5]), np.array([1.0, 0.0])))
    0.34657359027997264
    """

def mae_loss(predictions: _Float64Vector, targets: _Float64Vector) -> float:
    """Mean Absolute Error (MAE / L1) Loss: L = (1/N) * sum(|y_pred - y_true|)

    Parameters
    ----------
    predictions, targets : numpy.ndarray
        One-dimensional float64 arrays of equal, non-zero length, any stride.

    Returns
    -------
    float
        The mean absolute difference.

    Raises
    ------
    ValueError
        "Predictions and targets must have matching non-zero lengths." for empty
        arrays or unequal lengths.
    TypeError
        "argument 'predictions': ..." or "argument 'targets': ..." when an argument
        is not a one-dimensional float64 NumPy array.
    InternalFailure
        "AlreadyBorrowed" when another call is writing an argument; "Failed to
        access NumPy array API capsule: ..." when NumPy cannot be imported.

    Notes
    -----
    From 10,000 contiguous elements the sum runs on the worker pool, which may
    change the last bits. The interpreter lock is released while summing.

    Examples
    --------
    >>> mosswick.mae_loss(np.array([1.0, 2.0]), np.array([2.0, 0.0]))
    1.5
    """

def bce_loss(predictions: _Float64Vector, targets: _Float64Vector) -> float:
    """Binary Cross Entropy (BCE) Loss: L = -(1/N) * sum(y_true*log(y_pred) + (1-y_true)*log(1-y_pred))

    Parameters
    ----------
    predictions, targets : numpy.ndarray
        One-dimensional float64 arrays of equal, non-zero length, any stride. The
        predictions are clamped to [1e-15, 1 - 1e-15]; the targets are used as
        given.

    Returns
    -------
    float
        The mean binary cross-entropy; finite for predictions of exactly 0 or 1.

    Raises
    ------
    ValueError
        "Predictions and targets must have matching non-zero lengths." for empty
        arrays or unequal lengths.
    TypeError
        "argument 'predictions': ..." or "argument 'targets': ..." when an argument
        is not a one-dimensional float64 NumPy array.
    InternalFailure
        "AlreadyBorrowed" when another call is writing an argument; "Failed to
        access NumPy array API capsule: ..." when NumPy cannot be imported.

    Notes
    -----
    From 10,000 contiguous elements the sum runs on the worker pool, which may
    change the last bits. The interpreter lock is released while summing.

    Examples
    --------
    >>> print(round(mosswick.bce_loss(np.array([0.0]), np.array([1.0])), 2))
    34.54
    """

# Optimizer steps and gradient clipping (update caller-owned arrays in place)
def sgd_momentum_step(
    params: _Float64Vector, grads: _Float64Vector, velocity: _Float64Vector, lr: _Real, momentum: _Real
) -> None:
    """One SGD-with-momentum step: updates params and velocity.

    For each i: ``velocity[i] = momentum * velocity[i] + grads[i]``, then
    ``params[i] -= lr * velocity[i]``.

    Parameters
    ----------
    params : numpy.ndarray
        Contiguous, writable one-dimensional float64 array, updated in place.
    grads : numpy.ndarray
        Contiguous one-dimensional float64 array of the same length, only read.
    velocity : numpy.ndarray
        Contiguous, writable one-dimensional float64 array of the same length,
        updated in place.
    lr, momentum : float
        The learning rate and the momentum factor.

    Returns
    -------
    None

    Raises
    ------
    ValueError
        Checked in this order: "grads must be contiguous", "params must be
        contiguous", "velocity must be contiguous", "params, grads, and velocity
        must be the same length".
    TypeError
        "argument 'params': ..." (or any other parameter) for an argument of the
        wrong kind, dtype or number of dimensions.
    InternalFailure
        "AlreadyBorrowed" when arrays overlap in memory (the same array in two
        roles) or another call is using them; "NotWriteable" for a read-only
        `params` or `velocity`; "Failed to access NumPy array API capsule: ..."
        when NumPy cannot be imported.

    Notes
    -----
    The arrays are changed in place; every check comes first, so a refused call
    changes nothing. The interpreter lock is released during the update, which
    always runs to the end (Ctrl-C takes effect afterwards).

    Examples
    --------
    >>> params, velocity = np.array([1.0]), np.array([0.0])
    >>> mosswick.sgd_momentum_step(params, np.array([0.5]), velocity, 0.1, 0.9)
    >>> params, velocity
    (array([0.95]), array([0.5]))
    """

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
    """Adam optimizer step. `m` and `v` are the first/second moment buffers
    the caller owns and passes back in each step; `t` is the 1-indexed
    timestep, used for bias correction.

    Parameters
    ----------
    params : numpy.ndarray
        Contiguous, writable one-dimensional float64 array, updated in place.
    grads : numpy.ndarray
        Contiguous one-dimensional float64 array of the same length, only read.
    m, v : numpy.ndarray
        Contiguous, writable one-dimensional float64 arrays of the same length,
        the uncorrected moments, updated in place (start them at zeros).
    lr : float, default 0.001
        The learning rate.
    beta1, beta2 : float, default 0.9 and 0.999
        The decay rates of the first and second moments.
    eps : float, default 1e-8
        Added to the square root of the corrected second moment.
    t : int, default 1
        The step number from 1, a signed 32-bit integer; 0 makes every parameter NaN.

    Returns
    -------
    None

    Raises
    ------
    ValueError
        Checked in this order: "grads must be contiguous", "params must be
        contiguous", "m must be contiguous", "v must be contiguous", "params,
        grads, m, and v must be the same length".
    TypeError
        "argument 'params': ..." (or any other parameter) for an argument of the
        wrong kind, dtype or number of dimensions.
    OverflowError
        "out of range integral type conversion attempted" for a `t` outside the
        signed 32-bit range.
    InternalFailure
        "AlreadyBorrowed" when arrays overlap in memory (the same array as `m` and
        `v`, say) or another call is using them; "NotWriteable" for a read-only
        array that is written; "Failed to access NumPy array API capsule: ..."
        when NumPy cannot be imported.

    Notes
    -----
    The arrays are changed in place; every check comes first, so a refused call
    changes nothing. The interpreter lock is released during the update, which
    always runs to the end (Ctrl-C takes effect afterwards).

    Examples
    --------
    >>> params, m, v = np.array([1.0]), np.zeros(1), np.zeros(1)
    >>> mosswick.adam_step(params, np.array([0.1]), m, v)
    >>> print(params.tolist(), m.tolist())
    [0.9990000001] [0.009999999999999998]
    """

def clip_grad_norm(grads: _Float64Vector, max_norm: _Real) -> float:
    """Clips gradients in place by global L2 norm (matches
    torch.nn.utils.clip_grad_norm_ semantics) and returns the pre-clip norm,
    useful for logging/debugging exploding gradients.

    Parameters
    ----------
    grads : numpy.ndarray
        A contiguous, writable one-dimensional float64 array, scaled in place.
    max_norm : float
        The largest norm left unscaled (not validated).

    Returns
    -------
    float
        The L2 norm of `grads` before clipping (-0.0 for an empty array). When it
        exceeds `max_norm`, every element was multiplied by max_norm / norm; a NaN
        norm leaves `grads` untouched.

    Raises
    ------
    ValueError
        "grads must be contiguous".
    TypeError
        "argument 'grads': ..." or "argument 'max_norm': ..." for an argument of the
        wrong kind.
    InternalFailure
        "NotWriteable" for a read-only `grads`; "AlreadyBorrowed" when another call
        is using it; "Failed to access NumPy array API capsule: ..." when NumPy
        cannot be imported.

    Notes
    -----
    From 10,000 elements the sum of squares runs on the worker pool, which may
    change the last bits. The interpreter lock is released while computing.

    Examples
    --------
    >>> grads = np.array([3.0, 4.0])
    >>> mosswick.clip_grad_norm(grads, 1.0)
    5.0
    >>> grads
    array([0.6, 0.8])
    """

# Dropout
def dropout(x: _Float64Vector, p: _Real, seed: SupportsIndex | None = None) -> _Float64Vector:
    """Inverted dropout: zeroes each element with probability `p` and scales
    survivors by 1/(1-p), so no rescaling is needed at inference time.
    Pass `seed` for reproducible masks (e.g. in tests), omit it for a fresh
    random mask drawn from a thread-local RNG each call.

    Parameters
    ----------
    x : numpy.ndarray
        A contiguous one-dimensional float64 array, only read.
    p : float
        The drop probability, 0 <= p < 1.
    seed : int or None, default None
        0 to 2**64 - 1 for a reproducible mask; None for a fresh one.

    Returns
    -------
    numpy.ndarray
        A new float64 array: each element kept and multiplied by 1 / (1 - p), or
        0.0 (also for a dropped NaN or infinity).

    Raises
    ------
    ValueError
        "dropout probability p must be in [0, 1)" for p < 0, p >= 1 or NaN; then
        "input must be contiguous".
    TypeError
        "argument 'x': ..." when `x` is not a one-dimensional float64 NumPy array;
        "argument 'p': ..." or "argument 'seed': ..." for a non-number.
    OverflowError
        "can't convert negative int to unsigned" or "int too big to convert" for a
        `seed` outside 0 to 2**64 - 1.
    InternalFailure
        "AlreadyBorrowed" when another call is writing `x`; "Failed to access NumPy
        array API capsule: ..." when NumPy cannot be imported.

    Notes
    -----
    A seeded mask is the ChaCha12 stream of `seed`: the same on every machine and
    with any number of worker threads, and a longer `x` extends it. Unseeded masks
    come from per-thread generators keyed by the operating system. The
    interpreter lock is released while the mask is drawn.

    Examples
    --------
    >>> mosswick.dropout(np.array([1.0, 2.0, 3.0, 4.0]), 0.5, seed=0)
    array([0., 0., 6., 0.])
    >>> out = mosswick.dropout(np.ones(1000), 0.5)  # a fresh mask
    >>> sorted(set(out.tolist()))
    [0.0, 2.0]
    """

class Tensor:
    """An n-dimensional float64 array with its own contiguous row-major storage.

    A tensor of any rank (rank 0 holds one value) whose elements live in a buffer
    of its own: it is made from a NumPy array by copying, or by `rand` and
    `randn`. `reshape` shares the buffer until either tensor is changed in place;
    then the changed one takes a private copy.

    Notes
    -----
    Reading methods take a shared borrow of the tensor for the whole call,
    `relu_inplace` and `add_bias_inplace` an exclusive one. A call that meets a
    conflicting borrow (another thread inside another method on the same tensor)
    raises RuntimeError at once rather than waiting.

    Examples
    --------
    >>> t = mosswick.Tensor(np.arange(6.0).reshape(2, 3))
    >>> t.shape, t.strides
    ([2, 3], [3, 1])
    >>> t.mul_scalar(2.0).to_list()
    [[0.0, 2.0, 4.0], [6.0, 8.0, 10.0]]
    """

    def __new__(cls, array: _Float64Array) -> Tensor:
        """A tensor holding a copy of a float64 NumPy array of any rank.

        Parameters
        ----------
        array : numpy.ndarray
            A float64 array of any rank, layout and stride; other dtypes and
            lists are refused, not converted.

        Returns
        -------
        Tensor
            A row-major copy of `array`.

        Raises
        ------
        TypeError
            "argument 'array': 'list' object cannot be converted to 'PyArray<T,
            D>'" (or 'ndarray' for another dtype).
        InternalFailure
            "arrays of more than 32 dimensions are not supported";
            "AlreadyBorrowed" when another call is writing `array`; "Failed to
            access NumPy array API capsule: ..." when NumPy cannot be imported.

        Examples
        --------
        >>> mosswick.Tensor(np.array(7.0)).to_list()
        7.0
        """

    @property
    def shape(self) -> list[int]:
        """The extent of each axis.

        Returns
        -------
        list of int
            A new list on every access; [] for rank 0.

        Raises
        ------
        RuntimeError
            "Already mutably borrowed" while an in-place method runs on the tensor.

        Examples
        --------
        >>> mosswick.Tensor(np.zeros((2, 0))).shape
        [2, 0]
        """

    @property
    def strides(self) -> list[int]:
        """The row-major strides, in elements.

        Returns
        -------
        list of int
            The distance between neighbours along each axis, counted in elements
            (not bytes), derived from the shape alone.

        Raises
        ------
        RuntimeError
            "Already mutably borrowed" while an in-place method runs on the tensor.

        Examples
        --------
        >>> mosswick.Tensor(np.zeros((4, 3, 2)).T).strides
        [12, 4, 1]
        """

    @property
    def data(self) -> _Float64Vector:
        """A new 1-D array holding a copy of the elements in row-major order.

        Returns
        -------
        numpy.ndarray
            A new contiguous float64 array; writing to it leaves the tensor as it is.

        Raises
        ------
        RuntimeError
            "Already mutably borrowed" while an in-place method runs on the tensor.
        InternalFailure
            "Failed to access NumPy array API capsule: ..." when NumPy cannot be
            imported.

        Examples
        --------
        >>> mosswick.Tensor(np.array([[1.0, 2.0], [3.0, 4.0]]).T).data
        array([1., 3., 2., 4.])
        """

    def add(self, other: Tensor) -> Tensor:
        """self + other, element by element.

        Parameters
        ----------
        other : Tensor
            A tensor of the same shape.

        Returns
        -------
        Tensor
            A new tensor.

        Raises
        ------
        ValueError
            "Shapes must match for element-wise addition."
        TypeError
            "argument 'other': 'int' object cannot be converted to 'Tensor'" (or
            another type) when `other` is not a Tensor.
        RuntimeError
            "Already mutably borrowed" while an in-place method runs on either tensor.

        Notes
        -----
        The interpreter lock is released while computing; from 10,000 elements the
        work runs on the worker pool.

        Examples
        --------
        >>> a = mosswick.Tensor(np.array([1.0, 2.0]))
        >>> a.add(a).to_list()
        [2.0, 4.0]
        """

    def sub(self, other: Tensor) -> Tensor:
        """self - other, element by element.

        Parameters
        ----------
        other : Tensor
            A tensor of the same shape.

        Returns
        -------
        Tensor
            A new tensor.

        Raises
        ------
        ValueError
            "Shapes must match for subtraction."
        TypeError
            "argument 'other': ..." when `other` is not a Tensor.
        RuntimeError
            "Already mutably borrowed" while an in-place method runs on either tensor.

        Notes
        -----
        The interpreter lock is released while computing.

        Examples
        --------
        >>> a = mosswick.Tensor(np.array([5.0, 1.0]))
        >>> a.sub(mosswick.Tensor(np.array([1.0, 2.0]))).to_list()
        [4.0, -1.0]
        """

    def mul_elementwise(self, other: Tensor) -> Tensor:
        """self * other, element by element.

        Parameters
        ----------
        other : Tensor
            A tensor of the same shape.

        Returns
        -------
        Tensor
            A new tensor.

        Raises
        ------
        ValueError
            "Shapes must match for element-wise multiplication."
        TypeError
            "argument 'other': ..." when `other` is not a Tensor.
        RuntimeError
            "Already mutably borrowed" while an in-place method runs on either tensor.

        Notes
        -----
        The interpreter lock is released while computing.

        Examples
        --------
        >>> a = mosswick.Tensor(np.array([2.0, 3.0]))
        >>> a.mul_elementwise(a).to_list()
        [4.0, 9.0]
        """

    def mul_scalar(self, scalar: _Real) -> Tensor:
        """self * scalar.

        Parameters
        ----------
        scalar : float
            The factor.

        Returns
        -------
        Tensor
            A new tensor.

        Raises
        ------
        TypeError
            "argument 'scalar': must be real number, not str" (or another type).
        RuntimeError
            "Already mutably borrowed" while an in-place method runs on the tensor.

        Notes
        -----
        The interpreter lock is released while computing.

        Examples
        --------
        >>> mosswick.Tensor(np.array([1.0, -2.0])).mul_scalar(0.5).to_list()
        [0.5, -1.0]
        """

    def reshape(self, new_shape: _Ints) -> Tensor:
        """A tensor of another shape sharing these elements (no copy).

        Parameters
        ----------
        new_shape : sequence of int
            Non-negative extents whose product is the element count; [] makes a
            rank-0 tensor of a one-element one.

        Returns
        -------
        Tensor
            A new tensor over the same buffer. An in-place method on either tensor
            later copies the buffer first, so the other keeps its values.

        Raises
        ------
        ValueError
            "Total number of elements cannot change during reshape."
        TypeError
            "argument 'new_shape': ..." when `new_shape` is a str, not a sequence,
            or holds a non-integer.
        OverflowError
            "can't convert negative int to unsigned" for a negative extent;
            "Tensor shape is too large: the product of its extents does not fit in
            64 bits."
        RuntimeError
            "Already mutably borrowed" while an in-place method runs on the tensor.

        Examples
        --------
        >>> mosswick.Tensor(np.arange(6.0)).reshape([3, 2]).to_list()
        [[0.0, 1.0], [2.0, 3.0], [4.0, 5.0]]
        """

    def matmul(self, other: Tensor, transpose_a: bool = False, transpose_b: bool = False) -> Tensor:
        """The matrix product of two rank-2 tensors, either one transposed.

        Parameters
        ----------
        other : Tensor
            The right operand, of rank 2; it may be `self`.
        transpose_a : bool, default False
            Use the transpose of `self` (read in place, not copied).
        transpose_b : bool, default False
            Use the transpose of `other` (read in place, not copied).

        Returns
        -------
        Tensor
            A new [m, n] tensor; an inner size of 0 gives zeros.

        Raises
        ------
        ValueError
            "matmul requires rank-2 tensors." (tested first); "Dimension mismatch
            for multiplication: {ka} vs {kb}." with the inner sizes of the two
            operands, e.g. "Dimension mismatch for multiplication: 3 vs 4."
        TypeError
            "argument 'other': ..." when `other` is not a Tensor; "argument
            'transpose_a': 'NoneType' object cannot be converted to 'PyBool'" (or
            `transpose_b`, or another type) when a flag is not a bool.
        RuntimeError
            "Already mutably borrowed" while an in-place method runs on either tensor.

        Notes
        -----
        Products are summed in a blocked order, so results agree with other
        libraries up to rounding. The interpreter lock is released while
        multiplying, on the calling thread; Ctrl-C stops it part-way.

        Examples
        --------
        >>> a = mosswick.Tensor(np.array([[1.0, 2.0], [3.0, 4.0]]))
        >>> a.matmul(a, transpose_b=True).to_list()
        [[5.0, 11.0], [11.0, 25.0]]
        """

    def to_list(self) -> Any:
        """The elements as nested lists (a float for rank 0).

        Returns
        -------
        list or float
            Nested lists of floats, one level per axis; a float for rank 0.

        Raises
        ------
        RuntimeError
            "Already mutably borrowed" while an in-place method runs on the tensor.

        Examples
        --------
        >>> mosswick.Tensor(np.ones((2, 1))).to_list()
        [[1.0], [1.0]]
        """

    @classmethod
    def rand(cls, shape: _Ints, seed: SupportsIndex | None = None) -> Tensor:
        """Uniform values in [0, 1); reproducible with a seed.

        Parameters
        ----------
        shape : sequence of int
            Non-negative extents; [] gives one value.
        seed : int or None, default None
            0 to 2**64 - 1 for reproducible values; None for fresh ones.

        Returns
        -------
        Tensor
            A new tensor of multiples of 2**-53 in [0, 1).

        Raises
        ------
        TypeError
            "argument 'shape': ..." or "argument 'seed': ..." when an argument does
            not convert.
        OverflowError
            "can't convert negative int to unsigned" or "int too big to convert"
            for an extent or `seed` out of range; "Tensor shape is too large: the
            product of its extents does not fit in 64 bits."
        MemoryError
            When the elements cannot be allocated.
        InternalFailure
            When the operating system's entropy source fails (unseeded only).

        Notes
        -----
        Seeded values are the ChaCha12 stream of `seed`: the same on every machine
        and with any number of worker threads, and a larger shape extends the same
        stream. Unseeded values come from per-thread generators keyed by the
        operating system, on the worker pool. The interpreter lock is released.

        Examples
        --------
        >>> mosswick.Tensor.rand([2, 2], seed=0).to_list()
        [[0.7311134158637046, 0.7734601843532382], [0.025844634233355035, 0.5841592619362002]]
        """

    @classmethod
    def randn(cls, shape: _Ints, seed: SupportsIndex | None = None) -> Tensor:
        """Standard normal values; reproducible with a seed.

        Parameters
        ----------
        shape : sequence of int
            Non-negative extents; [] gives one value.
        seed : int or None, default None
            0 to 2**64 - 1 for reproducible values; None for fresh ones.

        Returns
        -------
        Tensor
            A new tensor of draws with mean 0 and standard deviation 1.

        Raises
        ------
        TypeError
            "argument 'shape': ..." or "argument 'seed': ..." when an argument does
            not convert.
        OverflowError
            "can't convert negative int to unsigned" or "int too big to convert"
            for an extent or `seed` out of range; "Tensor shape is too large: the
            product of its extents does not fit in 64 bits."
        MemoryError
            When the elements cannot be allocated.
        InternalFailure
            When the operating system's entropy source fails (unseeded only).

        Notes
        -----
        Seeded values are reproducible on every machine and with any number of
        worker threads, as for `rand`. The interpreter lock is released.

        Examples
        --------
        >>> mosswick.Tensor.randn([4], seed=0).to_list()
        [0.7128130103834549, 0.8583314468179001, -2.4362438894664367, 0.1633442588933682]
        """

    def add_bias_inplace(self, bias: _Float64Vector) -> None:
        """Adds bias to every row of this rank-2 tensor, in place.

        Parameters
        ----------
        bias : numpy.ndarray
            A contiguous one-dimensional float64 array with one element per column.

        Returns
        -------
        None

        Raises
        ------
        ValueError
            "Bias array must be contiguous."; "Bias length must match the second
            dimension of the tensor: {bias length} vs {columns}.", e.g. "... 4 vs
            3."; "add_bias_inplace requires a rank-2 tensor." for rank 3 or more.
        InternalFailure
            "add_bias_inplace: a tensor of rank {rank} has no second dimension" for
            rank 0 or 1; "AlreadyBorrowed" when another call is writing `bias`;
            "Failed to access NumPy array API capsule: ..." when NumPy cannot be
            imported.
        TypeError
            "argument 'bias': ..." when `bias` is not a float64 NumPy array.
        RuntimeError
            "Already borrowed" while another method runs on the tensor.

        Notes
        -----
        Changes this tensor (after copying a buffer it shares with a reshaped
        tensor); every check comes first. The interpreter lock is released while
        adding, which always runs to the end.

        Examples
        --------
        >>> t = mosswick.Tensor(np.zeros((2, 3)))
        >>> t.add_bias_inplace(np.array([1.0, 2.0, 3.0]))
        >>> t.to_list()
        [[1.0, 2.0, 3.0], [1.0, 2.0, 3.0]]
        """

    def relu_inplace(self) -> None:
        """Sets every negative element to 0.0, in place.

        Returns
        -------
        None

        Raises
        ------
        RuntimeError
            "Already borrowed" while another method runs on the tensor.

        Notes
        -----
        -0.0 and NaN are kept. Changes this tensor (after copying a buffer it
        shares with a reshaped tensor). The interpreter lock is released while
        computing, which always runs to the end.

        Examples
        --------
        >>> t = mosswick.Tensor(np.array([-1.0, 2.0]))
        >>> view = t.reshape([2, 1])
        >>> t.relu_inplace()
        >>> t.to_list(), view.to_list()
        ([0.0, 2.0], [[-1.0], [2.0]])
        """

    def relu_derivative(self) -> Tensor:
        """1.0 where an element is positive, else 0.0.

        Returns
        -------
        Tensor
            A new tensor of ones and zeros (0.0 for zeros and NaN).

        Raises
        ------
        RuntimeError
            "Already mutably borrowed" while an in-place method runs on the tensor.

        Notes
        -----
        The interpreter lock is released while computing.

        Examples
        --------
        >>> mosswick.Tensor(np.array([-1.0, 0.0, 2.0])).relu_derivative().to_list()
        [0.0, 0.0, 1.0]
        """

class MosswickHashMap:
    """An open-addressing hash map from 64-bit integer keys to 64-bit integer values.

    Keys and values are signed 64-bit integers. `keys`, `values` and `items`
    return lists in slot order, which follows from the sequence of operations;
    there is no iteration protocol (iterate ``m.keys()``), no item access and no
    ``in``. An empty map is false.

    Notes
    -----
    Every method runs with the interpreter lock held. `insert` and `remove` take an
    exclusive borrow of the map, the other methods a shared one; a conflicting
    call (for instance from a key's ``__index__``) raises RuntimeError.

    Examples
    --------
    >>> m = mosswick.MosswickHashMap()
    >>> m.insert(1, 10), m.insert(1, 11), len(m)
    (None, 10, 1)
    """

    def __new__(cls) -> MosswickHashMap:
        """A new, empty map.

        Returns
        -------
        MosswickHashMap
            A map with no entries.

        Raises
        ------
        TypeError
            "MosswickHashMap.__new__() takes 0 positional arguments but 1 was
            given" (or another count) when arguments are passed.

        Examples
        --------
        >>> bool(mosswick.MosswickHashMap())
        False
        """

    def __len__(self) -> int:
        """The number of entries.

        Returns
        -------
        int
            The number of keys present.

        Raises
        ------
        RuntimeError
            "Already mutably borrowed" while `insert` or `remove` runs on the map.

        Examples
        --------
        >>> m = mosswick.MosswickHashMap()
        >>> m.insert(5, 1)
        >>> len(m)
        1
        """

    def insert(self, key: SupportsIndex, value: SupportsIndex) -> int | None:
        """Sets key to value; returns the previous value or None.

        Parameters
        ----------
        key, value : int
            Signed 64-bit integers.

        Returns
        -------
        int or None
            The value `key` had, or None when it was absent.

        Raises
        ------
        TypeError
            "argument 'key': 'str' object cannot be interpreted as an integer" (or
            `value`, or another type); the map is unchanged.
        OverflowError
            "Python int too large to convert to C long" for a key or value outside
            the signed 64-bit range.
        RuntimeError
            "Already borrowed" while another method runs on the map.

        Examples
        --------
        >>> m = mosswick.MosswickHashMap()
        >>> print(m.insert(-2**63, 1), m.insert(-2**63, 2))
        None 1
        """

    def get(self, key: SupportsIndex) -> int | None:
        """The value of key, or None.

        Parameters
        ----------
        key : int
            A signed 64-bit integer.

        Returns
        -------
        int or None
            The value of `key`, or None when it is absent.

        Raises
        ------
        TypeError
            "argument 'key': ..." for a non-integer.
        OverflowError
            "Python int too large to convert to C long" for a key outside the
            signed 64-bit range.
        RuntimeError
            "Already mutably borrowed" while `insert` or `remove` runs on the map.

        Examples
        --------
        >>> m = mosswick.MosswickHashMap()
        >>> m.insert(3, 30)
        >>> m.get(3), m.get(4)
        (30, None)
        """

    def remove(self, key: SupportsIndex) -> int | None:
        """Removes key; returns its value or None.

        Parameters
        ----------
        key : int
            A signed 64-bit integer.

        Returns
        -------
        int or None
            The value `key` had, or None when it was absent (nothing changes then).

        Raises
        ------
        TypeError
            "argument 'key': ..." for a non-integer.
        OverflowError
            "Python int too large to convert to C long" for a key outside the
            signed 64-bit range.
        RuntimeError
            "Already borrowed" while another method runs on the map.

        Examples
        --------
        >>> m = mosswick.MosswickHashMap()
        >>> m.insert(3, 30)
        >>> m.remove(3), m.remove(3)
        (30, None)
        """

    def contains(self, key: SupportsIndex) -> bool:
        """Whether key is present.

        Parameters
        ----------
        key : int
            A signed 64-bit integer.

        Returns
        -------
        bool
            True when `key` has a value.

        Raises
        ------
        TypeError
            "argument 'key': ..." for a non-integer.
        OverflowError
            "Python int too large to convert to C long" for a key outside the
            signed 64-bit range.
        RuntimeError
            "Already mutably borrowed" while `insert` or `remove` runs on the map.

        Examples
        --------
        >>> m = mosswick.MosswickHashMap()
        >>> m.insert(3, 30)
        >>> m.contains(3), m.contains(4)
        (True, False)
        """

    def keys(self) -> list[int]:
        """The keys, in slot order.

        Returns
        -------
        list of int
            Every key, in the order of the slots that hold them; the same order as
            `values` and `items`.

        Raises
        ------
        RuntimeError
            "Already mutably borrowed" while `insert` or `remove` runs on the map.

        Examples
        --------
        >>> m = mosswick.MosswickHashMap()
        >>> for k in (1, 2, 3):
        ...     m.insert(k, 10 * k)
        >>> m.keys()
        [3, 1, 2]
        """

    def values(self) -> list[int]:
        """The values, in slot order.

        Returns
        -------
        list of int
            Every value, in the order of `keys`.

        Raises
        ------
        RuntimeError
            "Already mutably borrowed" while `insert` or `remove` runs on the map.

        Examples
        --------
        >>> m = mosswick.MosswickHashMap()
        >>> for k in (1, 2, 3):
        ...     m.insert(k, 10 * k)
        >>> m.values()
        [30, 10, 20]
        """

    def items(self) -> list[tuple[int, int]]:
        """The (key, value) pairs, in slot order.

        Returns
        -------
        list of tuple of (int, int)
            Every entry, in the order of `keys`.

        Raises
        ------
        RuntimeError
            "Already mutably borrowed" while `insert` or `remove` runs on the map.

        Examples
        --------
        >>> m = mosswick.MosswickHashMap()
        >>> m.insert(7, 70)
        >>> m.items()
        [(7, 70)]
        """
