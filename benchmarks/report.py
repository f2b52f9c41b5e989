"""The benchmark report: a Markdown table and a bar chart of the ratios."""

from __future__ import annotations

from benchmarks.runner import Outcome, table


def write_markdown(outcomes: list[Outcome], path: str, header: str) -> None:
    rows = table(outcomes)
    lines = [header, "", "| " + " | ".join(rows[0]) + " |", "|" + "---|" * len(rows[0])]
    lines += ["| " + " | ".join(cell.replace("|", "\\|") for cell in row) + " |" for row in rows[1:]]
    with open(path, "w") as f:
        f.write("\n".join(lines) + "\n")


def draw_chart(outcomes: list[Outcome], path: str, title: str) -> bool:
    """Horizontal bars of peer time / mosswick time on a log scale, each drawn from the 1x
    line to its ratio and labelled with it, each goal marked."""
    try:
        import matplotlib

        matplotlib.use("Agg")
        import matplotlib.pyplot as plt
        from matplotlib.patches import Patch
        from matplotlib.ticker import FuncFormatter
    except ImportError:
        return False
    measured = [o for o in outcomes if o.ratio is not None and not o.note]
    labels = [f"{o.case.name} ({o.case.size}) vs {o.case.peer}" for o in measured]
    ratios = [o.ratio for o in measured]
    goals = [o.case.goal for o in measured]
    met, missed = "#2e8b57", "#d2691e"
    colors = [met if r >= g else missed for r, g in zip(ratios, goals)]
    fig, ax = plt.subplots(figsize=(10, 0.32 * len(measured) + 1.8))
    ys = range(len(measured))
    ax.barh(ys, [r - 1.0 for r in ratios], left=1.0, color=colors, height=0.7)
    ax.scatter(goals, ys, marker="|", s=220, color="black", zorder=3)
    ax.axvline(1.0, color="grey", linewidth=1, linestyle="--")
    ax.set_xscale("log")
    ax.xaxis.set_major_formatter(FuncFormatter(lambda value, _: f"{value:g}x"))
    lo = min(ratios + goals)
    hi = max(ratios + goals)
    ax.set_xlim(lo / 2.5, hi * 2.5)  # room for the labels beyond the bars' ends
    for y, r, g in zip(ys, ratios, goals):
        outward = 1 if r >= 1 else -1
        ax.annotate(f"{r:.2f}x", (label_anchor(r, g), y), xytext=(4 * outward, 0), textcoords="offset points",
                    ha="left" if outward > 0 else "right", va="center", fontsize=7)
    ax.set_yticks(list(ys), labels, fontsize=8)
    ax.invert_yaxis()
    ax.set_xlabel("peer time / mosswick time (log scale)")
    ax.set_title(title, fontsize=10)
    ax.legend(
        handles=[
            Patch(color=met, label="goal met"),
            Patch(color=missed, label="below goal"),
            plt.Line2D([], [], color="black", marker="|", linestyle="none", markersize=12, label="goal"),
        ],
        loc="upper center",
        bbox_to_anchor=(0.5, -0.5 / len(measured) - 0.02),
        ncol=3,
        fontsize=8,
    )
    fig.tight_layout()
    fig.savefig(path, dpi=110)
    plt.close(fig)
    return True


def label_anchor(ratio: float, goal: float) -> float:
    """Where a bar's label begins: at the bar's free end (right of 1x for ratios above it,
    left for those below), or past the goal's tick when the tick lies just beyond that end,
    where the label would cover it."""
    beyond = goal / ratio if ratio >= 1 else ratio / goal
    return goal if 1 < beyond < 1.7 else ratio
