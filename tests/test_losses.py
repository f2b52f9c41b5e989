import math

import numpy as np
import pytest

import mosswick

MESSAGE = "Predictions and targets must have matching non-zero lengths."
NAN, INF = float("nan"), float("inf")


def clamp(p):
    if p < 1e-15:
        return 1e-15
    return 0.999999999999999 if p > 0.999999999999999 else p


def bce_term(p, t):
    q = clamp(p)
    return t * math.log(q) + (1.0 - t) * math.log(1.0 - q)


# name -> (term, sign of the sum); categorical_cross_entropy subtracts t * ln(q) from the sum.
LOSSES = {
    "mse_loss": (lambda p, t: (p - t) * (p - t), 1.0),
    "mae_loss": (lambda p, t: abs(p - t), 1.0),
    "bce_loss": (bce_term, -1.0),
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


def pair(n, seed=0):
    """Predictions around [0, 1] with strays and specials; targets mixing labels, soft values and specials."""
    rng = np.random.default_rng(seed)
    p = rng.uniform(-0.2, 1.2, n)
    t = np.where(rng.random(n) < 0.5, rng.integers(0, 2, n).astype(float), rng.uniform(-1.0, 2.0, n))
    specials = np.array([0.0, -0.0, 1.0, 1e-300, 1.0 - 1e-16, INF, -INF, 5.0])
    k = min(n, 60)
    p[:k] = rng.choice(specials, k)
    t[:k] = rng.choice(specials[:5], k)
    return p, t


@pytest.mark.parametrize("name", LOSSES)
@pytest.mark.parametrize("n", [1, 2, 7, 1000, 9999])
def test_sequential_sum_is_bit_exact(name, n):
    p, t = pair(n, n)
    assert same_bits(getattr(mosswick, name)(p, t), reference(name, p, t))


@pytest.mark.parametrize("name", LOSSES)
@pytest.mark.parametrize("n", [10_000, 123_457])
def test_parallel_sum_agrees(name, n):
    p, t = pair(n, n)
    p[:60], t[:60] = np.clip(p[:60], 0.0, 1.0), 1.0  # keep the sum finite
    assert getattr(mosswick, name)(p, t) == pytest.approx(reference(name, p, t), rel=1e-12)


@pytest.mark.parametrize("name", LOSSES)
def test_strided_inputs_are_read_in_logical_order(name):
    p, t = pair(40_002, 5)
    f = getattr(mosswick, name)
    # Strided views stay on the sequential path, so even above the threshold the sum is exact.
    assert same_bits(f(p[::2], t[::-2]), reference(name, p[::2], t[::-2]))
    assert same_bits(f(p[20_001:][::-1], t[1::2]), reference(name, p[20_001:][::-1], t[1::2]))


@pytest.mark.parametrize("name", LOSSES)
def test_nan_propagates(name):
    assert math.isnan(getattr(mosswick, name)(np.array([0.5, NAN]), np.array([1.0, 0.0])))


def test_examples():
    x = np.array([0.25, -3.0, 7.5])
    assert mosswick.mse_loss(x, x.copy()) == 0.0 and mosswick.mae_loss(x, x) == 0.0
    tiny = -math.log(1.0 - 1e-15)
    assert mosswick.bce_loss(np.array([0.0]), np.array([0.0])) == pytest.approx(tiny)
    assert mosswick.bce_loss(np.array([1.0]), np.array([1.0])) > 0.0
    assert mosswick.bce_loss(np.array([0.0]), np.array([1.0])) == -math.log(1e-15)
    cce = mosswick.categorical_cross_entropy(np.array([0.7, 0.2, 0.1]), np.array([1.0, 0.0, 0.0]))
    assert cce == -math.log(0.7) / 3
    # The sum starts from -0.0: a lone -0.0 term keeps the sign.
    assert math.copysign(1.0, mosswick.categorical_cross_entropy(np.array([0.5]), np.array([-0.0]))) == -1.0


@pytest.mark.parametrize("name", LOSSES)
@pytest.mark.parametrize("lengths", [(0, 0), (3, 4), (4, 3), (0, 1)])
def test_length_refusal(name, lengths):
    with pytest.raises(ValueError) as e:
        getattr(mosswick, name)(np.zeros(lengths[0]), np.zeros(lengths[1]))
    assert str(e.value) == MESSAGE


@pytest.mark.parametrize("name", LOSSES)
def test_conversion_refusals_name_the_parameter(name):
    f = getattr(mosswick, name)
    good = np.zeros(3)
    for bad, which in [(np.zeros((3, 1)), "predictions"), ([0.0, 0.0, 0.0], "predictions"),
                       (np.zeros(3, dtype=np.float32), "predictions")]:
        with pytest.raises(TypeError, match=f"^argument '{which}': .*PyArray<T, D>"):
            f(bad, good)
    with pytest.raises(TypeError, match="^argument 'targets': "):
        f(good, np.zeros(3, dtype=np.int64))
    # The refused call released the borrow of predictions: it can be written now.
    mosswick.clip_grad_norm(good, 1.0)


def test_pool_starts_at_the_threshold(python):
    out = python(
        """
        import os
        import numpy as np
        import mosswick

        def threads():
            return len(os.listdir("/proc/self/task"))

        def run_all(n):
            a, b, c, d = (np.full(n, 0.5) for _ in range(4))
            for name in ("mse_loss", "mae_loss", "bce_loss", "categorical_cross_entropy"):
                getattr(mosswick, name)(a, b)
            mosswick.sgd_momentum_step(a, b, c, 0.1, 0.9)
            mosswick.adam_step(a, b, c, d)
            mosswick.clip_grad_norm(a, 0.0)
            mosswick.softmax(np.zeros((n, 2)))
            mosswick.softmax_cross_entropy(np.zeros((n, 2)), np.zeros(n, dtype=np.int64))
            mosswick.one_hot(np.zeros(n, dtype=np.int64), 2)

        print(threads())  # NumPy's own threads, if any
        run_all(9999)
        print(threads())
        mosswick.one_hot(np.zeros(10_000, dtype=np.int64), 2)  # never parallel
        print(threads())
        mosswick.softmax(np.zeros((10_000, 1)))
        print(threads())
        """,
        env={"RAYON_NUM_THREADS": "3"},
    )
    before, below, one_hot, after = map(int, out.stdout.split())
    assert below == one_hot == before and after == before + 3
