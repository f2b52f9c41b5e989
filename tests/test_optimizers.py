import math

import numpy as np
import pytest

import mosswick

NAN = float("nan")


def power(x, t):
    """x**t by square-and-multiply over the bits of |t|, low to high."""
    bits = abs(t)
    r = x if bits & 1 else 1.0
    base = x
    bits >>= 1
    while bits:
        base = base * base
        if bits & 1:
            r = r * base
        bits >>= 1
    if t < 0:
        with np.errstate(divide="ignore"):
            return float(np.float64(1.0) / r)
    return r


def reference_adam(p, g, m, v, lr=0.001, beta1=0.9, beta2=0.999, eps=1e-8, t=1):
    c1, c2 = 1.0 - power(beta1, t), 1.0 - power(beta2, t)
    p, m, v = p.tolist(), m.tolist(), v.tolist()
    for i, gi in enumerate(g.tolist()):
        m[i] = beta1 * m[i] + gi * (1.0 - beta1)
        v[i] = beta2 * v[i] + gi * (gi * (1.0 - beta2))
        m_hat, v_hat = m[i] / c1, v[i] / c2
        try:
            p[i] = p[i] - (m_hat * lr) / (math.sqrt(v_hat) + eps)
        except (ZeroDivisionError, ValueError):  # what IEEE arithmetic makes NaN
            p[i] = NAN
    return p, m, v


def reference_sgd(p, g, vel, lr, momentum):
    p, vel = p.tolist(), vel.tolist()
    for i, gi in enumerate(g.tolist()):
        vel[i] = momentum * vel[i] + gi
        p[i] = p[i] - lr * vel[i]
    return p, vel


def arrays(n, count, seed=0):
    rng = np.random.default_rng(seed)
    return [rng.standard_normal(n) for _ in range(count)]


def assert_internal_failure(excinfo, text):
    assert not isinstance(excinfo.value, Exception)
    assert str(excinfo.value) == text


@pytest.mark.parametrize("n", [1, 100, 9999, 10_000, 30_001])
@pytest.mark.parametrize("t", [1, 2, 7, 1000, -3, 2**31 - 1, -(2**31)])
def test_adam_matches_the_element_formula(n, t):
    p, g, m = arrays(n, 3, n)
    v = np.abs(arrays(n, 1, t % 97)[0])
    expected = reference_adam(p, g, m, v, 0.01, 0.8, 0.99, 1e-6, t)
    mosswick.adam_step(p, g, m, v, lr=0.01, beta1=0.8, beta2=0.99, eps=1e-6, t=t)
    np.testing.assert_array_equal(np.array([p, m, v]), np.array(expected))


@pytest.mark.parametrize("n", [1, 9999, 10_000, 30_001])
def test_sgd_matches_the_element_formula(n):
    p, g, vel = arrays(n, 3, n)
    expected = reference_sgd(p, g, vel, 0.05, 0.9)
    mosswick.sgd_momentum_step(p, g, vel, 0.05, 0.9)
    np.testing.assert_array_equal(np.array([p, vel]), np.array(expected))


def test_examples():
    p, g, vel = np.array([1.0]), np.array([0.5]), np.array([0.0])
    mosswick.sgd_momentum_step(p, g, vel, 0.1, 0.9)
    assert (p[0], vel[0]) == (0.95, 0.5)
    mosswick.sgd_momentum_step(p, g, vel, 0.1, 0.9)
    assert (p[0], vel[0]) == pytest.approx((0.855, 0.95), abs=1e-15)
    p, m, v = np.array([1.0]), np.array([0.0]), np.array([0.0])
    assert mosswick.adam_step(p, np.array([0.1]), m, v) is None
    assert (p[0], m[0], v[0]) == pytest.approx((0.9990000001, 0.01, 1e-05), rel=1e-12)


def test_zero_step_makes_nan_parameters():
    p, g = np.array([1.0, -2.0, 0.0]), np.array([0.1, -2.0, 0.0])
    mosswick.adam_step(p, g, np.zeros(3), np.zeros(3), t=0)
    assert np.isnan(p).all()


class TestClip:
    @pytest.mark.parametrize("n", [1, 5, 9999])
    def test_sequential_norm_is_exact(self, n):
        (g,) = arrays(n, 1, n)
        s = -0.0
        for x in g.tolist():
            s += x * x
        original = g.copy()
        norm = mosswick.clip_grad_norm(g, 0.5)
        assert norm == math.sqrt(s)
        np.testing.assert_array_equal(g, (0.5 / norm) * original if norm > 0.5 else original)

    @pytest.mark.parametrize("n", [10_000, 250_001])
    def test_parallel_norm(self, n):
        (g,) = arrays(n, 1, n)
        original = g.copy()
        norm = mosswick.clip_grad_norm(g, 1.0)
        assert norm == pytest.approx(math.sqrt(math.fsum(x * x for x in original.tolist())), rel=1e-13)
        np.testing.assert_array_equal(g, (1.0 / norm) * original)

    @pytest.mark.parametrize(
        "grads, max_norm, norm, after",
        [([3.0, 4.0], 5.0, 5.0, [3.0, 4.0]), ([3.0, 4.0], 1.0, 5.0, [3.0 / 5.0, 4.0 / 5.0]),
         ([0.0, -0.0], 0.0, 0.0, [0.0, -0.0]), ([1.0, NAN], 0.1, NAN, [1.0, NAN]),
         ([3.0, 4.0], NAN, 5.0, [3.0, 4.0]), ([3.0, 4.0], -1.0, 5.0, [-3.0 / 5.0, -4.0 / 5.0])],
    )
    def test_examples(self, grads, max_norm, norm, after):
        g = np.array(grads)
        result = mosswick.clip_grad_norm(g, max_norm)
        assert result == norm or (math.isnan(result) and math.isnan(norm))
        np.testing.assert_allclose(g, after, rtol=1e-15)

    def test_empty_gives_negative_zero(self):
        assert math.copysign(1.0, mosswick.clip_grad_norm(np.zeros(0), 1.0)) == -1.0


def call_sgd(p, g, v):
    mosswick.sgd_momentum_step(p, g, v, 0.1, 0.9)


def call_adam(p, g, m, v):
    mosswick.adam_step(p, g, m, v)


# Layout refusals in check order: grads, params, then the state buffers, then lengths.
@pytest.mark.parametrize(
    "call, shapes, message",
    [
        (call_sgd, ["s", "s", "s"], "grads must be contiguous"),
        (call_sgd, ["s", 4, "s"], "params must be contiguous"),
        (call_sgd, [4, 4, "s"], "velocity must be contiguous"),
        (call_sgd, [4, 5, 4], "params, grads, and velocity must be the same length"),
        (call_sgd, [4, 4, 3], "params, grads, and velocity must be the same length"),
        (call_adam, ["s", "s", "s", "s"], "grads must be contiguous"),
        (call_adam, ["s", 4, "s", "s"], "params must be contiguous"),
        (call_adam, [4, 4, "s", "s"], "m must be contiguous"),
        (call_adam, [4, 4, 4, "s"], "v must be contiguous"),
        (call_adam, [4, 4, 4, 5], "params, grads, m, and v must be the same length"),
        (call_adam, [5, 4, 4, 4], "params, grads, m, and v must be the same length"),
        (lambda g: mosswick.clip_grad_norm(g, 0.1), ["s"], "grads must be contiguous"),
    ],
)
def test_refusals_modify_nothing(call, shapes, message):
    given = [np.arange(8.0)[::2] if s == "s" else np.arange(float(s)) + 1.0 for s in shapes]
    before = [a.copy() for a in given]
    with pytest.raises(ValueError) as e:
        call(*given)
    assert str(e.value) == message
    for a, b in zip(given, before):
        np.testing.assert_array_equal(a, b)


class TestRegistry:
    def test_same_array_in_two_roles(self):
        a, b = np.ones(4), np.ones(4)
        for args in [(a, a, b), (a, b, a), (b, a, a)]:
            with pytest.raises(BaseException) as e:
                call_sgd(*args)
            assert_internal_failure(e, "AlreadyBorrowed")
        with pytest.raises(BaseException) as e:
            call_adam(a, b, np.zeros(4), a[:])
        assert_internal_failure(e, "AlreadyBorrowed")
        assert (a == 1.0).all() and (b == 1.0).all()

    def test_read_only_array_in_a_writable_role(self):
        frozen = np.ones(4)
        frozen.flags.writeable = False
        with pytest.raises(BaseException) as e:
            call_sgd(frozen, np.ones(4), np.zeros(4))
        assert_internal_failure(e, "NotWriteable")
        with pytest.raises(BaseException) as e:
            mosswick.clip_grad_norm(frozen, 0.5)
        assert_internal_failure(e, "NotWriteable")
        p, v = np.ones(4), np.zeros(4)
        call_sgd(p, frozen, v)  # read-only is fine where the array is only read
        assert (v == 1.0).all() and (frozen == 1.0).all()

    def test_slices_of_one_array(self):
        a = np.arange(1.0, 13.0)
        with pytest.raises(ValueError, match="^grads must be contiguous$"):
            call_sgd(a[0::2], a[1::2], np.zeros(6))  # even and odd elements share no element
        with pytest.raises(BaseException) as e:
            call_sgd(a[0:4], a[2:6], a[8:12])
        assert_internal_failure(e, "AlreadyBorrowed")
        np.testing.assert_array_equal(a, np.arange(1.0, 13.0))
        call_sgd(a[0:4], a[4:8], a[8:12])  # disjoint halves: params -= 0.1 * (0.9 * velocity + grads)
        np.testing.assert_array_equal(a[8:12], 0.9 * np.arange(9.0, 13.0) + np.arange(5.0, 9.0))

    def test_borrows_are_released_after_every_call(self):
        a, b = np.ones(4), np.ones(4)
        assert mosswick.mse_loss(a, a) == 0.0  # one array read twice
        with pytest.raises(ValueError):
            call_sgd(a, b, np.zeros(3))
        call_sgd(b, a, np.zeros(4))
        assert mosswick.clip_grad_norm(a, 10.0) == 2.0


def test_conversions():
    p = np.ones(2)
    with pytest.raises(OverflowError):
        mosswick.adam_step(p, p.copy(), np.zeros(2), np.zeros(2), t=2**31)
    with pytest.raises(TypeError, match="^argument 'lr': "):
        mosswick.adam_step(p, p.copy(), np.zeros(2), np.zeros(2), lr=None)
    with pytest.raises(TypeError, match="^argument 'velocity': "):
        mosswick.sgd_momentum_step(p, p.copy(), [0.0, 0.0], 0.1, 0.9)
    assert (p == 1.0).all()
