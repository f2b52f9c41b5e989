import numpy as np

import mosswick
from benchmarks.runner import Case

N = 1_000_000
P = 0.5
KEEP = 1.0 - P
X = np.random.default_rng(7).standard_normal(N)


def numpy_dropout(x):
    rng = np.random.default_rng(0)
    return x * (rng.random(x.size) < KEEP) / KEEP


def alike(ours, theirs):
    """The two generators draw different masks: each must drop about P of the
    elements and scale its survivors by 1 / (1 - P)."""
    if ours.shape != theirs.shape:
        return False
    fractions_agree = abs((ours == 0.0).mean() - (theirs == 0.0).mean()) < 0.01
    kept = ours != 0.0
    return fractions_agree and np.allclose(ours[kept], X[kept] / KEEP, rtol=1e-15, atol=0.0)


def same_distribution(mean, std):
    def check(ours, theirs):
        return ours.shape == theirs.shape and all(
            abs(a.mean() - mean) < 0.01 and abs(a.std() - std) < 0.01 for a in (ours, theirs))
    return check


CASES = [
    Case("dropout (seeded)", "1,000,000", "default_rng(seed).random mask", lambda: X,
         lambda x: mosswick.dropout(x, P, 0), numpy_dropout, 1.0, check=alike, needs=("numpy",)),
    Case("Tensor.rand (seeded), .data", "1000 x 1000", "default_rng(seed).random", lambda: None,
         lambda _: mosswick.Tensor.rand([1000, 1000], seed=0).data,
         lambda _: np.random.default_rng(0).random((1000, 1000)).ravel(), 1.0,
         check=same_distribution(0.5, (1 / 12) ** 0.5), needs=("numpy",)),
    Case("Tensor.randn (seeded), .data", "1000 x 1000", "default_rng(seed).standard_normal", lambda: None,
         lambda _: mosswick.Tensor.randn([1000, 1000], seed=0).data,
         lambda _: np.random.default_rng(0).standard_normal((1000, 1000)).ravel(), 1.0,
         check=same_distribution(0.0, 1.0), needs=("numpy",)),
]
