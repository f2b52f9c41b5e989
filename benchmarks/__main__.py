"""python -m benchmarks [substring ...]: run every case (or those whose name contains a
substring) of every benchmarks/cases_*.py module, mosswick and its peer side by side.
A full run also writes benchmarks/results.md and benchmarks/speedups.png."""

import importlib
import os
import pkgutil
import platform
import sys

import benchmarks
from benchmarks.report import draw_chart, write_markdown
from benchmarks.runner import measure, print_table, table


def all_cases():
    cases = []
    for module in sorted(m.name for m in pkgutil.iter_modules(benchmarks.__path__) if m.name.startswith("cases_")):
        cases.extend(importlib.import_module(f"benchmarks.{module}").CASES)
    return cases


def main(argv: list[str]) -> None:
    cases = all_cases()
    if argv:
        cases = [c for c in cases if any(word in c.name for word in argv)]
    machine = f"{os.cpu_count()} logical processors, {platform.machine()}, Python {platform.python_version()}"
    print(f"{machine}; ratio = peer time / mosswick time (median of interleaved runs)")
    outcomes = []
    for case in cases:
        print(f"  measuring {case.name} ({case.size}) against {case.peer}", file=sys.stderr)
        outcomes.append(measure(case))
    print_table(table(outcomes))
    if not argv:
        here = os.path.dirname(os.path.abspath(__file__))
        write_markdown(outcomes, os.path.join(here, "results.md"), f"Measured on {machine}.")
        if draw_chart(outcomes, os.path.join(here, "speedups.png"), f"mosswick against its peers: right of the dashed line mosswick is faster\n({machine})"):
            print("wrote benchmarks/results.md and benchmarks/speedups.png")
        else:
            print("wrote benchmarks/results.md (matplotlib is not installed: no chart)")


if __name__ == "__main__":
    main(sys.argv[1:])
