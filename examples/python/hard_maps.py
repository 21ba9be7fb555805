"""Looking for hard maps: start from seeded maps, move their sites about to
raise the colouring method's own work, and save the hardest set found as a
sites file.

The work of a colouring is read off its trace, step by step:

    changes   colour changes of coloured countries from one step to the next
              (the Kempe-chain swaps; growth itself only colours new countries)
    pivots    steps spent freeing a pivot (phase 3)
    paths     steps spent walking a conflict path (phases 4 to 6)

A map scores its colour changes; a map the method fails on (or does not
finish within the step limit) beats every map it colours. The search starts
from the hardest of a sample of seeded maps and climbs: each round moves one
to three sites (a small nudge, a long jump or a new place), keeps the result
when it is at least as hard, and now and then a worse one, less often as time
runs out (simulated annealing). Moves that give no map (a duplicate, ...) are
simply drawn again.

    python3 examples/python/hard_maps.py --nodes 200 --seconds 120 --out hardest.sites
    orvane-cli colour --sites hardest.sites --full

Needs numpy; PYTHONPATH must reach the orvane package (see docs/python.md).
"""

import argparse
import math
import random
import sys
import time

import numpy as np

import orvane

COLOURED = np.frombuffer(b"RGYB", dtype=np.uint8)


class Work:
    """What one colouring cost, from its trace."""

    def __init__(self, steps=0, changes=0, pivots=0, paths=0, result=0, finished=True):
        self.steps, self.changes, self.pivots, self.paths = steps, changes, pivots, paths
        self.result, self.finished = result, finished

    @property
    def failed(self):
        return not self.finished or self.result != 0

    def score(self):
        # A failure outranks any amount of work.
        return self.changes + (10**9 if self.failed else 0)

    def __str__(self):
        end = "FAILED (verify %d)" % self.result if self.finished and self.result else (
            "did not finish" if not self.finished else "coloured")
        return (f"{self.changes} colour changes, {self.pivots} pivot steps, {self.paths} path steps, "
                f"{self.steps} steps, {end}")


def work_of(m):
    """Steps a fresh colouring of map m to its end and counts its work."""
    c = m.colouring()
    w = Work()
    before = None
    for record in c.records():
        row = np.frombuffer(record.colours.encode("ascii"), dtype=np.uint8)
        if before is not None:
            w.changes += int(np.count_nonzero(np.isin(before, COLOURED) & (row != before)))
        before = row
        w.steps += 1
        if record.phase_before == orvane.Phase.FREE_PIVOT:
            w.pivots += 1
        elif orvane.Phase.WALK_PATH <= record.phase_before <= orvane.Phase.SHAKE:
            w.paths += 1
    w.finished = c.finished
    w.result = c.result if c.result is not None else -1
    return w


def moved(sites, rng, heat):
    """A copy of sites with one to three of them moved."""
    out = sites.copy()
    for _ in range(rng.choice((1, 1, 1, 2, 3))):
        k = rng.randrange(len(out))
        kind = rng.random()
        if kind < 0.15:
            out[k] = (rng.randrange(32768), rng.randrange(32768))
        else:
            reach = 300 if kind < 0.75 else 3000
            reach = max(2, int(reach * (0.2 + heat)))
            out[k, 0] = min(32767, max(0, out[k, 0] + rng.randint(-reach, reach)))
            out[k, 1] = min(32767, max(0, out[k, 1] + rng.randint(-reach, reach)))
    return out


def evaluate(sites):
    """The work of the map of these sites; None when they give no map."""
    try:
        return work_of(orvane.Map.from_sites(sites))
    except ValueError:
        return None


def search(nodes, seconds, starts, rng, say):
    began = time.monotonic()
    # The hardest of a sample of seeded maps is where the climb starts.
    best_seed, best_work = None, None
    for seed in rng.sample(range(1, 2**32), starts):
        w = work_of(orvane.Map(seed, nodes))
        if best_work is None or w.score() > best_work.score():
            best_seed, best_work = seed, w
    say(f"start: seed {best_seed:08x} of {starts} seeded maps with {nodes} nodes: {best_work}")
    current = orvane.Map(best_seed, nodes).positions.copy()
    current_work = best_work
    best_sites = current.copy()
    tried = built = accepted = 0
    while time.monotonic() - began < seconds:
        heat = max(0.0, 1 - (time.monotonic() - began) / seconds)
        candidate = moved(current, rng, heat)
        tried += 1
        w = evaluate(candidate)
        if w is None:
            continue
        built += 1
        gain = w.score() - current_work.score()
        temperature = 1 + 20 * heat
        if gain >= 0 or rng.random() < math.exp(gain / temperature):
            current, current_work = candidate, w
            accepted += 1
            if w.score() > best_work.score():
                best_sites, best_work = candidate.copy(), w
                say(f"{time.monotonic() - began:7.1f} s  round {tried}: {w}")
    return {
        "seed": best_seed, "sites": best_sites, "work": best_work, "tried": tried, "built": built,
        "accepted": accepted, "seconds": time.monotonic() - began,
    }


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--nodes", type=int, default=200, help="countries per map (default 200)")
    parser.add_argument("--seconds", type=float, default=120, help="time for the search (default 120)")
    parser.add_argument("--starts", type=int, default=200, help="seeded maps to start from (default 200)")
    parser.add_argument("--rng-seed", type=int, default=1, help="seed of the search's own random moves")
    parser.add_argument("--out", default="hardest.sites", help="where to save the hardest sites found")
    parser.add_argument("--quick", action="store_true", help="a short run (40 nodes, 3 seconds) for tests")
    parser.add_argument("--quiet", action="store_true", help="print only the summary")
    args = parser.parse_args(argv)
    if args.quick:
        args.nodes, args.seconds, args.starts = 40, 3, 20
    if not 3 <= args.nodes <= 10000:
        parser.error("--nodes must be from 3 to 10000")
    rng = random.Random(args.rng_seed)
    say = (lambda text: None) if args.quiet else (lambda text: print(text, flush=True))
    found = search(args.nodes, args.seconds, args.starts, rng, say)
    w = found["work"]
    header = (f"hardest of {found['built']} maps built ({found['tried']} tried) in {found['seconds']:.0f} s, "
              f"from seed {found['seed']:08x} with {args.nodes} nodes\n{w}")
    orvane.write_sites(args.out, found["sites"], comment=header)
    # The file read back gives the very map that was measured.
    again = work_of(orvane.Map.from_sites(found["sites"]))
    assert again.score() == w.score(), "the saved sites colour differently"
    print(f"{found['tried']} rounds, {found['built']} maps, {found['accepted']} accepted in "
          f"{found['seconds']:.1f} s; hardest: {w}; saved to {args.out}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
