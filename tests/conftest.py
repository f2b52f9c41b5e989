import os
import subprocess
import sys
import textwrap

import pytest


def run_python(code, env=None, check=True):
    """Runs `code` in a fresh interpreter (the one running the tests) and returns its stdout."""
    full_env = dict(os.environ)
    full_env.update(env or {})
    proc = subprocess.run(
        [sys.executable, "-c", textwrap.dedent(code)],
        capture_output=True,
        text=True,
        env=full_env,
        timeout=300,
    )
    if check and proc.returncode != 0:
        raise AssertionError(f"subprocess failed ({proc.returncode}):\n{proc.stdout}\n{proc.stderr}")
    return proc


@pytest.fixture
def python():
    return run_python


# AddressSanitizer's operator new aborts the process instead of throwing std::bad_alloc,
# so MemoryError paths can only be exercised in ordinary builds.
raises_memory_error = pytest.mark.skipif(
    os.environ.get("MOSSWICK_SANITIZED") == "1", reason="sanitizer allocators abort on huge requests"
)
