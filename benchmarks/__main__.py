"""python -m benchmarks [--out DIR] [substring ...]: run every case (or those whose name
contains a substring) of every benchmarks/cases_*.py module, mosswick and its peer side by
side. A full run also writes results.md and speedups.png into DIR (build/bench unless
given; `make bench-report` gives benchmarks/, the committed report)."""

import argparse
import importlib
import os
import pkgutil
import platform
import sys

import benchmarks
from benchmarks.report import draw_chart, write_markdown
from benchmarks.runner import WARM_UP, measure, print_table, table


def all_cases():
    cases = []
    for module in sorted(m.name for m in pkgutil.iter_modules(benchmarks.__path__) if m.name.startswith("cases_")):
        cases.extend(importlib.import_module(f"benchmarks.{module}").CASES)
    return cases


def processor_model() -> str:
    """The processor's model name as the system reports it, else what the platform module knows."""
    try:
        with open("/proc/cpuinfo") as f:
            for line in f:
                key, _, value = line.partition(":")
                if key.strip() == "model name" and value.strip():
                    return value.strip()
    except OSError:
        pass
    return platform.processor() or platform.machine()


def main(argv: list[str]) -> None:
    parser = argparse.ArgumentParser(prog="python -m benchmarks")
    parser.add_argument("--out", default=os.path.join("build", "bench"), help="where a full run writes its report")
    parser.add_argument("substrings", nargs="*", help="run only the cases whose name contains one of these")
    args = parser.parse_args(argv)
    cases = all_cases()
    if args.substrings:
        cases = [c for c in cases if any(word in c.name for word in args.substrings)]
    machine = (
        f"{processor_model()}, {os.cpu_count()} logical processors, {platform.machine()}, "
        f"Python {platform.python_version()}"
    )
    print(f"{machine}; ratio = peer time / mosswick time (median of interleaved runs); {WARM_UP}")
    outcomes = []
    for case in cases:
        print(f"  measuring {case.name} ({case.size}) against {case.peer}", file=sys.stderr)
        outcomes.append(measure(case))
    print_table(table(outcomes))
    if not args.substrings:
        os.makedirs(args.out, exist_ok=True)
        results, chart = os.path.join(args.out, "results.md"), os.path.join(args.out, "speedups.png")
        write_markdown(outcomes, results, f"Measured on {machine}; {WARM_UP}.")
        title = f"mosswick against its peers: right of the dashed line mosswick is faster\n({machine})"
        if draw_chart(outcomes, chart, title):
            print(f"wrote {results} and {chart}")
        else:
            print(f"wrote {results} (matplotlib is not installed: no chart)")


if __name__ == "__main__":
    main(sys.argv[1:])
