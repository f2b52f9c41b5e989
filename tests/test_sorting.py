"""The sorts and selections against sorted() at every length where the kernels change
strategy (each kernel build in its own run of the suite, MOSSWICK_CPU), their threads,
NaNs and signed zeros, and the sequences and arrays they accept."""

import math
import os
import random
import resource
import statistics
import struct
import sys
import threading

import numpy as np
import pytest

import mosswick

I64_MIN, I64_MAX = -(2**63), 2**63 - 1
INT_SORTS = [mosswick.quicksort, mosswick.mergesort, mosswick.parallel_sort]

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
            before = list(values)
            for sort in INT_SORTS:
                if sort(values) != expected or values != before:
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
@pytest.mark.parametrize("nan_share", [0.2, 0.99])
def test_quicksort_f64_puts_nans_last(n, nan_share):
    rng = random.Random(n)
    nans = [math.nan, -math.nan, nan_with(0, 1), nan_with(1, 1), nan_with(0, 2**51 + 5), nan_with(1, 2**52 - 1)]
    values = [rng.choice(nans) if rng.random() < nan_share else rng.choice(SPECIAL_FLOATS + [rng.uniform(-9, 9)])
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


def test_quicksort_f64_accepts_ints_and_keeps_signed_zeros():
    assert [(x, type(x)) for x in mosswick.quicksort_f64([3, 1, 2])] == [(1.0, float), (2.0, float), (3.0, float)]
    result = mosswick.quicksort_f64([0.0, -0.0, 1.0, -0.0, -1.0])
    assert result == [-1.0, 0.0, 0.0, 0.0, 1.0] and bits(result) == bits([0.0, -0.0, 1.0, -0.0, -1.0])


@pytest.mark.parametrize("cpus", [1, 3])
def test_parallel_sort_with_any_processor_count(python, cpus):
    out = python(
        f"""
        import os, random, mosswick
        available = sorted(os.sched_getaffinity(0))
        os.sched_setaffinity(0, available[:{cpus}])
        values = [random.randrange(-50, 50) for _ in range(120_001)]
        print(mosswick.parallel_sort(values) == sorted(values))
        """
    ).stdout
    assert out.split() == ["True"]


@pytest.mark.skipif(os.environ.get("MOSSWICK_SANITIZED") == "1", reason="the sanitizer needs the address space")
@pytest.mark.skipif(0 < resource.getrlimit(resource.RLIMIT_STACK)[0] < 8 << 20, reason="thread stacks would fit")
@pytest.mark.parametrize("room_for_one_thread", [False, True])
def test_spawn_failure_joins_and_fails_cleanly(python, room_for_one_thread):
    # Without address space for (another) thread stack, 49,999 elements still sort, as
    # no thread is started, while 50,000 fail with the OS error once the threads already
    # started have finished; afterwards all is well.
    stack = resource.getrlimit(resource.RLIMIT_STACK)[0]
    if room_for_one_thread and (stack == resource.RLIM_INFINITY or len(os.sched_getaffinity(0)) < 2):
        pytest.skip("needs a finite stack size and two processors")
    room = stack * 3 // 2 if room_for_one_thread else 4 << 20
    out = python(
        f"""
        import random, resource, mosswick
        small = [random.randrange(10**9) for _ in range(49_999)]
        big = small + [5]
        mosswick.quicksort(big)
        def vm():
            with open("/proc/self/status") as f:
                return next(int(l.split()[1]) * 1024 for l in f if l.startswith("VmSize:"))
        soft, hard = resource.getrlimit(resource.RLIMIT_AS)
        resource.setrlimit(resource.RLIMIT_AS, (vm() + {room}, hard))
        try:
            print(mosswick.parallel_sort(small) == sorted(small))
            try:
                mosswick.parallel_sort(big)
            except BaseException as e:
                print(type(e).__bases__[0].__name__, "|", e)
        finally:
            resource.setrlimit(resource.RLIMIT_AS, (soft, hard))
        print(mosswick.parallel_sort(big) == sorted(big))
        """
    ).stdout.splitlines()
    assert out[0] == "True"
    base, message = out[1].split(" | ")
    assert base == "BaseException"
    assert message.startswith("failed to spawn thread: ") and "os error" in message
    assert out[2] == "True"


class TestSequenceConversion:
    @pytest.mark.parametrize(
        "arg, message",
        [("abc", "argument 'arr': Can't extract `str` to `Vec`"),
         ({1: 2}, "argument 'arr': 'dict' object cannot be converted to 'Sequence'"),
         (5, "argument 'arr': 'int' object cannot be converted to 'Sequence'")],
    )
    def test_refusals(self, arg, message):
        with pytest.raises(TypeError) as info:
            mosswick.quicksort(arg)
        assert str(info.value) == message

    def test_item_errors(self):
        with pytest.raises(TypeError, match="^argument 'arr': "):
            mosswick.quicksort([1, 2.5])
        with pytest.raises(OverflowError):
            mosswick.quicksort([1, 2**63])
        with pytest.raises(TypeError, match="^argument 'arr': "):
            mosswick.quicksort_f64([1.0, "x"])

    @pytest.mark.parametrize("arg", [(3, 1, 2), range(3, 0, -1), [True, 3, 2], bytearray(b"\x03\x01\x02")])
    def test_other_sequences(self, arg):
        result = mosswick.quicksort(arg)
        assert result == sorted(int(x) for x in arg) and all(type(x) is int for x in result)


# NumPy 1 deprecates np.bool_ as an index, which the int conversion of a bool array uses.
@pytest.mark.filterwarnings("ignore:In future, it will be an error for 'np.bool_':DeprecationWarning")
class TestNumpyArrays:
    """Arrays of native int64 / float64 are copied in one block; everything else is iterated.
    Either way the outcome must be that of the same items in a list."""

    @staticmethod
    def outcome(fn, arg):
        try:
            return fn(arg)
        except (TypeError, OverflowError, ValueError) as e:
            return type(e), str(e)

    @staticmethod
    def arrays():
        ints = np.array([5, -3, 2**62, 0, -(2**63)], dtype=np.int64)
        floats = np.array([2.5, -0.0, 1e300, -7.25, 3.0])
        return [ints, floats, ints[::2], floats[::-1], ints.astype(">i8"), floats.astype(">f8"),
                ints.astype(np.longlong), np.array([7, -1], dtype=np.int32), np.array([2.5, -7.25], dtype=np.float32),
                np.array([True, False]), np.arange(6).reshape(2, 3), np.array([], dtype=np.int64),
                np.array([1.5]), np.array([2**63], dtype=np.uint64)]

    @pytest.mark.parametrize("fn", [mosswick.quicksort, mosswick.dedup, mosswick.quicksort_f64, mosswick.mean],
                             ids=lambda f: f.__name__)
    def test_same_as_the_items_in_a_list(self, fn):
        for array in self.arrays():
            assert repr(self.outcome(fn, array)) == repr(self.outcome(fn, list(array))), (array.dtype, array.shape)

    def test_subclass_iteration_is_respected(self):
        class Backwards(np.ndarray):
            def __iter__(self):
                return reversed(self.tolist())

        array = np.array([1, 2, 3, 1], dtype=np.int64)
        assert mosswick.dedup(array) == [1, 2, 3]
        assert mosswick.dedup(array.view(Backwards)) == [1, 3, 2]


class Index:
    def __init__(self, value):
        self.value = value

    def __index__(self):
        return self.value


class Real:
    def __init__(self, value):
        self.value = value

    def __float__(self):
        return self.value


def fresh_int(value):
    return int(str(value))  # a new object even for a small value


def fresh_float(value):
    return struct.unpack("<d", struct.pack("<d", value))[0]


NAN_PAYLOADS = [struct.unpack("<d", struct.pack("<Q", bits))[0]
                for bits in (0x7FF8000000000001, 0xFFF8000000000002, 0x7FF0000000000003, 0xFFF4000000000000)]


def int_items(n, rng):
    """Exact ints (repeated values as distinct objects) mixed with items that only convert."""
    exact = [fresh_int(rng.randrange(-40, 40) * 10**12 + 10**6 + rng.randrange(3)) for _ in range(n)]
    exact += [fresh_int(v) for v in (I64_MIN, I64_MAX, I64_MAX)] if n > 100 else []
    others = [True, False, np.int64(-7), np.uint8(200), Index(10**15), Index(-3)][: max(1, n // 50)]
    return exact, others


def float_items(n, rng):
    exact = [fresh_float(rng.choice((-0.0, 0.0, math.inf, -math.inf, 2.5, -1e-310, rng.uniform(-9, 9))))
             for _ in range(n)] + [fresh_float(x) for x in NAN_PAYLOADS]
    others = [7, True, np.float64(-0.0), np.float32(0.5), Real(math.nan), Real(-2.0)][: max(1, n // 50)]
    return exact, others


@pytest.mark.parametrize("n", [3, 1000, 120_000])
@pytest.mark.parametrize("fn", [*INT_SORTS, mosswick.dedup, mosswick.quicksort_f64], ids=lambda f: f.__name__)
def test_exact_items_come_back_as_themselves(fn, n):
    rng = random.Random(n)
    exact, others = (float_items if fn is mosswick.quicksort_f64 else int_items)(n, rng)
    items = exact + others
    rng.shuffle(items)
    refcounts = [sys.getrefcount(x) for x in exact[:50]]
    check_items_result(fn, items, exact, others, fn(items))
    assert [sys.getrefcount(x) for x in exact[:50]] == refcounts


def check_items_result(fn, items, exact, others, result):
    # Equal in value, type, order and bits to the result for the same values in an array
    # (no objects to hand back); exact ints (floats) are the caller's objects, every other
    # item a new object; mergesort keeps equal items in input order.
    floating = fn is mosswick.quicksort_f64
    pack = (lambda x: struct.pack("<d", x)) if floating else (lambda x: struct.pack("<q", x))
    plain = np.array([float(x) if floating else int(x) for x in items], dtype=np.float64 if floating else np.int64)
    assert [pack(x) for x in result] == [pack(x) for x in fn(plain)]
    assert all(type(x) is (float if floating else int) for x in result)
    exact_ids, other_ids = {id(x) for x in exact}, {id(x) for x in others}
    position = {id(x): i for i, x in enumerate(items)}
    came_from = [position[id(x)] if id(x) in exact_ids else None for x in result]
    assert not any(id(x) in other_ids for x in result)
    if fn is mosswick.dedup:
        first = {}
        for i, value in enumerate(map(int, items)):
            first.setdefault(value, i)
        assert came_from == [i if id(items[i]) in exact_ids else None for i in first.values()]
    else:
        assert sorted(p for p in came_from if p is not None) == sorted(position[i] for i in exact_ids)
    if fn is mosswick.mergesort:
        ties = {}
        for key, p in zip(map(pack, result), came_from):
            if p is not None:
                ties.setdefault(key, []).append(p)
        assert all(ps == sorted(ps) for ps in ties.values())


@pytest.mark.parametrize("fn", [*INT_SORTS, mosswick.dedup, mosswick.quicksort_f64], ids=lambda f: f.__name__)
def test_a_list_emptied_by_another_thread_during_the_sort(fn):
    # The other thread clears the list once the sort has released the lock, which frees
    # every item the caller held; the result still holds them all.
    values = np.random.default_rng(1).integers(-(10**12), 10**12, 1_000_000)
    if fn is mosswick.quicksort_f64:
        values = values / 7
    expected = fn(values)
    items = values.tolist()
    start = threading.Event()
    emptier = threading.Thread(target=lambda: (start.wait(), items.clear()))
    emptier.start()
    interval = sys.getswitchinterval()
    sys.setswitchinterval(60)  # the lock goes to the other thread only when the sort releases it
    try:
        start.set()
        result = fn(items)
    finally:
        sys.setswitchinterval(interval)
    emptier.join()
    assert items == [] and result == expected
