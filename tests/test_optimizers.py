import math
import os
import threading

import numpy as np
import pytest

import mosswick
from conftest import internal_failure, same_bits

NAN = float("nan")


def power(x, t):
    """x**t by square-and-multiply over the bits of |t|, low to high, in IEEE doubles."""
    bits, base = abs(t), np.float64(x)
    r = base if bits & 1 else np.float64(1.0)
    while bits := bits >> 1:
        base = base * base
        r = r * base if bits & 1 else r
    with np.errstate(divide="ignore"):
        return float(np.float64(1.0) / r) if t < 0 else float(r)


def reference_adam(p, g, m, v, lr, beta1, beta2, eps, t):
    c1, c2 = 1.0 - power(beta1, t), 1.0 - power(beta2, t)
    p, m, v = p.tolist(), m.tolist(), v.tolist()
    for i, gi in enumerate(g.tolist()):
        m[i] = beta1 * m[i] + gi * (1.0 - beta1)
        v[i] = beta2 * v[i] + gi * (gi * (1.0 - beta2))
        v_hat = v[i] / c2
        p[i] = p[i] - ((m[i] / c1) * lr) / ((math.sqrt(v_hat) if v_hat >= 0.0 else NAN) + eps)
    return p, m, v


def arrays(n, count):
    rng = np.random.default_rng(n)
    return [rng.standard_normal(n) for _ in range(count)]


@pytest.mark.parametrize("n", [1, 9999, 10_000, 30_001])
def test_steps_match_the_element_formulas(n):
    for t in (1, 2, 7, 1000, -3, 2**31 - 1, -(2**31)):
        p, g, m, v = arrays(n, 4)
        v = np.abs(v)
        expected = reference_adam(p, g, m, v, 0.01, 0.8, 0.99, 1e-6, t)
        mosswick.adam_step(p, g, m, v, lr=0.01, beta1=0.8, beta2=0.99, eps=1e-6, t=t)
        np.testing.assert_array_equal([p, m, v], expected)
    p, g, vel = arrays(n, 3)
    expected_vel = [0.9 * a + b for a, b in zip(vel.tolist(), g.tolist())]
    expected_p = [a - 0.05 * b for a, b in zip(p.tolist(), expected_vel)]
    mosswick.sgd_momentum_step(p, g, vel, 0.05, 0.9)
    np.testing.assert_array_equal([p, vel], [expected_p, expected_vel])


def test_step_examples():
    p, g, vel = np.array([1.0]), np.array([0.5]), np.array([0.0])
    mosswick.sgd_momentum_step(p, g, vel, 0.1, 0.9)
    assert (p[0], vel[0]) == (0.95, 0.5)
    p, m, v = np.array([1.0]), np.array([0.0]), np.array([0.0])
    assert mosswick.adam_step(p, np.array([0.1]), m, v) is None
    assert (p[0], m[0], v[0]) == pytest.approx((0.9990000001, 0.01, 1e-05), rel=1e-12)
    p = np.array([1.0, -2.0, 0.0])
    mosswick.adam_step(p, np.array([0.1, -2.0, 0.0]), np.zeros(3), np.zeros(3), t=0)  # c1 = c2 = 0
    assert np.isnan(p).all()


@pytest.mark.parametrize("n", [5, 9999])
def test_clip_against_reference(n):
    (g,) = arrays(n, 1)
    original, s = g.copy(), -0.0
    for x in original.tolist():
        s += x * x
    norm = mosswick.clip_grad_norm(g, 1.0)
    assert norm == math.sqrt(s)
    np.testing.assert_array_equal(g, (1.0 / norm) * original)


def lanes_of_squares(x):
    """The pool's sum of squares of one piece: 32 lanes by index mod 32, then halved."""
    full = len(x) // 32 * 32
    lanes = np.full(32, -0.0)
    for row in (x[:full] * x[:full]).reshape(-1, 32):
        lanes = lanes + row
    lanes[:len(x) - full] += x[full:] * x[full:]
    while len(lanes) > 1:
        lanes = lanes[:len(lanes) // 2] + lanes[len(lanes) // 2:]
    return lanes[0]


def pairwise(partial):
    if len(partial) == 1:
        return partial[0]
    return pairwise(partial[:len(partial) // 2]) + pairwise(partial[len(partial) // 2:])


def spiky(n):
    """Normal values and every 1009th 2**27, whose square absorbs the later small squares of its lane."""
    (g,) = arrays(n, 1)
    g[::1009] = 2.0**27
    return g


# From the parallel threshold up: 4 pieces per worker, the same bits on every kernel build.
@pytest.mark.parametrize("isa", ["avx512", "avx2", "portable"])
def test_clip_sums_in_the_same_lanes_everywhere(python, isa):
    expected = []
    for n in (10_000, 250_001):
        g = spiky(n)
        pieces = 3 * 4
        norm = np.sqrt(pairwise([lanes_of_squares(g[n * p // pieces:n * (p + 1) // pieces]) for p in range(pieces)]))
        expected += [float(norm).hex(), float((1.0 / norm) * g[n // 2]).hex()]
    out = python(
        f"""
        import sys
        sys.path.insert(0, {os.path.dirname(__file__)!r})
        import mosswick
        from test_optimizers import spiky
        for n in (10_000, 250_001):
            g = spiky(n)
            print(mosswick.clip_grad_norm(g, 1.0).hex(), g[n // 2].hex())
        """,
        env={"MOSSWICK_CPU": isa, "RAYON_NUM_THREADS": "3"},
    ).stdout.split()
    assert out == expected


@pytest.mark.parametrize(
    "grads, max_norm, norm, after",
    [([3.0, 4.0], 5.0, 5.0, [3.0, 4.0]), ([3.0, 4.0], 1.0, 5.0, [0.6, 0.8]), ([0.0, -0.0], 0.0, 0.0, [0.0, -0.0]),
     ([0.0, -0.0], -1.0, 0.0, [0.0, -0.0]), ([1.0, NAN], 0.1, NAN, [1.0, NAN]), ([3.0, 4.0], NAN, 5.0, [3.0, 4.0]),
     ([3.0, 4.0], -1.0, 5.0, [-0.6, -0.8]), ([], 1.0, -0.0, [])],
)
def test_clip_examples(grads, max_norm, norm, after):
    g = np.array(grads)
    assert same_bits(mosswick.clip_grad_norm(g, max_norm), norm)
    assert np.array_equal(np.signbit(g), np.signbit(after))
    np.testing.assert_allclose(g, after, rtol=1e-15)


def sgd(p, g, v):
    mosswick.sgd_momentum_step(p, g, v, 0.1, 0.9)


def adam(p, g, m, v):
    mosswick.adam_step(p, g, m, v)


# Refusals in check order: grads, params, then the state buffers, then lengths ("s": a strided view).
@pytest.mark.parametrize(
    "call, shapes, message",
    [
        (sgd, ["s", "s", "s"], "grads must be contiguous"),
        (sgd, ["s", 4, "s"], "params must be contiguous"),
        (sgd, [4, 4, "s"], "velocity must be contiguous"),
        (sgd, [4, 5, 4], "params, grads, and velocity must be the same length"),
        (sgd, [4, 4, 3], "params, grads, and velocity must be the same length"),
        (adam, ["s", "s", "s", "s"], "grads must be contiguous"),
        (adam, ["s", 4, "s", "s"], "params must be contiguous"),
        (adam, [4, 4, "s", "s"], "m must be contiguous"),
        (adam, [4, 4, 4, "s"], "v must be contiguous"),
        (adam, [5, 4, 4, 4], "params, grads, m, and v must be the same length"),
        (lambda g: mosswick.clip_grad_norm(g, 0.1), ["s"], "grads must be contiguous"),
    ],
)
def test_refusals_modify_nothing(call, shapes, message):
    given = [np.arange(8.0)[::2] if s == "s" else np.arange(float(s)) + 1.0 for s in shapes]
    before = [a.copy() for a in given]
    with pytest.raises(ValueError) as e:
        call(*given)
    assert str(e.value) == message
    np.testing.assert_array_equal(np.concatenate(given), np.concatenate(before))


def test_borrow_registry_between_roles():
    a, b, frozen = np.ones(4), np.ones(4), np.ones(4)
    frozen.flags.writeable = False
    for args in [(a, a, b), (a, b, a), (b, a, a)]:
        assert internal_failure(sgd, *args) == "AlreadyBorrowed"
    assert internal_failure(adam, a, b, np.zeros(4), a[:]) == "AlreadyBorrowed"
    assert internal_failure(sgd, frozen, a, b) == internal_failure(mosswick.clip_grad_norm, frozen, 1.0) == "NotWriteable"
    c = np.arange(1.0, 13.0)
    assert internal_failure(sgd, c[0:4], c[2:6], c[8:12]) == "AlreadyBorrowed"  # overlapping slices
    assert (a == 1.0).all() and (b == 1.0).all() and (c == np.arange(1.0, 13.0)).all()
    with pytest.raises(ValueError, match="^grads must be contiguous$"):
        sgd(c[0::2], c[1::2], np.zeros(6))  # even and odd elements share no element
    sgd(c[0:4], c[4:8], c[8:12])  # disjoint slices
    np.testing.assert_array_equal(c[8:12], 0.9 * np.arange(9.0, 13.0) + np.arange(5.0, 9.0))
    sgd(b, frozen, a)  # a read-only array where it is only read
    assert mosswick.mse_loss(a, a) == 0.0  # one array read twice
    for array in (a, b, c):
        mosswick.clip_grad_norm(array, 10.0)  # every borrow above was released


def over_one_buffer(*offsets):
    """Arrays of 4 elements over one bytearray, at the given element offsets, each with a base of its own."""
    buffer = bytearray(np.arange(1.0, 17.0).tobytes())
    return [np.frombuffer(buffer, count=4, offset=8 * k) for k in offsets]


def over_one_memoryview(*offsets):
    view = memoryview(bytearray(np.arange(1.0, 17.0).tobytes()))
    return [np.frombuffer(view[8 * k:8 * k + 32]) for k in offsets]


def seen_twice(alias, position, count):
    """`count` arrays, the one at `position` being the first one seen through `alias`."""
    arrays = [np.arange(1.0, 5.0) * (i + 1) for i in range(count)]
    arrays[position] = alias(arrays[0])
    return arrays


def through_memoryview(a):
    return np.asarray(memoryview(a))


# Memory that one argument writes and another one reaches through another object.
@pytest.mark.parametrize(
    "call, make, refused",
    [
        (sgd, lambda: seen_twice(through_memoryview, 2, 3), True),
        (sgd, lambda: seen_twice(np.lib.stride_tricks.as_strided, 1, 3), True),
        (adam, lambda: seen_twice(through_memoryview, 1, 4), True),  # grads only read, params written
        (adam, lambda: seen_twice(through_memoryview, 3, 4), True),
        (sgd, lambda: over_one_buffer(0, 0, 8), True),
        (sgd, lambda: over_one_buffer(0, 4, 6), True),  # grads and velocity share two elements
        (sgd, lambda: over_one_memoryview(0, 8, 3), True),
        (sgd, lambda: over_one_buffer(0, 4, 8), False),  # disjoint parts of one buffer
        (adam, lambda: over_one_buffer(12, 8, 4, 0), False),
        (sgd, lambda: over_one_memoryview(8, 0, 4), False),
        (lambda p, g: mosswick.mse_loss(p, g), lambda: seen_twice(through_memoryview, 1, 2), False),  # only read
    ],
    ids=["memoryview", "as_strided", "adam-grads", "adam-v", "same-part", "overlapping-parts", "memoryview-slices",
         "disjoint-parts", "adam-disjoint-parts", "disjoint-slices", "read-twice"],
)
def test_aliases_are_refused_whatever_owns_the_memory(call, make, refused):
    given = make()
    separate = [a.copy() for a in given]
    if refused:
        assert internal_failure(call, *given) == "AlreadyBorrowed"
    else:
        assert call(*given) == call(*separate)
    np.testing.assert_array_equal(np.concatenate(given), np.concatenate(separate))  # nothing changed, or the same


class HoldWhileConverting:
    """A learning rate whose conversion, with the arrays before it borrowed, runs `meanwhile` on another thread."""

    def __init__(self, meanwhile):
        self.meanwhile = meanwhile

    def __float__(self):
        thread = threading.Thread(target=self.meanwhile)
        thread.start()
        thread.join()
        return 0.0


# One thread inside sgd_momentum_step while another calls on 4 elements from `offset` of the same
# buffer, through an object of their own: params (elements 0-3) and velocity (8-11) are written, grads
# (4-7) read, 12-15 free.
@pytest.mark.parametrize(
    "offset, other, refused",
    [
        (0, lambda a: mosswick.clip_grad_norm(a, 0.5), True),
        (2, lambda a: mosswick.mse_loss(a, np.ones(4)), True),
        (4, lambda a: mosswick.clip_grad_norm(a, 0.5), True),
        (4, lambda a: mosswick.mse_loss(a, np.ones(4)), False),
        (12, lambda a: mosswick.clip_grad_norm(a, 0.5), False),
    ],
)
def test_calls_in_other_threads_keep_off_memory_in_use(offset, other, refused):
    buffer = bytearray(np.arange(1.0, 17.0).tobytes())
    params, grads, velocity = (np.frombuffer(buffer, count=4, offset=8 * k) for k in (0, 4, 8))
    alias = np.asarray(memoryview(buffer)[8 * offset:8 * offset + 32].cast("d"))
    before = alias.copy()
    outcome = []

    def meanwhile():
        try:
            outcome.append(other(alias))
        except BaseException as e:
            outcome.append(str(e))

    mosswick.sgd_momentum_step(params, grads, velocity, HoldWhileConverting(meanwhile), 0.0)
    assert (outcome == ["AlreadyBorrowed"]) == refused
    if refused:
        assert (alias == before).all()
    mosswick.clip_grad_norm(params, 1e9)  # everything was released
