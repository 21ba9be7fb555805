"""Measures the time per map (building and colouring) and the success rate
against the node count N, from batch runs of consecutive seeds, and plots
them as an SVG picture (docs/python-scaling.svg by default). Under a minute
on two cores; --quick takes a few seconds.

    PYTHONPATH=build/python python3 examples/python/scaling.py
"""

import argparse
import platform
import time
from pathlib import Path

import matplotlib

matplotlib.use("Agg")
import matplotlib.pyplot as plt  # noqa: E402
import numpy as np  # noqa: E402

import orvane  # noqa: E402

# N and the number of maps at that N.
FULL = [(100, 1000), (200, 1000), (500, 1000), (1000, 1000), (2000, 1000), (5000, 500), (10000, 400)]
QUICK = [(100, 20), (1000, 10), (10000, 3)]


def measure(plan, first_seed, jobs):
    rows = []
    for nodes, maps in plan:
        started = time.perf_counter()
        r = orvane.batch(first_seed, nodes, maps, jobs=jobs, times=True)
        wall = time.perf_counter() - started
        rows.append((nodes, r))
        print(f"N={nodes:5d}  {maps:4d} maps  {r.successes:4d} ok  {r.failures:3d} failed  "
              f"build {np.mean(r.map_times):7.2f} ms  colour {np.mean(r.colour_times):7.2f} ms  ({wall:.1f} s)")
    return rows


def plot(rows, out, jobs):
    n = np.array([nodes for nodes, _ in rows])
    fig, (times, rate) = plt.subplots(1, 2, figsize=(10, 4.2))
    # Means over many maps: each map's times are whole milliseconds.
    build = np.array([r.map_times.mean() for _, r in rows])
    colour = np.array([r.colour_times.mean() for _, r in rows])
    times.plot(n, build, "o-", color="#1f77b4", label="build")
    times.plot(n, colour, "o-", color="#d62728", label="colour")
    times.plot(n, build + colour, "s--", color="#444444", label="build + colour")
    # A line proportional to N through the last point, for the eye.
    times.plot(n, (build + colour)[-1] * n / n[-1], ":", color="#999999", label="proportional to N")
    times.set_xscale("log")
    times.set_yscale("log")
    times.set_xlabel("nodes N")
    times.set_ylabel("milliseconds per map (mean)")
    times.set_title("Time per map")
    times.grid(True, which="both", alpha=0.3)
    times.legend(fontsize=8)

    rates = [100 * r.success_rate for _, r in rows]
    maps = [r.maps for _, r in rows]
    rate.plot(n, rates, "o-", color="#2ca02c")
    for x, y, m in zip(n, rates, maps):
        rate.annotate(f"{m} maps", (x, y), textcoords="offset points", xytext=(0, -14), ha="center", fontsize=7)
    rate.set_xscale("log")
    rate.set_ylim(min(90, min(rates) - 5), 101)
    rate.set_xlabel("nodes N")
    rate.set_ylabel("correct four-colourings (%)")
    rate.set_title("Success rate (10-second limit)")
    rate.grid(True, which="both", alpha=0.3)

    fig.suptitle(f"orvane {orvane.__version__}: consecutive seeds from 1, {jobs} worker(s), "
                 f"{platform.machine()}", fontsize=10)
    fig.tight_layout()
    matplotlib.rcParams["svg.hashsalt"] = "orvane-scaling"
    fig.savefig(out, metadata={"Date": None})
    plt.close(fig)


def main():
    default_out = Path(__file__).resolve().parents[2] / "docs" / "python-scaling.svg"
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--out", default=str(default_out), help=f"SVG to write (default {default_out})")
    parser.add_argument("--quick", action="store_true", help="a few maps at three sizes only")
    parser.add_argument("--jobs", type=int, default=1,
                        help="worker threads (default 1: maps in parallel share the memory bus and each takes longer)")
    parser.add_argument("--seed", default="1", help="first seed (default 1)")
    args = parser.parse_args()
    rows = measure(QUICK if args.quick else FULL, args.seed, args.jobs)
    plot(rows, args.out, args.jobs)
    print(f"-> {args.out}")


if __name__ == "__main__":
    main()
