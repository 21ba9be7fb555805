"""Threads: maps coloured at once give what they give one after the other,
one colouring stepped from two threads stays whole, and the interpreter lock
is free while the library works."""

import threading
import time

import pytest

import orvane

MAPS = [(0x1A2B, 4000), (0xBEEF, 4000), (7, 2500), (0xFFFFFFFF, 6000)]


def colour(seed, nodes):
    m = orvane.Map(seed, nodes)
    c = m.colouring()
    lines = [str(r) for r in c.records()]
    again = m.colouring()
    return lines, again.run(), again.colours.tolist(), m.export_text()


def run_in_threads(jobs):
    results = [None] * len(jobs)
    errors = []
    start = threading.Barrier(len(jobs))

    def work(i, job):
        try:
            start.wait()
            results[i] = job()
        except BaseException as error:  # handed to the test below
            errors.append(error)

    threads = [threading.Thread(target=work, args=(i, job)) for i, job in enumerate(jobs)]
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    if errors:
        raise errors[0]
    return results


def test_maps_coloured_at_once_give_the_sequential_results():
    sequential = [colour(*m) for m in MAPS]
    at_once = run_in_threads([lambda m=m: colour(*m) for m in MAPS])
    assert at_once == sequential
    assert all(result == 0 for _, result, _, _ in sequential)


def test_batches_at_once_give_the_sequential_results():
    def job(seed):
        r = orvane.batch(seed, 400, 40, jobs=1, clock_step=7)
        return r.successes, r.failed, r.map_ms, r.colour_ms

    sequential = [job(s) for s in (1, 100)]
    assert run_in_threads([lambda s=s: job(s) for s in (1, 100)]) == sequential


def test_one_colouring_stepped_from_two_threads_stays_whole():
    expected = [str(r) for r in orvane.Map(0x1A2B, 1500).colouring().records()]
    c = orvane.Map(0x1A2B, 1500).colouring()
    records = [[], []]

    def stepper(mine):
        while True:
            try:
                mine.append(str(c.step()))
            except orvane.ColouringFinishedError:
                return

    run_in_threads([lambda r=r: stepper(r) for r in records])
    merged = sorted(records[0] + records[1], key=lambda line: int(line.split()[1]))
    assert merged == expected


def test_the_interpreter_runs_while_a_batch_works():
    done = threading.Event()
    result = []

    def work():
        # Batches for half a second at least, however fast one batch is.
        started = time.perf_counter()
        while time.perf_counter() - started < 0.5:
            result.append(orvane.batch(1, 10000, 8, jobs=1))
        done.set()

    thread = threading.Thread(target=work)
    ticks = 0
    thread.start()
    while not done.is_set():
        ticks += 1
        time.sleep(0)
    thread.join()
    assert result and all(r.maps == 8 for r in result)
    # Holding the lock for each batch would have left this loop a handful of
    # turns between batches.
    assert ticks > 1000
