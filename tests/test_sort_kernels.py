"""The vector sorts and selections against sorted() and slow references, at every length
where the kernels change strategy, on every instruction-set path; is_prime against the
Miller-Rabin test it replaced."""

import math
import os
import random
import statistics
import struct

import pytest

import mosswick

I64_MIN, I64_MAX = -(2**63), 2**63 - 1

# Lengths around every change of strategy: vector widths (2, 4, 8 lanes), the sorting
# network's blocks of 1 to 16 vectors (up to 64 elements with AVX2, 128 with AVX-512),
# the portable insertion sort (16), the partition's unrolled step (4 vectors, so 16 or
# 32 elements, and its 3-step minimum of 48 or 96), merges of runs shorter than a vector.
LENGTHS = sorted(
    set(range(0, 41))
    | {m * f + d for m in (4, 8, 16) for f in (1, 2, 3, 4, 6, 8, 12, 16, 24, 32) for d in (-1, 0, 1)}
    | {255, 256, 257, 383, 384, 385, 511, 512, 513, 1000, 1025, 4097}
)
THREADED = [49_999, 50_000, 50_001]
ISA_PATHS = ["avx2", "portable"]  # the full build runs in the test process itself


def int_shapes(n, rng):
    values = [rng.randrange(-(10**15), 10**15) for _ in range(n)]
    half = [rng.randrange(10**6) for _ in range(n // 2)]
    return {
        "random": values,
        "sorted": sorted(values),
        "reversed": sorted(values, reverse=True),
        "organ pipe": sorted(half) + sorted(half, reverse=True) + [0] * (n % 2),
        "few distinct": [rng.choice((-3, 0, 5, 9)) for _ in range(n)],
        "all equal": [-7] * n,
        "extremes": [rng.choice((I64_MIN, I64_MAX, I64_MIN + 1, I64_MAX - 1, 0, -1)) for _ in range(n)],
        "wide": [rng.getrandbits(64) - 2**63 for _ in range(n)],
    }


SPECIAL_FLOATS = [0.0, -0.0, math.inf, -math.inf, 5e-324, -5e-324, 2.2250738585072014e-308, -2.2250738585072009e-308,
                  1.7976931348623157e308, -1.7976931348623157e308, 1.0, -1.0]


def float_shapes(n, rng):
    values = [rng.uniform(-1e9, 1e9) for _ in range(n)]
    return {
        "random": values,
        "sorted": sorted(values),
        "reversed": sorted(values, reverse=True),
        "few distinct": [rng.choice((-2.5, 0.0, 7.0)) for _ in range(n)],
        "special": [rng.choice(SPECIAL_FLOATS) for _ in range(n)],
        "bits": [struct.unpack("<d", struct.pack("<Q", rng.getrandbits(64) & ~(0x7FF << 52) | (rng.randrange(0x7FF) << 52)))[0]
                 for _ in range(n)],
    }


def same_float(a, b):
    return a == b or (math.isnan(a) and math.isnan(b))


def bits(values):
    return sorted(struct.pack("<d", v) for v in values)


def signs_of_zeros(values):
    return [math.copysign(1, v) for v in values if v == 0]


def check_sorts(lengths, seed, everything=True):
    """Every sort and selection on every shape and length (only the integer sorts unless
    everything); returns the failures."""
    failures = []
    for n in lengths:
        rng = random.Random(seed * 100_003 + n)
        for name, values in int_shapes(n, rng).items():
            expected = sorted(values)
            for sort in (mosswick.quicksort, mosswick.mergesort, mosswick.parallel_sort):
                if sort(values) != expected:
                    failures.append((sort.__name__, n, name))
            if n and everything:
                for k in {1, n, (n + 1) // 2, rng.randrange(1, n + 1)}:
                    if mosswick.kth_smallest(values, k) != expected[k - 1]:
                        failures.append(("kth_smallest", n, name, k))
                for k in {0, 1, n - 1, n, rng.randrange(n + 1)}:
                    if mosswick.top_k(values, k) != expected[::-1][:k]:
                        failures.append(("top_k", n, name, k))
        if not everything:
            continue
        for name, values in float_shapes(n, rng).items():
            result = mosswick.quicksort_f64(values)
            # -0.0 and 0.0 compare equal: list equality checks the order, the bits the
            # multiset, and the zeros come negative first.
            if result != sorted(values) or bits(result) != bits(values):
                failures.append(("quicksort_f64", n, name))
            zero_signs = signs_of_zeros(result)
            if zero_signs != sorted(zero_signs):
                failures.append(("quicksort_f64 zeros", n, name))
            if n and not same_float(mosswick.median(values), statistics.median(values)):
                failures.append(("median", n, name))
    return failures


def test_all_lengths_here():
    assert check_sorts(LENGTHS, 1) == []


def test_threading_thresholds_here():
    assert check_sorts(THREADED, 2, everything=False) == []


@pytest.mark.parametrize("isa", ISA_PATHS)
def test_all_lengths_on_other_paths(python, isa):
    out = python(
        f"""
        import sys
        sys.path.insert(0, {os.path.dirname(__file__)!r})
        from test_sort_kernels import check_sorts, LENGTHS, THREADED
        print(check_sorts(LENGTHS, 3) + check_sorts(THREADED[1:2], 4, everything=False))
        """,
        env={"MOSSWICK_CPU": isa},
    ).stdout
    assert out.strip() == "[]"


def test_partition_at_every_pivot_rank():
    # Many draws of the random pivot over short inputs of distinct and repeated values.
    rng = random.Random(5)
    for n in (97, 98, 129, 130, 200):
        for distinct in (2, 3, n):
            values = [rng.randrange(distinct) for _ in range(n)]
            for _ in range(20):
                assert mosswick.quicksort(values) == sorted(values)
                k = rng.randrange(1, n + 1)
                assert mosswick.kth_smallest(values, k) == sorted(values)[k - 1]


def nan_with(sign, payload):
    return struct.unpack("<d", struct.pack("<Q", (sign << 63) | (0x7FF << 52) | payload))[0]


@pytest.mark.parametrize("n", [1, 2, 7, 16, 17, 33, 64, 65, 128, 129, 1000, 100_000])
def test_quicksort_f64_puts_nans_last(n):
    rng = random.Random(n)
    nans = [math.nan, -math.nan, nan_with(0, 1), nan_with(1, 1), nan_with(0, 2**51 + 5), nan_with(1, 2**52 - 1)]
    values = [rng.choice(nans) if rng.random() < 0.2 else rng.choice(SPECIAL_FLOATS + [rng.uniform(-9, 9)])
              for _ in range(n)]
    result = mosswick.quicksort_f64(values)
    numbers = [v for v in values if not math.isnan(v)]
    count = len(numbers)
    assert result[:count] == sorted(numbers)
    assert all(math.isnan(v) for v in result[count:])
    # Nothing lost, nothing duplicated, every NaN's sign and payload kept.
    assert bits(result) == bits(values)


def test_quicksort_f64_all_nan_and_extremes():
    assert bits(mosswick.quicksort_f64([math.nan] * 300)) == bits([math.nan] * 300)
    values = [math.inf, -0.0, 5e-324, -math.inf, 0.0, -5e-324, math.nan]
    result = mosswick.quicksort_f64(values)
    assert bits(result[:6]) == bits(values[:6])
    assert result[:6] == [-math.inf, -5e-324, -0.0, 0.0, 5e-324, math.inf]
    assert signs_of_zeros(result) == [-1.0, 1.0]
    assert math.isnan(result[6])
