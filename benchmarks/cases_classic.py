import heapq
import math
import random
import statistics
import string

import mosswick
from benchmarks.runner import Case

N = 1_000_000


def ints(seed=11):
    rng = random.Random(seed)
    return [rng.randrange(-(10**9), 10**9) for _ in range(N)]


def floats(seed=12):
    rng = random.Random(seed)
    return [rng.uniform(-1e6, 1e6) for _ in range(N)]


def float_pair():
    return floats(13), floats(14)


def repeated_ints(seed=15):
    rng = random.Random(seed)
    return [rng.randrange(N // 2) for _ in range(N)]


def ascii_pair(seed=16):
    rng = random.Random(seed)
    return tuple("".join(rng.choices(string.ascii_letters + string.digits, k=2000)) for _ in range(2))


def keys(seed=17):
    rng = random.Random(seed)
    return [rng.getrandbits(64) - 2**63 for _ in range(N)]


def close(a, b):
    return all(math.isclose(x, y, rel_tol=1e-9, abs_tol=1e-9) for x, y in zip(a, b, strict=True))


def summary_ours(xs):
    return mosswick.mean(xs), mosswick.variance(xs), mosswick.median(xs)


def summary_statistics(xs):
    return statistics.fmean(xs), statistics.pvariance(xs), statistics.median(xs)


def summary_numpy(xs):
    import numpy as np

    a = np.asarray(xs, dtype=np.float64)
    return float(a.mean()), float(a.var()), float(np.median(a))


def map_ours(ks):
    m = mosswick.MosswickHashMap()
    insert, get = m.insert, m.get
    for k in ks:
        insert(k, k)
    return [get(k) for k in ks]


def map_dict(ks):
    d = {}
    for k in ks:
        d[k] = k
    return [d.get(k) for k in ks]


def rapidfuzz_distance(pair):
    from rapidfuzz.distance import Levenshtein

    return Levenshtein.distance(*pair)


CASES = [
    Case("quicksort", "1,000,000 ints", "sorted()", ints, mosswick.quicksort, sorted, 7),
    Case("parallel_sort", "1,000,000 ints", "sorted()", ints, mosswick.parallel_sort, sorted, 7),
    Case("quicksort_f64", "1,000,000 floats", "sorted()", floats, mosswick.quicksort_f64, sorted, 6),
    Case("mergesort", "1,000,000 ints", "sorted()", ints, mosswick.mergesort, sorted, 6),
    Case("kth_smallest", "1,000,000 ints, median rank", "sorted()[k-1]", ints,
         lambda xs: mosswick.kth_smallest(xs, N // 2), lambda xs: sorted(xs)[N // 2 - 1], 30),
    Case("top_k", "1,000,000 ints, k=100", "heapq.nlargest", ints, lambda xs: mosswick.top_k(xs, 100),
         lambda xs: heapq.nlargest(100, xs), 2),
    Case("dedup", "1,000,000 ints, ~43% repeats", "list(dict.fromkeys())", repeated_ints, mosswick.dedup,
         lambda xs: list(dict.fromkeys(xs)), 1.5),
    Case("mean+variance+median", "1,000,000 floats", "statistics", floats, summary_ours, summary_statistics, 10,
         check=close),
    Case("mean+variance+median", "1,000,000 floats", "NumPy on the list", floats, summary_ours, summary_numpy, 1.5,
         check=close, needs=("numpy",)),
    Case("dot_product", "1,000,000 floats", "math.sumprod", float_pair, lambda p: mosswick.dot_product(*p),
         lambda p: math.sumprod(*p), 1, check=lambda a, b: math.isclose(a, b, rel_tol=1e-9, abs_tol=1e-3)),
    Case("levenshtein", "2,000 ASCII chars", "rapidfuzz Levenshtein", ascii_pair,
         lambda p: mosswick.levenshtein(*p), rapidfuzz_distance, 1, needs=("rapidfuzz",)),
    Case("MosswickHashMap", "1,000,000 insert + get", "dict", keys, map_ours, map_dict, 0.7),
]
