"""Steps a map's colouring until the engine meets its first conflict and draws
the map there: the borders, the colours so far, the ring of coloured nodes,
the candidate's contact arc, the conflict path and the pivot.

    PYTHONPATH=build/python python3 examples/python/step_and_draw.py --out step.png
"""

import argparse

import matplotlib

matplotlib.use("Agg")
import matplotlib.pyplot as plt  # noqa: E402
from matplotlib.collections import LineCollection  # noqa: E402

import orvane  # noqa: E402

FILL = {0: "white", 1: "#ff6060", 2: "#50f0a0", 3: "#ffd860", 4: "#60b0ff", 5: "#d0d0d0"}


def step_to_first_pivot(colouring, quiet=False):
    """Steps until a pivot is set (or the colouring ends); gives the last record."""
    record = None
    for record in colouring.records():
        if not quiet:
            print(record)
        if record.pivot:
            break
    return record


def draw(colouring, record, path):
    m = colouring.map
    xy = m.positions
    fig, ax = plt.subplots(figsize=(7, 7))
    ax.add_collection(LineCollection(xy[m.borders - 1], colors="#999999", linewidths=0.6, zorder=1))

    def line(nodes, closed=False, **style):
        if nodes:
            pts = xy[[k - 1 for k in nodes + (nodes[:1] if closed else [])]]
            ax.plot(pts[:, 0], pts[:, 1], **style)

    line(m.outer, closed=True, color="black", linewidth=1.5, zorder=2, label="outer boundary")
    line(colouring.ring, closed=True, color="#b0b0b0", linewidth=6, alpha=0.8, zorder=2, label="ring")
    line(colouring.arc, color="#ffa070", linewidth=6, zorder=3, label="contact arc")
    line(colouring.path, color="#ff80ff", linewidth=4, zorder=3, label="conflict path")
    colours = colouring.colours
    ax.scatter(xy[:, 0], xy[:, 1], s=36, c=[FILL[int(c)] for c in colours], edgecolors="black", linewidths=0.6,
               zorder=4)
    if colouring.pivot:
        px, py = xy[colouring.pivot - 1]
        ax.scatter([px], [py], s=260, facecolors="none", edgecolors="red", linewidths=2.5, zorder=5, label="pivot")
    ax.set_title(f"seed {m.seed:08x}, {m.nodes} nodes: step {record.step}, phase "
                 f"{orvane.Phase(record.phase_after).name.lower()}, pivot {record.pivot}")
    ax.set_aspect("equal")
    ax.invert_yaxis()  # as the view shows it: y grows downwards
    ax.legend(loc="upper right", fontsize=8)
    fig.tight_layout()
    fig.savefig(path, dpi=100)
    plt.close(fig)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--seed", default="1a2b", help="seed in hexadecimal (default 1a2b)")
    parser.add_argument("--nodes", type=int, default=150, help="node count (default 150)")
    parser.add_argument("--out", default="step.png", help="PNG to write (default step.png)")
    parser.add_argument("--quiet", action="store_true", help="do not print the trace lines")
    args = parser.parse_args()

    colouring = orvane.Map(args.seed, args.nodes).colouring()
    record = step_to_first_pivot(colouring, args.quiet)
    draw(colouring, record, args.out)
    print(f"step {record.step}: pivot {record.pivot}, ring of {len(colouring.ring)} nodes -> {args.out}")


if __name__ == "__main__":
    main()
