"""No order of calls from Python threads may deadlock or crash the module:
many colourings of one shared map at once, Python clocks, reads of the map
as it stands, exports and colourings dropped on other threads. Each scenario
runs in a child interpreter under a timeout, many times over, so that a hang
fails the test (with every thread's stack) instead of hanging pytest."""

import os
import subprocess
import sys
import textwrap

import pytest

TIMEOUT_S = 60


def run_child(body, *args):
    """Runs `body` in a fresh interpreter that imports orvane; a hang dumps
    every thread's stack and ends it."""
    script = textwrap.dedent("""
        import faulthandler, sys, threading
        faulthandler.dump_traceback_later({timeout}, exit=True)
        import orvane

        def in_threads(count, work):
            errors = []
            start = threading.Barrier(count)
            def run(k):
                try:
                    start.wait()
                    work(k)
                except BaseException as error:
                    errors.append(error)
            threads = [threading.Thread(target=run, args=(k,)) for k in range(count)]
            for t in threads:
                t.start()
            for t in threads:
                t.join()
            if errors:
                raise errors[0]
    """).format(timeout=TIMEOUT_S - 10) + textwrap.dedent(body)
    try:
        done = subprocess.run([sys.executable, "-c", script, *map(str, args)], capture_output=True,
                              timeout=TIMEOUT_S, env=os.environ.copy(), check=False)
    except subprocess.TimeoutExpired as error:
        pytest.fail(f"the child hung past {TIMEOUT_S} s: {error.stderr!r}")
    assert done.returncode == 0, (done.returncode, done.stderr.decode(errors="replace")[-3000:])
    return done.stdout.decode()


def test_eight_colourings_of_one_big_map_at_once():
    # The scenario of the report: one 10000-node map shared by eight threads,
    # each making, running and reading a colouring of its own; 25 rounds.
    out = run_child("""
        m = orvane.Map(0x1A2B, 10000)
        expected = orvane.Map(0x1A2B, 10000).colouring()
        assert expected.run() == 0
        expected = bytes(memoryview(expected.colours))
        for _ in range(int(sys.argv[1])):
            results = [None] * 8
            def work(k):
                c = m.colouring()
                results[k] = (c.run(), bytes(memoryview(c.colours)))
            in_threads(8, work)
            assert results == [(0, expected)] * 8
        print("rounds done")
    """, 25)
    assert out == "rounds done\n"


def test_python_clocks_map_reads_exports_and_drops_on_other_threads():
    # Colourings with and without Python clocks, the map's colours, export
    # and picture read while others step, and colourings (and their clocks)
    # dropped by a thread other than the one that made them.
    out = run_child("""
        import queue
        m = orvane.Map(7, 1500)
        reference = [str(r) for r in orvane.Map(7, 1500).colouring().records()][:3]
        handed = queue.Queue()
        def work(k):
            for i in range(int(sys.argv[1])):
                ticks = [0]
                def clock():
                    ticks[0] += 1
                    return ticks[0]
                c = m.colouring(clock=clock if (i + k) % 2 else None)
                del clock
                assert [str(c.step()) for _ in range(3)] == reference
                bytes(memoryview(c.colours)), bytes(memoryview(m.colours))
                if i % 7 == 0:
                    m.export_text(), m.svg(64, 64), repr(c)
                handed.put(c)
                del c
                try:
                    handed.get_nowait()  # dropped here, often made by another thread
                except queue.Empty:
                    pass
        in_threads(8, work)
        print("done")
    """, 150)
    assert out == "done\n"


def test_clocks_that_read_each_others_colourings_never_wait_for_each_other():
    # Each colouring's clock reads the other colouring, of another map,
    # stepped on another thread: a clock may be refused (the colouring is
    # busy) but never waits.
    out = run_child("""
        maps = [orvane.Map(3, 800), orvane.Map(4, 800)]
        others = [None, None]
        refused = [0, 0]
        def work(k):
            ticks = [0]
            def clock():
                ticks[0] += 1
                other = others[1 - k]
                if other is not None:
                    other.colours.sum()
                    maps[1 - k].colours.sum()
                return ticks[0]
            for _ in range(int(sys.argv[1])):
                c = maps[k].colouring(clock=clock)
                others[k] = c
                try:
                    c.run()
                except RuntimeError as error:
                    assert "busy" in str(error), error
                    refused[k] += 1
        in_threads(2, work)
        print("done")
    """, 40)
    assert out == "done\n"


def test_a_batch_progress_call_may_use_colourings_stepped_on_other_threads():
    out = run_child("""
        m = orvane.Map(5, 3000)
        stop = threading.Event()
        def work(k):
            if k == 0:
                seen = []
                r = orvane.batch(1, 400, 60, jobs=2, progress=lambda *a: seen.append(m.colouring().run()))
                stop.set()
                assert r.maps == 60 and seen and set(seen) == {0}
            else:
                while not stop.is_set():
                    c = m.colouring()
                    c.step()
                    m.colours
        in_threads(3, work)
        print("done")
    """)
    assert out == "done\n"
