import math

import numpy as np
import pytest

import mosswick
from conftest import same_bits


def py_exp(x):
    try:
        return math.exp(x)
    except OverflowError:
        return math.inf


def py_logistic(x):
    return 1.0 / (py_exp(-x) + 1.0)


def _gelu(x):
    u = (x + (x * (x * x)) * 0.044715) * 0.7978845608028654
    return (x * 0.5) * (math.tanh(u) + 1.0)


def _silu_derivative(x):
    s = py_logistic(x)
    return s + (x * s) * (1.0 - s)


# name -> (reference for one element, keyword arguments)
REFERENCES = {
    "relu": (lambda x, **_: x if x > 0.0 else 0.0, {}),
    "relu_derivative": (lambda x, **_: 1.0 if x > 0.0 else 0.0, {}),
    "leaky_relu": (lambda x, alpha=0.01: x if x > 0.0 else x * alpha, {"alpha": 0.01}),
    "leaky_relu_derivative": (lambda x, alpha=0.01: 1.0 if x > 0.0 else alpha, {"alpha": 0.01}),
    "elu": (lambda x, alpha=1.0: x if x > 0.0 else (py_exp(x) + -1.0) * alpha, {"alpha": 1.0}),
    "elu_derivative": (lambda x, alpha=1.0: 1.0 if x > 0.0 else py_exp(x) * alpha, {"alpha": 1.0}),
    "gelu": (lambda x, **_: _gelu(x), {}),
    "silu": (lambda x, **_: x / (py_exp(-x) + 1.0), {}),
    "silu_derivative": (lambda x, **_: _silu_derivative(x), {}),
    "sigmoid": (lambda x, **_: py_logistic(x), {}),
    "sigmoid_derivative": (lambda x, **_: py_logistic(x) * (1.0 - py_logistic(x)), {}),
    "tanh": (lambda x, **_: math.tanh(x), {}),
    "tanh_derivative": (lambda x, **_: 1.0 - math.tanh(x) * math.tanh(x), {}),
}

SPECIALS = [0.0, -0.0, math.inf, -math.inf, math.nan, 1e-310, -1e-310, 709.78, 709.79, -709.78, -709.79,
            745.2, -745.2, 800.0, -800.0, 20.0, -20.0, 1e300, -1e300]


def reference(name, xs, **kwargs):
    f, defaults = REFERENCES[name]
    return np.array([f(float(x), **{**defaults, **kwargs}) for x in xs], dtype=np.float64)


@pytest.fixture(scope="module")
def inputs():
    rng = np.random.default_rng(3)
    return np.concatenate([rng.standard_normal(10_000 - len(SPECIALS)) * 8.0, SPECIALS])


@pytest.mark.parametrize("name", sorted(REFERENCES))
@pytest.mark.parametrize("n", [9_999, 10_000])
def test_sequential_and_parallel_paths_match_the_formula(name, n, inputs):
    x = inputs[-n:].copy()
    assert same_bits(getattr(mosswick, name)(x), reference(name, x))


@pytest.mark.parametrize("name", sorted(REFERENCES))
def test_strided_and_reversed_views_read_in_logical_order(name, inputs):
    for view in (inputs[::-1], inputs[::3], inputs[-2::-2]):
        assert same_bits(getattr(mosswick, name)(view), reference(name, view))


@pytest.mark.parametrize("name", ["leaky_relu", "leaky_relu_derivative", "elu", "elu_derivative"])
def test_alpha(name, inputs):
    x = inputs[-60:]  # the special values among them
    f = getattr(mosswick, name)
    assert same_bits(f(x, 0.3), reference(name, x, alpha=0.3))
    assert same_bits(f(x=x, alpha=-2.0), reference(name, x, alpha=-2.0))
    assert same_bits(f(x), reference(name, x))
    with pytest.raises(TypeError, match="^argument 'alpha': "):
        f(x, alpha=None)


def test_empty_and_result_layout():
    x = np.linspace(-3, 3, 11)
    before = x.copy()
    for name in REFERENCES:
        empty = getattr(mosswick, name)(np.zeros(0))
        assert empty.shape == (0,) and empty.dtype == np.float64
        out = getattr(mosswick, name)(x)
        assert out.flags.c_contiguous and out.flags.writeable and not np.shares_memory(out, x)
    assert np.array_equal(x, before)
