import math

import numpy as np
import pytest

import mosswick

NAN, INF = float("nan"), float("inf")


def clamp(p):
    return 1e-15 if p < 1e-15 else min(p, 0.999999999999999) if not math.isnan(p) else p


# name -> (term, sign of the sum); categorical_cross_entropy subtracts t * ln(q) from the sum.
LOSSES = {
    "mse_loss": (lambda p, t: (p - t) * (p - t), 1.0),
    "mae_loss": (lambda p, t: abs(p - t), 1.0),
    "bce_loss": (lambda p, t: t * math.log(clamp(p)) + (1.0 - t) * math.log(1.0 - clamp(p)), -1.0),
    "categorical_cross_entropy": (lambda p, t: -(t * math.log(clamp(p))), 1.0),
}


def reference(name, predictions, targets):
    term, sign = LOSSES[name]
    s = -0.0
    for p, t in zip(predictions.tolist(), targets.tolist()):
        s += term(p, t)
    return (s if sign > 0 else -s) / len(predictions)


def same_bits(a, b):
    return (math.isnan(a) and math.isnan(b)) or (a == b and math.copysign(1.0, a) == math.copysign(1.0, b))


def pair(n, specials=True):
    """Predictions around [0, 1]; targets mixing 0/1 labels and soft values; specials at the front."""
    rng = np.random.default_rng(n)
    p = rng.uniform(-0.2, 1.2, n)
    t = np.where(rng.random(n) < 0.5, rng.integers(0, 2, n).astype(float), rng.uniform(-1.0, 2.0, n))
    if specials:
        k = min(n, 60)
        p[:k] = rng.choice([0.0, -0.0, 1.0, 1e-300, 1.0 - 1e-16, INF, -INF, NAN, 5.0], k)
        t[:k] = rng.choice([0.0, -0.0, 1.0, 1e-300, 1.0 - 1e-16], k)
    return p, t


@pytest.mark.parametrize("name", LOSSES)
def test_against_reference(name):
    f = getattr(mosswick, name)
    for n in (1, 2, 7, 9999):  # sequential: bit-exact
        p, t = pair(n)
        assert same_bits(f(p, t), reference(name, p, t))
    for n in (10_000, 123_457):  # parallel: the grouping of the additions differs
        p, t = pair(n, specials=False)
        assert f(p, t) == pytest.approx(reference(name, p, t), rel=1e-12)
    # Strided views are read in logical order, sequentially even above the threshold.
    p, t = pair(40_002)
    for a, b in [(p[::2], t[::-2]), (p[20_001:][::-1], t[1::2])]:
        assert same_bits(f(a, b), reference(name, a, b))


def test_examples():
    x = np.array([0.25, -3.0, 7.5])
    assert mosswick.mse_loss(x, x.copy()) == 0.0 and mosswick.mae_loss(x, x) == 0.0
    assert mosswick.bce_loss(np.array([0.0]), np.array([0.0])) == pytest.approx(-math.log(1.0 - 1e-15))
    assert mosswick.bce_loss(np.array([0.0]), np.array([1.0])) == -math.log(1e-15)
    cce = mosswick.categorical_cross_entropy(np.array([0.7, 0.2, 0.1]), np.array([1.0, 0.0, 0.0]))
    assert cce == -math.log(0.7) / 3
    # The sum starts from -0.0: a lone -0.0 term keeps the sign.
    assert math.copysign(1.0, mosswick.categorical_cross_entropy(np.array([0.5]), np.array([-0.0]))) == -1.0


@pytest.mark.parametrize("name", LOSSES)
def test_refusals(name):
    f = getattr(mosswick, name)
    for a, b in [(0, 0), (3, 4), (4, 3), (0, 1)]:
        with pytest.raises(ValueError, match=r"^Predictions and targets must have matching non-zero lengths\.$"):
            f(np.zeros(a), np.zeros(b))
    good = np.zeros(3)
    for bad in (np.zeros((3, 1)), [0.0, 0.0, 0.0], np.zeros(3, dtype=np.float32)):
        with pytest.raises(TypeError, match=r"^argument 'predictions': .*PyArray<T, D>"):
            f(bad, good)
    with pytest.raises(TypeError, match="^argument 'targets': "):
        f(good, np.zeros(3, dtype=np.int64))
    mosswick.clip_grad_norm(good, 1.0)  # the refused calls released their borrows: it can be written


def test_pool_starts_at_the_threshold(python):
    out = python(
        """
        import os
        import numpy as np
        import mosswick

        def run_all(n):
            a, b, c, d = (np.full(n, 0.5) for _ in range(4))
            for name in ("mse_loss", "mae_loss", "bce_loss", "categorical_cross_entropy"):
                getattr(mosswick, name)(a, b)
            mosswick.sgd_momentum_step(a, b, c, 0.1, 0.9)
            mosswick.adam_step(a, b, c, d)
            mosswick.clip_grad_norm(a, 0.0)
            mosswick.softmax(np.zeros((n, 2)))
            mosswick.softmax_cross_entropy(np.zeros((n, 2)), np.zeros(n, dtype=np.int64))
            mosswick.one_hot(np.zeros(n + 1, dtype=np.int64), 2)  # never parallel

        print(len(os.listdir("/proc/self/task")))  # NumPy's own threads, if any
        run_all(9999)
        print(len(os.listdir("/proc/self/task")))
        mosswick.softmax(np.zeros((10_000, 1)))
        print(len(os.listdir("/proc/self/task")))
        """,
        env={"RAYON_NUM_THREADS": "3"},
    )
    before, below, after = map(int, out.stdout.split())
    assert below == before and after == before + 3
