import random

import pytest

import mosswick

I64_MIN, I64_MAX = -(2**63), 2**63 - 1


def reference_binary_search(arr, target):
    if not arr:
        return None
    lo, hi = 0, len(arr) - 1
    while True:
        mid = lo + (hi - lo) // 2
        if arr[mid] == target:
            return mid
        if arr[mid] < target:
            lo = mid + 1
        elif mid == 0:
            return None
        else:
            hi = mid - 1
        if lo > hi:
            return None


def lists(rng):
    for n in (0, 1, 2, 3, 16, 17, 100, 5000):
        yield [rng.randrange(-50, 50) for _ in range(n)]
        yield [rng.randrange(-(10**15), 10**15) for _ in range(n)]
        yield [rng.choice((I64_MIN, I64_MAX, 0)) for _ in range(n)]


@pytest.fixture(scope="module")
def rng():
    return random.Random(20240611)


def test_binary_search_follows_the_bisection(rng):
    for arr in lists(rng):
        arr.sort()
        for target in {*arr[:20], -51, 50, I64_MIN, I64_MAX, 0, 7}:
            found = mosswick.binary_search(arr, target)
            assert found == reference_binary_search(arr, target)
            assert (found is None) == (target not in arr)
            assert found is None or arr[found] == target


@pytest.mark.parametrize("target, index", [(1, 0), (5, 2), (3, 1), (0, None), (6, None), (4, None)])
def test_binary_search_examples(target, index):
    assert mosswick.binary_search([1, 3, 5], target) == index


def test_kth_smallest_against_sorted(rng):
    for arr in lists(rng):
        ranks = {1, len(arr), (len(arr) + 1) // 2, *(rng.randrange(1, len(arr) + 1) for _ in range(5))} if arr else set()
        for k in ranks:
            assert mosswick.kth_smallest(arr, k) == sorted(arr)[k - 1]


@pytest.mark.parametrize("arr, k", [([3, 1, 2], 0), ([3, 1, 2], 4), ([], 1), ([], 0)])
def test_kth_smallest_out_of_range(arr, k):
    with pytest.raises(IndexError, match="^k out of range$"):
        mosswick.kth_smallest(arr, k)


@pytest.mark.parametrize("fn", [mosswick.kth_smallest, mosswick.top_k], ids=lambda f: f.__name__)
def test_negative_k_is_a_conversion_error(fn):
    with pytest.raises(OverflowError):
        fn([1, 2, 3], -1)


def test_top_k_against_sorted(rng):
    for arr in lists(rng):
        for k in {0, 1, 2, max(len(arr) - 1, 0), len(arr), len(arr) + 5, rng.randrange(len(arr) + 1)}:
            assert mosswick.top_k(arr, k) == sorted(arr, reverse=True)[:k]


def test_dedup_keeps_first_appearances(rng):
    for arr in lists(rng):
        before = list(arr)
        assert mosswick.dedup(arr) == list(dict.fromkeys(arr))
        assert arr == before
    wide = [rng.getrandbits(64) - 2**63 for _ in range(50_000)]
    wide += rng.sample(wide, 20_000)
    assert mosswick.dedup(wide) == list(dict.fromkeys(wide))
