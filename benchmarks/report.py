"""The benchmark report: a Markdown table and a bar chart of the ratios."""

from __future__ import annotations

import math

from benchmarks.runner import Outcome, table


def write_markdown(outcomes: list[Outcome], path: str, header: str) -> None:
    rows = table(outcomes)
    lines = [header, "", "| " + " | ".join(rows[0]) + " |", "|" + "---|" * len(rows[0])]
    lines += ["| " + " | ".join(cell.replace("|", "\\|") for cell in row) + " |" for row in rows[1:]]
    with open(path, "w") as f:
        f.write("\n".join(lines) + "\n")


def draw_chart(outcomes: list[Outcome], path: str, title: str) -> bool:
    """Horizontal bars of peer time / mosswick time on a log scale, each goal marked."""
    try:
        import matplotlib

        matplotlib.use("Agg")
        import matplotlib.pyplot as plt
    except ImportError:
        return False
    measured = [o for o in outcomes if o.ratio is not None and not o.note]
    labels = [f"{o.case.name} ({o.case.size}) vs {o.case.peer}" for o in measured]
    ratios = [o.ratio for o in measured]
    goals = [o.case.goal for o in measured]
    colors = ["#2e8b57" if r >= g else "#d2691e" for r, g in zip(ratios, goals)]
    fig, ax = plt.subplots(figsize=(10, 0.32 * len(measured) + 1.6))
    ys = range(len(measured))
    ax.barh(ys, ratios, color=colors, height=0.7)
    ax.scatter(goals, ys, marker="|", s=220, color="black", zorder=3, label="goal")
    ax.axvline(1.0, color="grey", linewidth=1, linestyle="--")
    ax.set_xscale("log")
    lo = min(ratios + goals)
    hi = max(ratios + goals)
    ax.set_xlim(10 ** math.floor(math.log10(lo * 0.8)), 10 ** math.ceil(math.log10(hi * 1.25)))
    ax.set_yticks(list(ys), labels, fontsize=8)
    ax.invert_yaxis()
    ax.set_xlabel("peer time / mosswick time (log scale)")
    ax.set_title(title, fontsize=10)
    ax.legend(loc="lower right", fontsize=8)
    fig.tight_layout()
    fig.savefig(path, dpi=110)
    plt.close(fig)
    return True
