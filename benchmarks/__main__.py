"""python -m benchmarks [substring ...]: run every case (or those whose name contains a
substring) of every benchmarks/cases_*.py module, mosswick and its peer side by side."""

import importlib
import os
import pkgutil
import sys

import benchmarks
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
    print(f"{os.cpu_count()} logical processors; ratio = peer time / mosswick time")
    outcomes = []
    for case in cases:
        print(f"  measuring {case.name} ({case.size}) against {case.peer}", file=sys.stderr)
        outcomes.append(measure(case))
    print_table(table(outcomes))


if __name__ == "__main__":
    main(sys.argv[1:])
