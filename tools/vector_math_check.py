"""Builds tools/vector_math_check.cpp with the module's vector exp, log and tanh, and runs
the long comparison with the C library (`make long-check-math`): COUNT random inputs
per function on every kernel build this processor runs, every result bit for bit,
then the single-threaded timings.

The suite (tests/test_vector_math.py) builds the same program through build()."""

from __future__ import annotations

import argparse
import os
import shutil
import subprocess
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
SRC = os.path.join(ROOT, "src")

# As CMakeLists.txt compiles the module: the common flags, and each kernel build's own.
FLAGS = ["-std=c++20", "-O3", "-ffp-contract=off", "-fno-math-errno", "-Wall", "-Wextra", "-Werror",
         "-DMOSSWICK_X86_KERNELS", "-I", SRC]
ISA_FLAGS = {
    "portable": [],
    "avx2": ["-mavx2", "-mfma", "-mbmi", "-mbmi2", "-mpopcnt"],
    "avx512": ["-mavx512f", "-mavx512dq", "-mavx512vl", "-mavx2", "-mfma", "-mbmi", "-mbmi2", "-mpopcnt"],
}
SOURCES = ["core/isa.cpp", "vecmath/libm_data.cpp", "vecmath/vector_math_probe.cpp"]


def build(directory: str) -> str:
    """Compiles the program into `directory` and returns its path."""
    compiler = shutil.which("g++")
    if compiler is None:
        raise RuntimeError("needs g++")
    os.makedirs(directory, exist_ok=True)
    objects, compiling = [], []
    for isa, flags in ISA_FLAGS.items():
        objects.append(os.path.join(directory, f"vector_math_kernels_{isa}.o"))
        compiling.append(subprocess.Popen([compiler, *FLAGS, *flags, f"-DMOSSWICK_ISA={isa}", "-c",
                                           os.path.join(SRC, "vecmath", "vector_math_kernels.cpp"), "-o", objects[-1]]))
    if any(p.wait() != 0 for p in compiling):
        raise subprocess.CalledProcessError(1, compiler)
    binary = os.path.join(directory, "vector_math_check")
    sources = [os.path.join(SRC, s) for s in SOURCES] + [os.path.join(ROOT, "tools", "vector_math_check.cpp")]
    subprocess.run([compiler, *FLAGS, *sources, *objects, "-o", binary], check=True)
    return binary


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
    parser.add_argument("--build-dir", default=os.path.join(ROOT, "build", "vector_math_check"))
    args = parser.parse_args()
    binary = build(args.build_dir)
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
