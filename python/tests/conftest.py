"""Shared pieces of the Python tests: the companion orvane-cli, found through
ORVANE_CLI, and small helpers around it."""

import os
import subprocess
from pathlib import Path

import pytest


def _companion_path():
    path = os.environ.get("ORVANE_CLI")
    if path and Path(path).is_file() and os.access(path, os.X_OK):
        return path
    return None


class Companion:
    """Runs orvane-cli and gives its standard output as text."""

    def __init__(self, path):
        self.path = path

    def run(self, *args, cwd=None):
        done = subprocess.run([self.path, *map(str, args)], capture_output=True, check=False, cwd=cwd)
        if done.returncode != 0:
            raise AssertionError(f"orvane-cli {' '.join(map(str, args))} failed ({done.returncode}): "
                                 f"{done.stderr.decode(errors='replace')}")
        return done.stdout.decode("utf-8")

    def popen(self, *args):
        return subprocess.Popen([self.path, *map(str, args)], stdout=subprocess.PIPE, bufsize=1 << 20)


@pytest.fixture(scope="session")
def companion():
    path = _companion_path()
    if path is None:
        pytest.skip("set ORVANE_CLI to the built orvane-cli to compare with the companion")
    return Companion(path)


def colour_letters(colours):
    """The trace's colour row for a colours array."""
    return "".join(".RGYB*"[c] for c in colours.tolist())
