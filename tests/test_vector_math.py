"""The vector exp, log and tanh against Python's math module (the C library), bit for bit,
on the kernel build of this run (MOSSWICK_CPU) and on the fallback; the long run is
`make long-check-math`."""

import ctypes
import ctypes.util
import math
import os
import subprocess
import sys

import numpy as np
import pytest

import mosswick
from conftest import native_check

LIBM = ctypes.CDLL(ctypes.util.find_library("m"))
FUNCTIONS = {"exp": math.exp, "log": math.log, "tanh": math.tanh}
for _name in FUNCTIONS:
    getattr(LIBM, _name).restype = ctypes.c_double
    getattr(LIBM, _name).argtypes = [ctypes.c_double]

TINY, MIN, MAX = 5e-324, 2.2250738585072014e-308, 1.7976931348623157e308
SPECIALS = [0.0, math.inf, math.nan, TINY, 3 * TINY, MIN, MAX, 1.0, 2.0, 0.5]
# Where the algorithms change range: exp at 2^-54 and 512, its overflow and the edges of
# its subnormal results; log near 1 and at the smallest normal; tanh at 2^-55, 1, 22 and
# where expm1(2|x|) changes its reduction and reconstruction.
BOUNDARIES = {
    "exp": [2.0**-54, 512.0, 1024.0, 709.782712893384, -708.3964185322641, -745.1332191019411, -745.1332191019412],
    "log": [1.0 - 2.0**-4, 1.0 + 0x109 / 2.0**12, MIN, 2.0**-1060],
    "tanh": [2.0**-55, 1.0, 22.0, float.fromhex("0x1.62e43p-3"), float.fromhex("0x1.0a2b2p-1"),
             19.5 * math.log(2) / 2, 20.5 * math.log(2) / 2, 56.5 * math.log(2) / 2, 57.5 * math.log(2) / 2],
}
# The binades each function's algorithm treats in its own ways (from them up, inputs saturate).
EXPONENTS = {"exp": range(-60, 11), "log": range(-1074, 1024), "tanh": range(-60, 7)}


def inputs_for(name):
    """A few hundred thousand doubles: random bit patterns, every binade of the function's
    ranges with random mantissas and both signs, the specials and every boundary with its
    neighbours."""
    rng = np.random.default_rng(sum(map(ord, name)))
    exponents = np.array(EXPONENTS[name])
    per_binade = max(40, 150_000 // len(exponents))
    mantissa = 1.0 + rng.random((len(exponents), per_binade))
    spread = np.ldexp(mantissa, exponents[:, None]).ravel()
    edges = np.array(BOUNDARIES[name] + SPECIALS)
    with np.errstate(over="ignore"):
        edges = np.concatenate([edges, np.nextafter(edges, np.inf), np.nextafter(edges, -np.inf)])
    bits = rng.integers(0, 2**64, 60_000, dtype=np.uint64, endpoint=False).view(np.float64)
    x = np.concatenate([spread, edges, bits])
    return np.concatenate([x, -x])


def reference(name, x):
    """math's value for each input; the C library's own result where math raises (overflow,
    log of zero or a negative number) and for NaN, which math.log returns unchanged."""
    f, fallback = FUNCTIONS[name], getattr(LIBM, name)
    out = []
    for v in x.tolist():
        try:
            out.append(fallback(v) if v != v else f(v))
        except (OverflowError, ValueError):
            out.append(fallback(v))
    return np.array(out, dtype=np.float64)


@pytest.fixture(scope="module")
def cases():
    return {name: (x, reference(name, x)) for name in FUNCTIONS for x in [inputs_for(name)]}


@pytest.fixture(scope="module")
def checker():
    return native_check("vector_math_check")


# The kernel build is the one this run of the suite tests (MOSSWICK_CPU, as for the module).
def run(checker, *args, env=None):
    full = {k: v for k, v in os.environ.items() if k not in ("LD_PRELOAD", "ASAN_OPTIONS")}
    full.update(env or {})
    return subprocess.run([checker, *args], env=full, capture_output=True, text=True, check=True).stdout


def status(checker, env):
    lines = run(checker, "status", env=env).split("\n")
    return lines[0].split()[1], {line.split()[0]: line.split()[1] for line in lines[1:] if line}


def same_bits(actual, expected):
    return np.array_equal(actual.view(np.uint64), expected.view(np.uint64))


PATHS = {"kernels": {}, "fallback": {"MOSSWICK_TEST_PROBE_MISMATCH": "exp,log,tanh"}}


@pytest.mark.parametrize("path", PATHS)
def test_every_path_gives_the_library_bits(checker, cases, path, tmp_path):
    isa, chosen = status(checker, PATHS[path])
    expected = "vector" if path == "kernels" and isa != "portable" else "library"
    assert chosen == {name: expected for name in FUNCTIONS}
    for name, (x, want) in cases.items():
        x.tofile(tmp_path / "in")
        run(checker, "map", name, str(tmp_path / "in"), str(tmp_path / "out"), env=PATHS[path])
        got = np.fromfile(tmp_path / "out", dtype=np.float64)
        bad = np.nonzero(got.view(np.uint64) != want.view(np.uint64))[0]
        assert len(bad) == 0, f"{name} differs at {[(x[i].hex(), got[i].hex(), want[i].hex()) for i in bad[:5]]}"


def test_a_forced_mismatch_leaves_only_that_function_to_the_library(checker):
    isa, chosen = status(checker, {"MOSSWICK_TEST_PROBE_MISMATCH": "log"})
    if isa == "portable":
        pytest.skip("no vector kernels on this processor")
    assert chosen == {"exp": "vector", "log": "library", "tanh": "vector"}


def test_a_library_without_fused_multiply_adds_is_detected(checker, tmp_path):
    """The library's builds for processors without FMA give other bits on some inputs; the
    probe finds them, and every function falls back to that library."""
    unfused = {"GLIBC_TUNABLES": "glibc.cpu.hwcaps=-AVX2,-FMA"}
    separator = float.fromhex("-0x1.4e7aa01196776p+6")  # exp differs between the two builds
    probe = [sys.executable, "-c", f"import math; print(math.exp({separator!r}).hex())"]
    values = {subprocess.run(probe, env={**os.environ, **e}, capture_output=True, text=True).stdout
              for e in ({}, unfused)}
    isa, chosen = status(checker, unfused)
    if len(values) == 1 or isa == "portable":
        pytest.skip("this C library or processor has no separate build without FMA")
    assert chosen == {name: "library" for name in FUNCTIONS}
    x = np.linspace(-30.0, 30.0, 100_001)
    x.tofile(tmp_path / "in")
    run(checker, "map", "tanh", str(tmp_path / "in"), str(tmp_path / "out"), env=unfused)
    library = "import math, sys, numpy as np; np.array([math.tanh(v) for v in np.fromfile(sys.argv[1])]).tofile(sys.argv[2])"
    subprocess.run([sys.executable, "-c", library, tmp_path / "in", tmp_path / "want"], env={**os.environ, **unfused},
                   check=True)
    assert same_bits(np.fromfile(tmp_path / "out"), np.fromfile(tmp_path / "want"))


def test_the_module_gives_the_library_bits(cases, python):
    """tanh is the module's own tanh; exp(x) for x <= 0 is elu_derivative(x, 1.0). Also with
    every vector function refused by the probe."""
    x, want = cases["tanh"]
    assert same_bits(mosswick.tanh(x), want)
    x, want = cases["exp"]
    keep = ~(x > 0.0)
    assert same_bits(mosswick.elu_derivative(x[keep], 1.0), want[keep])
    out = python(
        """
        import math, numpy as np, mosswick
        x = np.random.default_rng(1).standard_normal(100_000) * 8.0
        print(all(a == math.tanh(v) for a, v in zip(mosswick.tanh(x).tolist(), x.tolist())))
        """,
        env={"MOSSWICK_TEST_PROBE_MISMATCH": "exp,log,tanh"},
    )
    assert out.stdout.strip() == "True"
