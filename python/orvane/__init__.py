"""Orvane: random planar maps and their four-colouring, from Python.

A map is built from a 32-bit seed and a node count N (3..10000) exactly as
the Orvane program and its companion ``orvane-cli`` build it, and coloured by
ring growth and Kempe-chain swaps, one visible phase at a time or in one go::

    import orvane
    m = orvane.Map(0x1a2b, 300)            # or orvane.Map("1a2b", 300)
    c = m.colouring()
    print(c.step())                        # the companion's trace line
    print(c.run())                         # 0: a correct four-colouring
    r = orvane.batch(1, 1000, 100)         # 100 maps from seed 1
    print(r.successes, r.failures, r.failed)
    g = orvane.Map.from_sites([(1000, 1000), (31000, 2000), (16000, 30000), (16000, 12000)])

Maps, colourings and batch runs release the interpreter lock while they work,
so threads colouring different maps, or different colourings of one map, run
in parallel.
"""

from __future__ import annotations

import dataclasses
import os
import re
import shutil
import sys
import tempfile
from typing import Callable, List, Optional, Tuple, Union

import numpy as np

from ._orvane import (  # noqa: F401  (re-exported)
    Colour,
    Colouring,
    ColouringFinishedError,
    Map,
    Phase,
    TraceRecord,
    __version__,
    least_nodes,
    most_batch_maps,
    most_nodes,
    time_limit_ms,
)
from . import _orvane
from . import sites as _sites

__all__ = [
    "Map",
    "Colouring",
    "TraceRecord",
    "Phase",
    "Colour",
    "BatchResult",
    "batch",
    "ColouringFinishedError",
    "read_run_log_failures",
    "write_sites",
    "__version__",
]

def _to_networkx(self):
    """The map as a networkx.Graph: nodes 1..N with attributes ``position``
    (x, y) and ``colour`` (0 none, 1..4; as the map stands), one edge per border.

    Needs networkx (Debian: python3-networkx)."""
    try:
        import networkx
    except ImportError as error:  # pragma: no cover - depends on the machine
        raise ImportError("Map.to_networkx() needs networkx (apt-get install python3-networkx)") from error
    graph = networkx.Graph(seed=self.seed, nodes=self.nodes)
    colours = self.colours.tolist()
    for k, (x, y) in enumerate(self.positions.tolist(), start=1):
        graph.add_node(k, position=(x, y), colour=colours[k - 1])
    graph.add_edges_from(map(tuple, self.borders.tolist()))
    return graph


Map.to_networkx = _to_networkx
Map.from_sites = staticmethod(_sites.from_sites)
Map.from_networkx = staticmethod(_sites.from_networkx)


def write_sites(path: Union[str, os.PathLike], points, comment: Optional[str] = None) -> None:
    """Writes points (an (N, 2) array of whole numbers, or a Map's positions) as
    a sites file: one "x y" a line, country 1 first, after the comment's lines
    as '#' lines. ``orvane-cli colour --sites PATH`` reads it back."""
    array = np.asarray(points.positions if isinstance(points, Map) else points)
    if array.size == 0:
        array = array.reshape(0, 2)
    if array.ndim != 2 or array.shape[1] != 2 or not np.issubdtype(array.dtype, np.integer):
        raise ValueError("points must be whole numbers of shape (N, 2)")
    lines = [f"# {line}" for line in (comment or "").splitlines()]
    lines += [f"{int(x)} {int(y)}" for x, y in array.tolist()]
    with open(path, "w", encoding="ascii", newline="\n") as f:
        f.write("".join(line + "\n" for line in lines))


def _iterate(self, limit: Optional[int] = None):
    """Steps until the colouring finishes, yielding each TraceRecord.

    Single steps have no time limit, so the walk stops after ``limit`` steps
    (default 20 per node + 1000, far beyond any colouring seen)."""
    most = 20 * self.map.nodes + 1000 if limit is None else limit
    taken = 0
    while not self.finished and taken < most:
        taken += 1
        yield self.step()


Colouring.records = _iterate


@dataclasses.dataclass
class BatchResult:
    """What ``batch()`` measured.

    ``failed`` lists (seed, result) for every map that failed, in seed order;
    the times are sums in milliseconds that wrap at 2**32 as the run log's do.
    With ``times=True``, ``results``, ``map_times`` and ``colour_times`` hold
    every map's result and times (numpy arrays, entry i for seed first_seed+i).
    """

    first_seed: int
    nodes: int
    maps: int
    jobs: int
    successes: int
    failures: int
    failed: List[Tuple[int, int]]
    map_ms: int
    colour_ms: int
    elapsed_ms: int
    log_path: Optional[str] = None
    results: Optional[object] = None
    map_times: Optional[object] = None
    colour_times: Optional[object] = None

    @property
    def failed_seeds(self) -> List[int]:
        return [seed for seed, _ in self.failed]

    @property
    def success_rate(self) -> float:
        return self.successes / self.maps if self.maps else 0.0

    @property
    def last_seed(self) -> int:
        return (self.first_seed + self.maps - 1) & 0xFFFFFFFF


_ERROR_LINE = re.compile(rb"^([0-9a-f]{8})\((\d+)\)\t;Error\((-?\d+)\)\r?$", re.MULTILINE)


def read_run_log_failures(path: Union[str, os.PathLike]) -> List[Tuple[int, int]]:
    """The (seed, result) of every error line of a run log, in file order."""
    with open(path, "rb") as f:
        text = f.read()
    return [(int(seed, 16), int(result) & 0xFFFF) for seed, _, result in _ERROR_LINE.findall(text)]


class _ProgressPrinter:
    """The companion's progress line, on sys.stderr."""

    def __init__(self):
        self.shown = False

    def __call__(self, done, total, successes, failures, elapsed_ms):
        stream = sys.stderr
        if stream is None:
            return
        remaining = elapsed_ms * (total - done) // done if done else 0

        def clock(ms):
            s = (ms + 500) // 1000
            return f"{s // 60:02d}:{s % 60:02d}"

        stream.write(f"\r{done}/{total} maps  {successes} ok  {failures} failed  "
                     f"elapsed {clock(elapsed_ms)}  remaining {clock(remaining)} ")
        if done == total:
            stream.write("\n")
        stream.flush()
        self.shown = True


def batch(
    seed: Union[int, str, None],
    nodes: int,
    maps: int,
    jobs: Optional[int] = None,
    progress: Union[bool, Callable[[int, int, int, int, int], None]] = False,
    run_log: Union[str, os.PathLike, None] = None,
    clock_step: Optional[int] = None,
    times: bool = False,
) -> BatchResult:
    """Builds and fully colours ``maps`` consecutive seeds from ``seed`` with
    ``nodes`` nodes each, as the program's batch button and ``orvane-cli batch``
    do, and counts, times and lists the failures.

    seed
        The first seed, as ``Map`` takes it (int, hexadecimal str, or None for the clock).
    nodes, maps
        Clamped as the count fields clamp them: nodes to 3..10000, maps to 1..1000000.
    jobs
        Worker threads, 1..64; None for one per core. The results do not depend on it.
    progress
        True prints the companion's progress line on stderr; a callable is
        called as ``progress(done, total, successes, failures, elapsed_ms)``.
        Either way at most ten times a second and after the last map.
        Ctrl-C (or an exception from the callable) stops the run.
    run_log
        A folder (str, bytes or os.PathLike; its name must be Unicode text,
        without NUL): the run log is written there as the companion's ``--dir``
        writes it, ``Log_YYYY/(N)M_@MMDDhhmmss.txt`` (folders are made if
        missing; a name already taken gets ``_2``, ``_3`` ... as the
        companion's does). None keeps no log. A log that cannot be created
        or written raises OSError.
    clock_step
        For tests, 1..100000: every clock reading moves on by this many
        milliseconds, as ``--clock-step`` does, so the 10-second limit
        strikes after a known number of phases and failures repeat exactly.
    times
        True also returns every map's result and times as numpy arrays. The
        maps then run on the same batch workers without a run log: times=True
        cannot be combined with run_log.

    The interpreter lock is released while the maps run.
    """
    if not isinstance(times, bool):
        raise TypeError("times must be True or False")
    if progress is True:
        reporter = _ProgressPrinter()
    elif progress is False or progress is None:
        reporter = None
    elif callable(progress):
        reporter = progress
    else:
        raise TypeError("progress must be True, False or a callable")
    interval_ms = 200 if progress is True else 100

    if times:
        if run_log is not None:
            raise ValueError("times=True keeps no run log; leave run_log unset (or run a second batch for the log)")
        d = _orvane._colour_maps(seed, nodes, maps, jobs, clock_step, reporter, interval_ms)
        return BatchResult(
            first_seed=d["first_seed"], nodes=d["nodes"], maps=d["maps"], jobs=d["jobs"],
            successes=d["successes"], failures=d["failures"],
            failed=[(int(s), int(r)) for s, r in d["failed"]],
            map_ms=d["map_ms"], colour_ms=d["colour_ms"], elapsed_ms=d["elapsed_ms"],
            results=d["results"], map_times=d["map_times"], colour_times=d["colour_times"],
        )

    # The library's batch run always writes a log: without run_log it goes to
    # a temporary folder that is removed afterwards.
    temporary = None
    if run_log is None:
        temporary = tempfile.mkdtemp(prefix="orvane-batch-")
        folder = temporary
    else:
        folder = run_log  # checked by the module before any folder is made
    try:
        d = _orvane._run_batch(seed, nodes, maps, jobs, folder, clock_step, reporter, interval_ms)
        error = d["log_error"]
        if not d["log_created"]:
            raise OSError(error, f"cannot create the run log: {os.strerror(error) if error else 'no path'}; "
                                 "no map was built", d["log_path"])
        if error:
            raise OSError(error, f"cannot write the run log: {os.strerror(error)}; the run stopped after "
                                 f"{d['maps_done']} of {d['maps']} maps", d["log_path"])
        logged = dict(read_run_log_failures(d["log_path"]))
    finally:
        if temporary is not None:
            shutil.rmtree(temporary, ignore_errors=True)
    failed = []
    for s in d["failed_seeds"]:
        if s not in logged:
            raise RuntimeError(f"the run log has no error line for the failed seed {s:08x}")
        failed.append((s, logged[s]))
    return BatchResult(
        first_seed=d["first_seed"], nodes=d["nodes"], maps=d["maps"], jobs=d["jobs"],
        successes=d["successes"], failures=d["failures"], failed=failed,
        map_ms=d["map_ms"], colour_ms=d["colour_ms"], elapsed_ms=d["elapsed_ms"],
        log_path=None if temporary is not None else d["log_path"],
    )
