import numpy as np

import mosswick
from benchmarks.runner import Case

N = 1_000_000


def data():
    return np.random.default_rng(7).standard_normal(N) * 3.0


def close(a, b):
    return np.allclose(a, b, rtol=1e-12, atol=1e-15)


def numpy_gelu(x):
    return (x * 0.5) * (np.tanh((x + x * x * x * 0.044715) * 0.7978845608028654) + 1.0)


CASES = [
    Case("relu", "1,000,000", "np.maximum(x, 0)", data, mosswick.relu, lambda x: np.maximum(x, 0.0), 1.2,
         check=close, needs=("numpy",)),
    Case("sigmoid", "1,000,000", "1/(1+np.exp(-x))", data, mosswick.sigmoid, lambda x: 1.0 / (1.0 + np.exp(-x)), 3.0,
         check=close, needs=("numpy",)),
    Case("gelu", "1,000,000", "tanh formula in NumPy", data, mosswick.gelu, numpy_gelu, 2.5, check=close,
         needs=("numpy",)),
    Case("silu", "1,000,000", "x/(1+np.exp(-x))", data, mosswick.silu, lambda x: x / (1.0 + np.exp(-x)), 3.0,
         check=close, needs=("numpy",)),
    Case("tanh", "1,000,000", "np.tanh", data, mosswick.tanh, np.tanh, 1.5, check=close, needs=("numpy",)),
]
