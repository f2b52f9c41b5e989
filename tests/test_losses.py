import math

import numpy as np
import pytest

import mosswick
from conftest import same_bits

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


def pair(n, specials=True):
    """Predictions around [0, 1]; targets mixing 0/1 labels and soft values; specials at the front
    (infinities and NaN only in short arrays, where they do not hide every other term)."""
    rng = np.random.default_rng(n)
    p = rng.uniform(-0.2, 1.2, n)
    t = np.where(rng.random(n) < 0.5, rng.integers(0, 2, n).astype(float), rng.uniform(-1.0, 2.0, n))
    if specials:
        k = min(n, 60)
        p[:k] = rng.choice([0.0, -0.0, 1.0, 1e-300, 1.0 - 1e-16, 5.0] + ([INF, -INF, NAN] if n < 10 else []), k)
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
    assert mosswick.bce_loss(np.array([0.0]), np.array([1.0])) == -math.log(1e-15)
    cce = mosswick.categorical_cross_entropy(np.array([0.7, 0.2, 0.1]), np.array([1.0, 0.0, 0.0]))
    assert cce == -math.log(0.7) / 3
    # The sum starts from -0.0: a lone -0.0 term keeps the sign.
    assert math.copysign(1.0, mosswick.categorical_cross_entropy(np.array([0.5]), np.array([-0.0]))) == -1.0


@pytest.mark.parametrize("name", ["bce_loss", "categorical_cross_entropy"])
@pytest.mark.parametrize("target", [0.0, -0.0, 1.0])
def test_a_nan_prediction_stays_nan_whatever_its_target(name, target):
    # Zero and one targets may take shortcuts around a logarithm: NaN must still get through.
    assert math.isnan(getattr(mosswick, name)(np.array([NAN, 0.5]), np.array([target, 1.0])))


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
