"""Side-by-side timing: each case runs mosswick and the peer a Python programmer would
otherwise use on the same input, in the same process, interleaved, and reports the
ratio peer time / mosswick time (above 1 means mosswick is faster)."""

from __future__ import annotations

import importlib
import statistics
import time
from dataclasses import dataclass, field
from typing import Any, Callable


def same(a: Any, b: Any) -> bool:
    return a == b


@dataclass
class Case:
    name: str
    size: str
    peer: str
    setup: Callable[[], Any]
    ours: Callable[[Any], Any]
    theirs: Callable[[Any], Any]
    goal: float
    check: Callable[[Any, Any], bool] = same
    needs: tuple[str, ...] = field(default_factory=tuple)


@dataclass
class Outcome:
    case: Case
    ours: float | None = None
    theirs: float | None = None
    note: str = ""

    @property
    def ratio(self) -> float | None:
        if self.ours is None or self.theirs is None:
            return None
        return self.theirs / self.ours


def missing_modules(case: Case) -> list[str]:
    missing = []
    for module in case.needs:
        try:
            importlib.import_module(module)
        except ImportError:
            missing.append(module)
    return missing


def _loops_for(fn: Callable[[], Any], budget: float) -> int:
    start = time.perf_counter()
    fn()
    once = time.perf_counter() - start
    return max(1, int(budget / max(once, 1e-7)))


def _sample(fn: Callable[[], Any], loops: int) -> float:
    start = time.perf_counter()
    for _ in range(loops):
        fn()
    return (time.perf_counter() - start) / loops


# A long-running program's allocator has seen large blocks freed: glibc then serves them
# from a heap it keeps instead of fresh zeroed pages for every one. mosswick recycles its
# own buffers; the peers' temporaries get that state from this warm-up before each case.
WARM_UP = "before each case the allocator is warmed by holding six 8 MiB blocks at once and freeing them"


def warm_allocator(blocks: int = 6, size: int = 8 << 20) -> None:
    held = [bytearray(size) for _ in range(blocks)]
    del held


def measure(case: Case, rounds: int = 7, budget: float = 0.05) -> Outcome:
    missing = missing_modules(case)
    if missing:
        return Outcome(case, note="skipped: " + ", ".join(missing) + " not installed")
    warm_allocator()
    state = case.setup()
    ours = lambda: case.ours(state)  # noqa: E731
    theirs = lambda: case.theirs(state)  # noqa: E731
    if not case.check(ours(), theirs()):
        return Outcome(case, note="results disagree")
    ours_loops, theirs_loops = _loops_for(ours, budget), _loops_for(theirs, budget)
    ours_times, theirs_times = [], []
    for _ in range(rounds):
        ours_times.append(_sample(ours, ours_loops))
        theirs_times.append(_sample(theirs, theirs_loops))
    return Outcome(case, statistics.median(ours_times), statistics.median(theirs_times))


def format_seconds(t: float | None) -> str:
    if t is None:
        return "-"
    for unit, scale in (("s", 1.0), ("ms", 1e-3), ("us", 1e-6)):
        if t >= scale:
            return f"{t / scale:.3g} {unit}"
    return f"{t / 1e-9:.3g} ns"


def table(outcomes: list[Outcome]) -> list[list[str]]:
    rows = [["case", "size", "mosswick", "peer", "peer time", "ratio", "goal"]]
    for o in outcomes:
        ratio = "-" if o.ratio is None else f"{o.ratio:.2f}"
        if o.note:
            ratio = o.note
        elif o.ratio is not None and o.ratio < o.case.goal:
            ratio += " (below goal)"
        rows.append(
            [o.case.name, o.case.size, format_seconds(o.ours), o.case.peer, format_seconds(o.theirs), ratio,
             f">= {o.case.goal:g}"]
        )
    return rows


def print_table(rows: list[list[str]]) -> None:
    widths = [max(len(r[i]) for r in rows) for i in range(len(rows[0]))]
    for k, row in enumerate(rows):
        print("  ".join(cell.ljust(w) for cell, w in zip(row, widths)).rstrip())
        if k == 0:
            print("  ".join("-" * w for w in widths))
