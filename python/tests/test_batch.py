"""Batch runs from Python against the companion's batch command and run log,
with failures forced by a stepping clock as --clock-step forces them."""

import os
import re
import tempfile
from pathlib import Path

import numpy as np
import pytest

import orvane

# (first seed, nodes, maps, clock step): ranges where some maps beat the
# 10-second limit of the stepping clock and others do not.
MIXED = [
    (1, 300, 60, 27),
    (0xFFFFFFF0, 100, 40, 80),  # the seeds wrap past ffffffff
    (0x1A2B, 1000, 30, 8),
]


def only_log(folder):
    logs = list(Path(folder).glob("Log_*/*.txt"))
    assert len(logs) == 1, logs
    return logs[0]


def companion_batch(companion, folder, seed, nodes, maps, clock_step=None, jobs=2):
    folder.mkdir(parents=True, exist_ok=True)
    args = ["batch", "--seed", f"{seed:x}", "--nodes", nodes, "--maps", maps, "--dir", folder, "--jobs", jobs]
    if clock_step:
        args += ["--clock-step", clock_step]
    companion.run(*args)
    return only_log(folder)


@pytest.mark.parametrize("seed,nodes,maps,clock_step", MIXED)
def test_counts_failures_and_log_equal_the_companions(companion, tmp_path, seed, nodes, maps, clock_step):
    expected_log = companion_batch(companion, tmp_path / "cli", seed, nodes, maps, clock_step)
    expected = orvane.read_run_log_failures(expected_log)
    assert 0 < len(expected) < maps, "the range should mix successes and failures"

    r = orvane.batch(seed, nodes, maps, jobs=2, run_log=tmp_path / "py", clock_step=clock_step)
    assert r.failed == expected
    assert r.failures == len(expected) and r.successes == maps - len(expected)
    assert r.first_seed == seed and r.last_seed == (seed + maps - 1) % 2**32
    # A stepping clock makes the whole log repeatable, times included.
    assert Path(r.log_path).read_bytes() == expected_log.read_bytes()
    assert re.sub(r"@\d+", "@", Path(r.log_path).name) == re.sub(r"@\d+", "@", expected_log.name)


def test_a_batch_on_the_real_clock_equals_the_companions(companion, tmp_path):
    log = companion_batch(companion, tmp_path / "cli", 0x100, 500, 30)
    r = orvane.batch(0x100, 500, 30)
    assert r.failed == orvane.read_run_log_failures(log) == []
    assert (r.successes, r.failures, r.log_path) == (30, 0, None)
    text = log.read_text(encoding="utf-8")
    assert "00000100(500)\t;" in text


@pytest.mark.parametrize("seed,nodes,maps,clock_step", MIXED[:2])
def test_jobs_and_per_map_times_do_not_change_the_results(seed, nodes, maps, clock_step):
    one = orvane.batch(seed, nodes, maps, jobs=1, clock_step=clock_step)
    several = orvane.batch(seed, nodes, maps, jobs=3, clock_step=clock_step)
    timed = orvane.batch(seed, nodes, maps, jobs=2, clock_step=clock_step, times=True)
    for r in (several, timed):
        assert (r.successes, r.failures, r.failed, r.map_ms, r.colour_ms, r.elapsed_ms) == (
            one.successes, one.failures, one.failed, one.map_ms, one.colour_ms, one.elapsed_ms)
    assert timed.results.shape == timed.map_times.shape == timed.colour_times.shape == (maps,)
    assert timed.results.dtype == np.uint16 and timed.map_times.dtype == np.uint32
    assert int(timed.map_times.sum()) % 2**32 == timed.map_ms
    assert int(timed.colour_times.sum()) % 2**32 == timed.colour_ms
    failed_at = np.flatnonzero(timed.results)
    assert [((seed + int(i)) % 2**32, int(timed.results[i])) for i in failed_at] == timed.failed


def test_per_map_times_on_the_real_clock():
    r = orvane.batch(5, 2000, 6, jobs=2, times=True)
    assert r.failures == 0 and r.success_rate == 1.0
    assert (r.colour_times < 10000).all() and r.map_times.sum() == r.map_ms
    assert r.elapsed_ms < 60000


def test_progress_is_reported_in_order_and_ends_with_the_last_map():
    calls = []
    r = orvane.batch(1, 300, 50, jobs=2, clock_step=27, progress=lambda *a: calls.append(a))
    assert calls, "progress was never reported"
    assert calls[-1][:4] == (50, 50, r.successes, r.failures)
    done = [c[0] for c in calls]
    assert done == sorted(done)


def test_progress_line_on_stderr(capsys):
    orvane.batch(1, 50, 5, progress=True)
    err = capsys.readouterr().err
    assert re.search(r"5/5 maps  5 ok  0 failed  elapsed \d\d:\d\d", err)


@pytest.mark.parametrize("times", [False, True])
def test_an_exception_from_progress_stops_the_batch(tmp_path, times):
    calls = []

    def progress(done, total, *_):
        calls.append(done)
        raise KeyboardInterrupt

    with pytest.raises(KeyboardInterrupt):
        orvane.batch(1, 2000, 200, jobs=2, progress=progress, times=times,
                     run_log=None if times else tmp_path)
    assert len(calls) == 1
    if not times:
        # The log is left as a killed run leaves it: finished maps and the one in progress.
        text = only_log(tmp_path).read_text(encoding="utf-8")
        assert "最終地図" in text and "初期地図" not in text


def test_run_logs(tmp_path):
    folder = tmp_path / "made" / "for" / "logs"
    r = orvane.batch("ff", 20, 3, run_log=folder)
    path = Path(r.log_path)
    assert path.parent.parent == folder and re.fullmatch(r"\(20\)3_@\d{10}\.txt", path.name)
    assert path.parent.name.startswith("Log_")
    # The last map's line, then the first seed's (a run without failures).
    assert path.read_text(encoding="utf-8").splitlines()[:2] == ["00000101(20)\t;最終地図", "000000ff(20)\t;初期地図"]

    before = set(os.listdir(tempfile.gettempdir()))
    r = orvane.batch(1, 20, 3, clock_step=1000)
    assert r.log_path is None and r.failures == 3
    assert not [n for n in set(os.listdir(tempfile.gettempdir())) - before if n.startswith("orvane-batch-")]

    blocker = tmp_path / "a-file"
    blocker.write_text("not a folder")
    with pytest.raises(OSError, match="cannot create the run log"):
        orvane.batch(1, 20, 3, run_log=blocker / "logs")


def test_counts_clamp_and_bad_arguments_raise():
    r = orvane.batch(1, 2, 0, jobs=1)
    assert (r.nodes, r.maps) == (3, 1)
    bad = [
        (dict(jobs=0), ValueError, "jobs must be from 1 to 64"),
        (dict(jobs=65), ValueError, "jobs must be from 1 to 64"),
        (dict(jobs=1.5), TypeError, "jobs must be an int"),
        (dict(clock_step=0), ValueError, "clock_step must be from 1 to 100000"),
        (dict(clock_step=100001), ValueError, "clock_step"),
        (dict(times=True, run_log="somewhere"), ValueError, "times=True keeps no run log"),
        (dict(times=1), TypeError, "times must be"),
        (dict(progress="yes"), TypeError, "progress must be"),
        (dict(run_log=""), ValueError, "run_log must name a folder"),
    ]
    for kwargs, error, words in bad:
        with pytest.raises(error, match=words):
            orvane.batch(1, 10, 2, **kwargs)
    for seed in (-1, 2**32, "zz", 1.5):
        with pytest.raises((TypeError, ValueError)):
            orvane.batch(seed, 10, 2)
    with pytest.raises(TypeError, match="maps must be an int"):
        orvane.batch(1, 10, "2")


def test_run_log_takes_paths_as_python_does_and_refuses_names_it_cannot_keep(tmp_path, monkeypatch):
    # bytes and os.PathLike name the same folder as str.
    for given in (os.fsencode(tmp_path / "as-bytes"), tmp_path / "as-path", str(tmp_path / "as-str")):
        r = orvane.batch(1, 20, 2, run_log=given)
        assert Path(r.log_path).parent.parent == Path(os.fsdecode(given)), r.log_path
    # A NUL, or a name that is not Unicode text (the library's file names
    # are), is refused before any folder is made, naming the argument.
    monkeypatch.chdir(tmp_path)
    for given, words in ((b"d\xff", "run_log b'd.xff' is not UTF-8"), ("d\udcff", "lone surrogate"),
                         ("logs\0x", "NUL"), (b"logs\0x", "NUL"), (Path("logs\0x"), "NUL")):
        with pytest.raises(ValueError, match=words):
            orvane.batch(1, 20, 2, run_log=given)
    assert sorted(os.listdir(tmp_path)) == ["as-bytes", "as-path", "as-str"]
    with pytest.raises(TypeError, match=r"run_log must be a folder's path \(str, bytes or os.PathLike\), not int"):
        orvane.batch(1, 20, 2, run_log=3)
