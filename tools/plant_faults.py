"""Measures how many planted faults the test suite catches.

Each fault of the list (tools/faults.txt by default) is applied on its own: the
source is changed, the module rebuilt incrementally into the virtual environment,
and the suite run; a failing (or hanging) suite has caught the fault. A fault the
suite misses on the default kernels is tried again with MOSSWICK_CPU=portable and
=avx2, the lower kernel builds CI also tests. The source is restored after every
fault, also on an error or Ctrl-C, and the module rebuilt from the clean tree at
the end.

    python3 tools/plant_faults.py [--faults FILE] [--only N ...] [--venv .venv] [--timeout S] [--check]
"""

from __future__ import annotations

import argparse
import dataclasses
import os
import pathlib
import re
import signal
import subprocess
import sys
import time

ROOT = pathlib.Path(__file__).resolve().parent.parent
LOWER_KERNELS = ("portable", "avx2")


@dataclasses.dataclass
class Fault:
    what: str
    path: str
    original: list[str]
    faulty: list[str]

    def pattern(self) -> re.Pattern[str]:
        # Lines after the first may carry any indentation; it is kept in the faulty text.
        first, *rest = (re.escape(line.strip()) for line in self.original)
        return re.compile(first + "".join(r"(\n[ \t]*)" + line for line in rest))

    def apply(self, text: str) -> str:
        matches = list(self.pattern().finditer(text))
        if len(matches) != 1:
            raise SystemExit(f"{self.path}: the original text of '{self.what}' occurs {len(matches)} times")
        match = matches[0]
        indents = list(match.groups()) or ["\n"]
        lines = [line.strip() for line in self.faulty]
        replaced = lines[0] + "".join(indents[min(i, len(indents) - 1)] + line for i, line in enumerate(lines[1:]))
        return text[: match.start()] + replaced + text[match.end() :]


def read_faults(path: pathlib.Path) -> list[Fault]:
    faults, what, block = [], "", []
    for line in path.read_text().splitlines() + [""]:
        if line.strip():
            block.append(line)
            continue
        if block:
            comments = [b[1:].strip() for b in block if b.startswith("#")]
            body = [b for b in block if not b.startswith("#")]
            if body:
                what = comments[-1] if comments else body[0]
                faults.append(Fault(what, body[0].strip(), [b[2:] for b in body if b.startswith("- ")],
                                    [b[2:] for b in body if b.startswith("+ ")]))
            block = []
    return faults


def build(python: pathlib.Path, venv: str) -> bool:
    proc = subprocess.run([str(python), "-m", "pip", "install", "-q", "--no-build-isolation", "--no-deps",
                           "-C", f"build-dir=build/{venv}", "."], cwd=ROOT, capture_output=True, text=True)
    if proc.returncode != 0:
        print(proc.stdout[-3000:], proc.stderr[-3000:], sep="\n", file=sys.stderr)
    return proc.returncode == 0


def run_suite(python: pathlib.Path, timeout: float, cpu: str | None) -> str:
    """'passed', or what caught the fault: the first failing test, or a timeout."""
    env = dict(os.environ)
    env.pop("MOSSWICK_CPU", None)
    if cpu:
        env["MOSSWICK_CPU"] = cpu
    try:
        proc = subprocess.run([str(python), "-m", "pytest", "-x", "-q", "-p", "no:cacheprovider", "tests"],
                              cwd=ROOT, capture_output=True, text=True, env=env, timeout=timeout)
    except subprocess.TimeoutExpired:
        return "timeout"
    if proc.returncode == 0:
        return "passed"
    failed = [line for line in proc.stdout.splitlines() if line.startswith(("FAILED", "ERROR"))]
    return failed[0].split(" - ")[0] if failed else f"exit {proc.returncode}"


def main() -> int:
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--faults", type=pathlib.Path, default=ROOT / "tools" / "faults.txt")
    parser.add_argument("--only", type=int, nargs="*", help="numbers of the faults to plant (from 1)")
    parser.add_argument("--venv", default=".venv")
    parser.add_argument("--timeout", type=float, default=900.0, help="seconds for one run of the suite")
    parser.add_argument("--check", action="store_true", help="only check that every fault applies")
    args = parser.parse_args()

    python = ROOT / args.venv / "bin" / "python"
    faults = read_faults(args.faults)
    chosen = args.only or range(1, len(faults) + 1)
    if args.check:
        for number in chosen:
            fault = faults[number - 1]
            fault.apply((ROOT / fault.path).read_text())
            print(f"{number:2} {fault.path}: {fault.what}")
        return 0
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(1))  # unwinds through the restore below

    results = []
    try:
        for number in chosen:
            fault = faults[number - 1]
            source = ROOT / fault.path
            clean = source.read_text()
            started = time.monotonic()
            try:
                source.write_text(fault.apply(clean))
                if not build(python, args.venv):
                    raise SystemExit(f"fault {number} ({fault.path}) does not build")
                outcomes = {"default": run_suite(python, args.timeout, None)}
                if outcomes["default"] == "passed":
                    for cpu in LOWER_KERNELS:
                        outcomes[cpu] = run_suite(python, args.timeout, cpu)
            finally:
                source.write_text(clean)
            results.append((number, fault, outcomes))
            shown = ", ".join(f"{k}: {v}" for k, v in outcomes.items())
            print(f"{number:2} {fault.path}: {fault.what}\n   {shown} ({time.monotonic() - started:.0f} s)",
                  flush=True)
    finally:
        build(python, args.venv)

    caught = sum(o["default"] != "passed" for _, _, o in results)
    lower = sum(o["default"] == "passed" and any(o[c] != "passed" for c in LOWER_KERNELS) for _, _, o in results)
    print(f"\ncaught on the default kernels: {caught} of {len(results)}")
    print(f"caught only on the portable or AVX2 kernels: {lower}")
    for number, fault, outcomes in results:
        if all(v == "passed" for v in outcomes.values()):
            print(f"missed: {number} {fault.path}: {fault.what}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
