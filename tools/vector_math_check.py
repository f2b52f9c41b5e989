"""Builds tools/vector_math_check.cpp with the module's vector exp, log and tanh, and runs
the long comparison with the C library (`make long-check-math`): COUNT random inputs
per function on every kernel build this processor runs, every result bit for bit,
then the single-threaded timings.

The suite (tests/test_vector_math.py) builds the same program through native_checks."""

from __future__ import annotations

import argparse
import os
import subprocess
import sys

import native_checks


def vector_builds(binary: str) -> list[str]:
    """The kernel builds with vector versions that this processor runs."""
    builds = []
    for isa in ("avx512", "avx2"):
        out = subprocess.run([binary, "status"], env={**os.environ, "MOSSWICK_CPU": isa}, capture_output=True,
                             text=True, check=True).stdout
        if out.split()[1] == isa:
            builds.append(isa)
    return builds


def main() -> int:
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--count", type=int, default=50_000_000, help="random inputs per function and build")
    parser.add_argument("--seed", type=int, default=20260)
    args = parser.parse_args()
    binary = native_checks.build("vector_math_check")
    failed = False
    for isa in vector_builds(binary):
        env = {**os.environ, "MOSSWICK_CPU": isa}
        print(subprocess.run([binary, "status"], env=env, capture_output=True, text=True, check=True).stdout, end="")
        run = subprocess.run([binary, "compare", str(args.count), str(args.seed)], env=env)
        failed = failed or run.returncode != 0
        subprocess.run([binary, "time"], env=env, check=True)
    print("every result equal to the library's" if not failed else "DIFFERENCES FOUND")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
