"""Colourings from Python: trace records, the engine's state, clocks, the
life of a colouring and of its map, and the errors of misuse."""

import gc
import re
import weakref

import numpy as np
import pytest

import orvane
from conftest import colour_letters

LINE = re.compile(
    r"step (\d+) phase (\d+)->(\d+) result (\d+) colours (\S+) ring (\d+) cand (\d+) arc (\d+),(\d+) "
    r"pivot (\d+) path (\d+),(\d+) cursor (\d+) flag (\d+)$")


def stepping_clock(step_ms, start=0):
    now = [start]

    def clock():
        now[0] += step_ms
        return now[0]

    return clock


def test_records_carry_what_their_lines_say():
    c = orvane.Map(0x1A2B, 300).colouring()
    previous_phase = orvane.Phase.PREPARE
    seen_pivot = False
    for record in c.records():
        fields = LINE.match(str(record))
        assert fields, str(record)
        numbers = [int(fields.group(i)) for i in (1, 2, 3, 4)]
        assert numbers == [record.step, record.phase_before, record.phase_after, record.result]
        assert fields.group(5) == record.colours == colour_letters(c.colours)
        assert [int(fields.group(i)) for i in range(6, 15)] == [
            record.ring, record.candidate, *record.arc, record.pivot, *record.path, record.cursor, record.flag]
        assert record.phase_before == previous_phase
        previous_phase = record.phase_after
        # The state read from the colouring agrees with the record.
        assert c.pivot == record.pivot
        ring = c.ring
        assert (ring[0] if ring else 0) == record.ring
        if record.arc != (0, 0):
            assert (c.arc[0], c.arc[-1]) == (record.arc[1], record.arc[0])
        if record.path[1]:
            assert c.path[0] == record.path[1]
        seen_pivot |= record.pivot != 0
    assert seen_pivot, "this map should need at least one conflict resolution"
    assert record.finished and record.verified and record.phase_after == orvane.Phase.FINISHED
    assert c.result == record.result == 0 and c.steps == record.step


def test_the_ring_is_a_cycle_of_coloured_neighbours():
    m = orvane.Map(9, 400)
    c = m.colouring()
    for _ in range(80):
        c.step()
    ring, colours = c.ring, c.colours
    assert len(ring) >= 3 and len(set(ring)) == len(ring)
    borders = {tuple(b) for b in m.borders.tolist()}
    for a, b in zip(ring, ring[1:] + ring[:1]):
        assert colours[a - 1] != 0
        assert (min(a, b), max(a, b)) in borders


def test_stepping_after_a_run_and_finishing_raise():
    c = orvane.Map(3, 200).colouring()
    for _ in range(10):
        c.step()
    assert not c.finished and c.result is None
    assert c.run() == 0
    assert c.finished and c.phase == orvane.Phase.FINISHED and c.result == 0 and c.steps == 11
    with pytest.raises(orvane.ColouringFinishedError, match="has finished"):
        c.step()
    with pytest.raises(RuntimeError, match="has finished"):
        c.run()
    assert list(c.records()) == []
    assert c.verify() == 0


def test_clear_starts_again_from_an_uncoloured_map():
    c = orvane.Map(3, 200).colouring()
    c.run()
    c.clear()
    assert not c.finished and c.steps == 0 and c.result is None
    assert not c.colours.any() and c.phase == orvane.Phase.PREPARE
    assert c.run() == 0 and c.verify() == 0


def test_a_colouring_outlives_its_map_object():
    m = orvane.Map(0xBEEF, 2000)
    expected = m.colouring().run(), m.export_text()
    c = orvane.Map(0xBEEF, 2000).colouring()
    probe = weakref.ref(c.map)
    gc.collect()
    assert probe() is not None  # the colouring keeps it alive
    for _ in range(5):
        c.step()
    assert c.run() == expected[0]
    assert c.map.export_text() == expected[1]
    assert c.map.seed == 0xBEEF
    del c
    gc.collect()
    assert probe() is None


def test_colourings_of_one_map_are_independent_and_start_from_the_built_map():
    m = orvane.Map(0x1A2B, 300)
    lines = [str(r) for r in m.colouring().records()]
    # Two more, stepped in turn: each gives the trace of one alone.
    first, second = m.colouring(), m.colouring()
    taken = [[], []]
    while not (first.finished and second.finished):
        for c, seen in ((first, taken[0]), (second, taken[1])):
            if not c.finished:
                seen.append(str(c.step()))
    assert taken == [lines, lines]
    # An earlier colouring stays usable after newer ones were made.
    first.clear()
    assert not first.colours.any() and second.colours.all()
    assert [str(r) for r in first.records()] == lines
    # The map shows its newest colouring as it stands.
    assert (m.colours == second.colours).all()


def test_a_clock_that_runs_out_stops_the_run_as_the_batch_does():
    # Every reading moves 200 ms on, so growth stops after about 50 phases and
    # verification names the first uncoloured node, as a batch with the same
    # clock step does.
    c = orvane.Map(1, 300).colouring(clock=stepping_clock(200))
    result = c.run()
    assert result != 0 and c.finished and c.verify() == result
    assert (c.colours == 0).any()
    expected = orvane.batch(1, 300, 1, jobs=1, clock_step=200)
    assert expected.failed == [(1, result)]
    # A slow clock never strikes.
    assert orvane.Map(1, 300).colouring(clock=stepping_clock(1)).run() == 0


def test_the_clock_wraps_at_32_bits():
    c = orvane.Map(1, 300).colouring(clock=stepping_clock(1, start=2**32 - 50))
    assert c.run() == 0
    big = orvane.Map(1, 300).colouring(clock=lambda: 2**70 + 5)
    assert big.run() == 0


def test_clock_errors_are_raised_after_the_step():
    calls = []

    def failing():
        calls.append(1)
        raise ZeroDivisionError("clock broke")

    c = orvane.Map(2, 100).colouring(clock=failing)
    with pytest.raises(ZeroDivisionError, match="clock broke"):
        c.run()
    assert c.finished and c.verify() == c.result  # the run itself ended normally
    assert len(calls) == 1  # a clock that failed is not asked again within the step

    c = orvane.Map(2, 100).colouring(clock=lambda: "noon")
    with pytest.raises(TypeError, match="milliseconds as a number, not str"):
        c.step()
    assert c.steps == 1
    c = orvane.Map(2, 100).colouring(clock=lambda: float("nan"))
    with pytest.raises(ValueError):
        c.run()
    assert orvane.Map(2, 100).colouring(clock=lambda: 12.75).run() == 0


def test_a_clock_that_reads_its_own_map_is_refused_not_deadlocked():
    m = orvane.Map(2, 100)
    c = m.colouring(clock=lambda: int(m.colours.sum()))
    with pytest.raises(RuntimeError, match="map is busy"):
        c.step()
    assert c.steps == 1
    # A clock reading another map is fine.
    other = orvane.Map(3, 10)
    assert m.colouring(clock=lambda: int(other.colours.sum())).run() == 0


def test_colours_arrays_are_copies():
    c = orvane.Map(4, 50).colouring()
    c.run()
    colours = c.colours
    colours[:] = 0
    assert c.colours.all()
    positions = c.map.positions
    positions[:] = -1
    assert c.map.positions.min() >= 0
    assert isinstance(colours, np.ndarray) and colours.dtype == np.int8


def test_phase_and_colour_compare_order_and_convert_as_ints():
    c = orvane.Map(0x1A2B, 300).colouring()
    record = c.step()
    assert orvane.Phase(record.phase_after) == record.phase_after == orvane.Phase.GROW == 1
    assert orvane.Phase(record.phase_after).name == "GROW" and int(orvane.Phase.FINISHED) == 255
    assert orvane.Phase.WALK_PATH <= 5 <= orvane.Phase.SHAKE and {1: "grow"}[orvane.Phase.GROW] == "grow"
    assert [m for m in orvane.Colour.__members__] == ["NONE", "R", "G", "Y", "B", "BLOCKED"]
    assert c.run() == 0
    letters = ".RGYB*"
    assert all(letters[orvane.Colour(int(k))] == letters[k] for k in set(c.colours.tolist()))
    assert set(c.colours.tolist()) <= {orvane.Colour.R, orvane.Colour.G, orvane.Colour.Y, orvane.Colour.B}
