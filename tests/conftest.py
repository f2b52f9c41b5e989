import math
import os
import struct
import subprocess
import sys
import textwrap

import numpy as np
import pytest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))), "tools"))
import native_checks  # noqa: E402


def run_python(code, env=None, check=True, clean_pool_env=False):
    """Runs `code` in a fresh interpreter (the one running the tests); returns the finished process.
    With clean_pool_env, the worker-count variables of the parent are not passed on."""
    full_env = {k: v for k, v in os.environ.items() if not (clean_pool_env and k.startswith("RAYON_"))}
    full_env.update(env or {})
    proc = subprocess.run([sys.executable, "-c", textwrap.dedent(code)], capture_output=True, text=True,
                          env=full_env, timeout=300)
    if check and proc.returncode != 0:
        raise AssertionError(f"subprocess failed ({proc.returncode}):\n{proc.stdout}\n{proc.stderr}")
    return proc


@pytest.fixture
def python():
    return run_python


def same_bits(actual, expected):
    """Equal structure and bit-identical floats, signs of zero included; any NaN matches any NaN.
    Takes floats, float64 arrays and (nested) lists and tuples."""
    if isinstance(expected, np.ndarray):
        if not (isinstance(actual, np.ndarray) and actual.dtype == np.float64 and actual.shape == expected.shape):
            return False
        nan = np.isnan(expected)
        return np.array_equal(np.isnan(actual), nan) and np.array_equal(
            actual[~nan].view(np.uint64), expected[~nan].astype(np.float64).view(np.uint64))
    if isinstance(expected, (list, tuple)):
        return (type(actual) is type(expected) and len(actual) == len(expected)
                and all(same_bits(a, b) for a, b in zip(actual, expected)))
    if isinstance(expected, float):
        return type(actual) is float and (
            (math.isnan(actual) and math.isnan(expected)) or struct.pack("<d", actual) == struct.pack("<d", expected))
    return type(actual) is type(expected) and actual == expected


def internal_failure(call, *args, **kwargs):
    """The message of the internal-failure exception that call(*args) raises."""
    with pytest.raises(BaseException) as info:
        call(*args, **kwargs)
    assert not isinstance(info.value, Exception), info.value
    assert type(info.value).__bases__ == (BaseException,)
    return str(info.value)


# AddressSanitizer's operator new aborts the process instead of throwing std::bad_alloc,
# so MemoryError paths can only be exercised in ordinary builds.
raises_memory_error = pytest.mark.skipif(
    os.environ.get("MOSSWICK_SANITIZED") == "1", reason="sanitizer allocators abort on huge requests"
)


def native_check(target, sanitize=""):
    """The path of a native check (see tools/native_checks.py); skips where none can be built."""
    try:
        return native_checks.build(target, sanitize)
    except native_checks.Unavailable as e:
        pytest.skip(str(e))
