import numpy as np

import mosswick
from benchmarks.runner import Case

N = 1_000_000
ROWS, CLASSES = 10_000, 1_000


def close(a, b):
    if isinstance(a, tuple):
        return len(a) == len(b) and all(close(x, y) for x, y in zip(a, b))
    return np.allclose(a, b, rtol=1e-9, atol=1e-15)


def logits():
    rng = np.random.default_rng(11)
    return rng.standard_normal((ROWS, CLASSES)) * 4.0, rng.integers(0, CLASSES, ROWS)


def numpy_softmax(x):
    e = x - x.max(axis=1, keepdims=True)
    np.exp(e, out=e)
    e /= e.sum(axis=1, keepdims=True)
    return e


def numpy_softmax_cross_entropy(state):
    x, targets = state
    rows = np.arange(len(x))
    p = numpy_softmax(x)
    p_target = p[rows, targets]
    loss = -np.log(np.maximum(p_target, 1e-15)).mean()
    p[rows, targets] -= 1.0
    p /= len(x)
    return loss, p


def binary_data():
    rng = np.random.default_rng(5)
    predictions = 1.0 / (1.0 + np.exp(-rng.standard_normal(N)))
    return predictions, (rng.random(N) < predictions).astype(np.float64)


def numpy_mse_bce(state):
    p, t = state
    d = p - t
    mse = np.dot(d, d) / len(p)
    q = np.clip(p, 1e-15, 0.999999999999999)
    terms = np.log(q)
    terms *= t
    rest = np.log(1.0 - q)
    rest *= 1.0 - t
    terms += rest
    return mse, -terms.mean()


def optimizer_state():
    rng = np.random.default_rng(3)
    arrays = {name: rng.standard_normal(N) for name in ("params", "grads")}
    arrays["m"], arrays["v"], arrays["velocity"] = np.zeros(N), np.zeros(N), np.zeros(N)
    return [{k: a.copy() for k, a in arrays.items()} for _ in range(2)] + [{"step": 0}, {"step": 0}]


def mosswick_adam(s):
    a, count = s[0], s[2]
    count["step"] += 1
    mosswick.adam_step(a["params"], a["grads"], a["m"], a["v"], t=count["step"])
    return a["params"], a["m"], a["v"]


def numpy_adam(s, lr=0.001, beta1=0.9, beta2=0.999, eps=1e-8):
    a, count = s[1], s[3]
    count["step"] += 1
    p, g, m, v = a["params"], a["grads"], a["m"], a["v"]
    c1, c2 = 1.0 - beta1 ** count["step"], 1.0 - beta2 ** count["step"]
    m *= beta1
    m += g * (1.0 - beta1)
    v *= beta2
    v += g * g * (1.0 - beta2)
    denominator = np.sqrt(v / c2)
    denominator += eps
    update = m * (lr / c1)
    update /= denominator
    p -= update
    return p, m, v


def mosswick_sgd(s):
    a = s[0]
    mosswick.sgd_momentum_step(a["params"], a["grads"], a["velocity"], 0.01, 0.9)
    return a["params"], a["velocity"]


def numpy_sgd(s, lr=0.01, momentum=0.9):
    a = s[1]
    p, v = a["params"], a["velocity"]
    v *= momentum
    v += a["grads"]
    p -= lr * v
    return p, v


# Each call clips to 0.999 of the last bound, so every call scales the gradient.
def clip_state():
    g = np.random.default_rng(9).standard_normal(N)
    return [{"grads": g.copy(), "bound": 100.0} for _ in range(2)]


def mosswick_clip(s):
    state = s[0]
    norm = mosswick.clip_grad_norm(state["grads"], state["bound"])
    state["bound"] *= 0.999
    return norm, state["grads"]


def numpy_clip(s):
    state = s[1]
    g = state["grads"]
    norm = np.sqrt(np.dot(g, g))
    if norm > state["bound"]:
        g *= state["bound"] / norm
    state["bound"] *= 0.999
    return norm, g


CASES = [
    Case("softmax", "10,000 x 1,000", "NumPy: max, exp, sum, divide", lambda: logits()[0], mosswick.softmax,
         numpy_softmax, 3.0, check=close, needs=("numpy",)),
    Case("softmax_cross_entropy", "10,000 x 1,000", "NumPy softmax + loss + gradient", logits,
         lambda s: mosswick.softmax_cross_entropy(*s), numpy_softmax_cross_entropy, 3.0, check=close,
         needs=("numpy",)),
    Case("mse_loss + bce_loss", "1,000,000", "NumPy dot, clip, log", binary_data,
         lambda s: (mosswick.mse_loss(*s), mosswick.bce_loss(*s)), numpy_mse_bce, 3.0, check=close,
         needs=("numpy",)),
    Case("adam_step", "1,000,000", "NumPy in-place Adam", optimizer_state, mosswick_adam, numpy_adam, 3.0,
         check=close, needs=("numpy",)),
    Case("sgd_momentum_step", "1,000,000", "NumPy in-place SGD", optimizer_state, mosswick_sgd, numpy_sgd, 2.0,
         check=close, needs=("numpy",)),
    Case("clip_grad_norm", "1,000,000", "np.dot + in-place scale", clip_state, mosswick_clip, numpy_clip, 1.3,
         check=close, needs=("numpy",)),
]
