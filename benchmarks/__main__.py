"""python -m benchmarks [substring ...]: run the cases whose name contains any substring."""

import os
import sys

from benchmarks import cases_number_theory
from benchmarks.runner import measure, print_table, table

SUITES = [cases_number_theory]


def main(argv: list[str]) -> None:
    cases = [case for suite in SUITES for case in suite.CASES]
    if argv:
        cases = [c for c in cases if any(word in c.name for word in argv)]
    print(f"{os.cpu_count()} logical processors; ratio = peer time / mosswick time")
    outcomes = []
    for case in cases:
        outcomes.append(measure(case))
        print(f"  measured {case.name}", file=sys.stderr)
    print_table(table(outcomes))


if __name__ == "__main__":
    main(sys.argv[1:])
