"""Maps as Python sees them: their structure, the graph they give networkx,
and the errors that bad arguments raise."""

import math
import re
from pathlib import Path

import numpy as np
import pytest

import orvane

networkx = pytest.importorskip("networkx")


def cross(o, a, b):
    return (a[0] - o[0]) * (b[1] - o[1]) - (a[1] - o[1]) * (b[0] - o[0])


@pytest.mark.parametrize("seed,nodes", [(1, 3), (1, 4), (7, 100), (0x1A2B, 1000), (0xFFFFFFFF, 10000)])
def test_a_map_is_a_triangulation_with_a_convex_outer_cycle(seed, nodes):
    m = orvane.Map(seed, nodes)
    n = m.nodes
    pos = m.positions
    assert pos.shape == (n, 2) and pos.dtype == np.int32
    assert pos.min() >= 0 and pos.max() <= 32767
    assert len({tuple(p) for p in pos.tolist()}) == n

    borders = m.borders
    assert borders.shape[1] == 2
    assert (borders[:, 0] < borders[:, 1]).all()
    pairs = [tuple(b) for b in borders.tolist()]
    assert pairs == sorted(set(pairs))
    assert borders.min() >= 1 and borders.max() <= n

    outer = m.outer
    assert len(set(outer)) == len(outer) >= 3
    # Euler's formula for a triangulation whose outer face has h corners.
    assert len(pairs) == 3 * n - 3 - len(outer)
    # The outer cycle runs one way round a convex polygon.
    turns = {np.sign(cross(pos[a - 1], pos[b - 1], pos[c - 1]))
             for a, b, c in zip(outer, outer[1:] + outer[:1], outer[2:] + outer[:2])}
    assert turns in ({1}, {-1}, {0, 1}, {0, -1})


@pytest.mark.parametrize("seed,nodes", [(3, 50), (0xBEEF, 2000)])
def test_neighbours_are_the_borders_in_angular_order(seed, nodes):
    m = orvane.Map(seed, nodes)
    pos = m.positions.tolist()
    around = {k: set() for k in range(1, m.nodes + 1)}
    for a, b in m.borders.tolist():
        around[a].add(b)
        around[b].add(a)
    outer = set(m.outer)
    for k in range(1, m.nodes + 1):
        ring = m.neighbours(k)
        assert len(ring) == len(set(ring)) and set(ring) == around[k]
        if k in outer:
            continue  # the ring of an outer node has a gap where the outside is
        # Turning from one neighbour to the next always goes the same way round,
        # and once round in all.
        x, y = pos[k - 1]
        angles = [math.atan2(pos[j - 1][1] - y, pos[j - 1][0] - x) for j in ring]
        steps = [(b - a) % (2 * math.pi) for a, b in zip(angles, angles[1:] + angles[:1])]
        assert math.isclose(sum(steps), 2 * math.pi) or math.isclose(sum(2 * math.pi - s for s in steps), 2 * math.pi)


def test_the_map_as_built_stays_while_it_is_coloured():
    m = orvane.Map(0x1A2B, 400)
    before = (m.positions.copy(), m.borders.copy(), [m.neighbours(k) for k in range(1, 401)], m.outer)
    c = m.colouring()
    for _ in range(60):
        c.step()
    assert np.array_equal(m.positions, before[0]) and np.array_equal(m.borders, before[1])
    assert [m.neighbours(k) for k in range(1, 401)] == before[2] and m.outer == before[3]
    # ...while the export shows it as it stands, set-aside nodes missing.
    assert m.export_text().count("\n") < 400


@pytest.mark.parametrize("seed,nodes", [(1, 3), (11, 200), (0xC0FFEE, 3000)])
def test_to_networkx_is_planar_and_properly_coloured(seed, nodes):
    m = orvane.Map(seed, nodes)
    g = m.to_networkx()
    assert g.number_of_nodes() == m.nodes and g.number_of_edges() == len(m.borders)
    assert networkx.check_planarity(g)[0]
    assert g.nodes[1]["position"] == tuple(m.positions[0].tolist()) and g.nodes[1]["colour"] == 0

    assert m.colouring().run() == 0
    g = m.to_networkx()
    colours = networkx.get_node_attributes(g, "colour")
    assert set(colours.values()) <= {1, 2, 3, 4}
    assert all(colours[a] != colours[b] for a, b in g.edges)


def test_same_seed_in_every_form_gives_the_same_map():
    reference = orvane.Map(0x1A2B, 120)
    for seed in ["1a2b", "0x1A2B", " 00001a2b\t", "+1a2b", np.uint32(0x1A2B), np.int64(0x1A2B)]:
        m = orvane.Map(seed, 120)
        assert m.seed == 0x1A2B
        assert np.array_equal(m.positions, reference.positions)
    assert orvane.Map("ffffffff", 5).seed == 0xFFFFFFFF
    assert orvane.Map("0", 5).seed == 0


def test_node_counts_clamp_to_the_field_range():
    assert [orvane.Map(1, n).nodes for n in (-(2**70), -1, 0, 2, 3)] == [3] * 5
    assert [orvane.Map(1, n).nodes for n in (10000, 10001, 2**70)] == [10000] * 3
    assert orvane.Map(1, np.int16(77)).nodes == 77


def test_no_seed_takes_the_clock():
    assert 0 <= orvane.Map(None, 10).seed <= 0xFFFFFFFF


def test_pictures():
    m = orvane.Map(5, 30)
    svg = m._repr_svg_()
    assert svg.startswith("<?xml") and '<svg xmlns="http://www.w3.org/2000/svg" width="600" height="600"' in svg
    assert 'width="100"' in m.svg(100, 80)
    assert "orvane.Map(0x00000005, 30)" == repr(m)


@pytest.mark.parametrize("seed,error,words", [
    (-1, ValueError, "outside 0..0xffffffff"),
    (2**32, ValueError, "outside 0..0xffffffff"),
    (2**200, ValueError, "outside"),
    ("xyz", ValueError, "not hexadecimal"),
    ("", ValueError, "not hexadecimal"),
    ("0x", ValueError, "not hexadecimal"),
    ("1a 2b", ValueError, "not hexadecimal"),
    ("-1", ValueError, "not hexadecimal"),
    ("100000000", ValueError, "32 bits"),
    ("1a2b\x00", ValueError, "not hexadecimal"),
    ("１２", ValueError, "not hexadecimal"),
    ("\ud800", ValueError, "not hexadecimal"),
    ("1a\udfff", ValueError, "not hexadecimal"),
    (1.0, TypeError, "float"),
    (True, TypeError, "bool"),
    (b"1a2b", TypeError, "bytes"),
    ([1], TypeError, "list"),
])
def test_bad_seeds_raise(seed, error, words):
    with pytest.raises(error, match=words):
        orvane.Map(seed, 10)


@pytest.mark.parametrize("nodes,error", [(2.5, TypeError), ("300", TypeError), (None, TypeError), (False, TypeError)])
def test_bad_node_counts_raise(nodes, error):
    with pytest.raises(error, match="nodes must be an int"):
        orvane.Map(1, nodes)


def test_bad_node_numbers_and_sizes_raise():
    m = orvane.Map(1, 10)
    for k in (0, -1, 11, 2**80):
        with pytest.raises(IndexError, match=r"outside 1\.\.10"):
            m.neighbours(k)
    with pytest.raises(TypeError):
        m.neighbours("1")
    for w, h in ((0, 10), (10, 0), (16385, 10), (-5, 10)):
        with pytest.raises(ValueError, match="must be from 1 to 16384"):
            m.svg(w, h)
    with pytest.raises(TypeError, match="clock must be a callable"):
        m.colouring(clock=5)


def test_help_and_version():
    # The module's version is the CMake project's, the one version of a release.
    cmake = (Path(__file__).resolve().parents[2] / "CMakeLists.txt").read_text(encoding="utf-8")
    assert re.search(r"project\(Orvane VERSION (\S+) ", cmake).group(1) == orvane.__version__
    assert "clamped to 3..10000" in orvane.Map.__doc__
    assert orvane.Map.__module__ == "orvane"
    for method in (orvane.Map.colouring, orvane.Colouring.step, orvane.Colouring.run, orvane.batch):
        assert method.__doc__ and len(method.__doc__) > 40
