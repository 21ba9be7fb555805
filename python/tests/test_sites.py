"""Maps from sites of your own: seeded sites give the seeded map back (export
bytes and trace lines, to 10000 nodes), every refusal is a ValueError naming
its points, real coordinates are fitted into the square without merging any,
and networkx positions become maps."""

import itertools
import math

import numpy as np
import pytest

import orvane


def lockstep_traces_equal(a, b):
    """Steps two colourings together; True when every trace line matches."""
    ca, cb = a.colouring(), b.colouring()
    for ra, rb in itertools.zip_longest(ca.records(), cb.records()):
        if ra is None or rb is None or str(ra) != str(rb):
            return False
    return ca.result == cb.result


@pytest.mark.parametrize("seed,nodes", [(1, 3), (1, 5), ("1a2b", 300), (0xDEADBEEF, 2000), (0x5EED, 10000)])
def test_seeded_sites_give_the_seeded_map(seed, nodes):
    seeded = orvane.Map(seed, nodes)
    given = orvane.Map.from_sites(seeded.positions)
    assert given.nodes == seeded.nodes and given.seed is None
    assert repr(given) == f"orvane.Map.from_sites(<{seeded.nodes} sites>)"
    assert given.export_bytes() == seeded.export_bytes()
    # A list of pairs is as good as the array.
    if nodes <= 300:
        again = orvane.Map.from_sites([tuple(p) for p in seeded.positions.tolist()])
        assert again.export_bytes() == seeded.export_bytes()
    assert lockstep_traces_equal(given, seeded)
    assert given.export_bytes() == seeded.export_bytes()  # coloured alike


def test_the_companion_prints_the_same_sites_and_reads_them_back(companion, tmp_path):
    seeded = orvane.Map("1a2b", 300)
    printed = companion.run("sites", "--seed", "1a2b", "--nodes", "300")
    assert printed == "".join(f"{x} {y}\n" for x, y in seeded.positions.tolist())
    path = tmp_path / "m.sites"
    orvane.write_sites(path, seeded, comment="seed 00001a2b\n300 sites")
    assert path.read_text().startswith("# seed 00001a2b\n# 300 sites\n")
    assert (companion.run("colour", "--sites", path, "--digest").split("\n")[0]
            == companion.run("colour", "--seed", "1a2b", "--nodes", "300", "--digest").split("\n")[0])


def test_a_new_colouring_of_a_sites_map_starts_from_its_sites():
    m = orvane.Map.from_sites([(1000, 1000), (31000, 2000), (16000, 30000), (16000, 12000), (9000, 20000)])
    fresh = m.export_bytes()
    assert m.colouring().run() == 0
    assert m.export_bytes() != fresh
    c = m.colouring()
    assert m.export_bytes() == fresh
    assert m.positions.tolist() == [[1000, 1000], [31000, 2000], [16000, 30000], [16000, 12000], [9000, 20000]]
    assert c.run() == 0


@pytest.mark.parametrize("points,message", [
    ([], "a map needs at least 3 sites; there are none"),
    ([(1, 2), (3, 4)], "a map needs at least 3 sites; there are only 2: points[0] (1, 2), points[1] (3, 4)"),
    ([(0, 0), (5, 9), (40000, 3)], "points[2] (40000, 3) lies outside the map's square: coordinates run from 0 to 32767"),
    ([(0, 0), (5, -1), (7, 7)], "points[1] (5, -1) lies outside the map's square"),
    ([(0, 0), (2**40, 1), (3, 3)], "points[1] (1099511627776, 1) lies outside the map's square"),
    ([(0, 0), (10, 0), (5, 5), (10, 0)], "points[3] (10, 0) is the same site as points[1]"),
    ([(0, 0), (10, 10), (20, 20), (5, 5)],
     "all 4 sites lie on one line (through points[0] (0, 0) and points[1] (10, 10)); a map needs a site off it"),
    ([(0, 19688), (1, 18018), (2, 1538), (32767, 23750), (2, 1756)],
     "seen from points[0] (0, 19688), points[2] (2, 1538) and points[4] (2, 1756) lie in directions too close"),
    ([(0.5, 1), (2, 3), (4, 4)], "points[0] (0.5, 1) is not a pair of whole numbers; pass fit=True"),
])
def test_sites_that_give_no_map_raise_value_error_naming_them(points, message):
    with pytest.raises(ValueError) as error:
        orvane.Map.from_sites(points)
    assert message in str(error.value)


def test_more_than_ten_thousand_sites_are_refused():
    many = np.array([(i % 101 * 300, i // 101 * 300) for i in range(10001)], dtype=np.int64)
    with pytest.raises(ValueError, match=r"at most 10000 sites; there are 10001 \(the first one too many is "
                                         r"points\[10000\] \(300, 29700\)\)"):
        orvane.Map.from_sites(many)


def test_arguments_of_the_wrong_kind():
    for bad in ["abc", [("a", "b")], np.ones((3, 2), dtype=bool), [{1: 2}]]:
        with pytest.raises(TypeError):
            orvane.Map.from_sites(bad)
    for bad in [[1, 2, 3], np.zeros((3, 3)), np.zeros((2, 3, 2))]:
        with pytest.raises(ValueError, match="shape"):
            orvane.Map.from_sites(bad)
    with pytest.raises(TypeError, match="fit"):
        orvane.Map.from_sites([(0, 0), (1, 0), (0, 1)], fit=1)
    with pytest.raises(TypeError, match="int32"):
        orvane._orvane._map_from_sites(np.zeros((3, 2), dtype=np.int64))


def test_fit_scales_real_points_into_the_square_keeping_the_aspect_ratio():
    # 4 wide and 2 high: x spans the square, y is centred.
    m = orvane.Map.from_sites([(-1.0, 10.0), (3.0, 10.0), (1.0, 12.0), (1.0, 11.0)], fit=True)
    assert m.positions.tolist() == [[0, 8192], [32767, 8192], [16384, 24575], [16384, 16384]]
    # Points the rounding would merge are an error, never merged.
    with pytest.raises(ValueError, match=r"rounding to the map's grid merges points\[0\] \(0.0, 0.0\) and "
                                         r"points\[2\] \(1e-07, 0.0\) into one site \(0, \d+\)"):
        orvane.Map.from_sites([(0, 0), (1, 1), (1e-7, 0)], fit=True)
    with pytest.raises(ValueError, match=r"points\[1\] \(nan, 1.0\) is not a finite point"):
        orvane.Map.from_sites([(0, 0), (math.nan, 1), (2, 2)], fit=True)
    # The same point twice is the library's duplicate, named as given.
    with pytest.raises(ValueError, match=r"points\[2\] \(\d+, \d+\) is the same site as points\[0\]"):
        orvane.Map.from_sites([(0.5, 0.5), (3, 1), (0.5, 0.5)], fit=True)


def test_a_networkx_graph_becomes_the_map_of_its_positions():
    networkx = pytest.importorskip("networkx")
    g = networkx.Graph()
    g.add_node("a", pos=(0.0, 0.0))
    g.add_node("b", pos=(2.0, 0.0))
    g.add_node("c", pos=(1.0, 2.0))
    g.add_node("d", pos=(1.0, 0.5))
    m = orvane.Map.from_networkx(g)
    # y upwards in networkx, downwards in the map: "c" is at the top.
    assert m.positions.tolist() == [[0, 32767], [32767, 32767], [16384, 0], [16384, 24575]]
    assert m.colouring().run() == 0
    flat = orvane.Map.from_networkx(g, flip_y=False)
    assert flat.positions[2].tolist() == [16384, 32767]
    layout = {n: g.nodes[n]["pos"] for n in g.nodes}
    assert orvane.Map.from_networkx(g, pos=layout).positions.tolist() == m.positions.tolist()
    g.add_node("e")
    with pytest.raises(ValueError, match="node 'e' has no position as its 'pos' attribute"):
        orvane.Map.from_networkx(g)
    g.nodes["e"]["pos"] = (1.0, 2.0)
    with pytest.raises(ValueError, match=r"node 'e' \(16384, 0\) is the same site as node 'c'"):
        orvane.Map.from_networkx(g)
