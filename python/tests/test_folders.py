"""A run log whose folder cannot be made: the error raised is the one the
making met (a read-only file system, a folder without write permission),
not "No such file or directory" from a look at the folder afterwards."""

import errno
import os
import subprocess

import pytest

import orvane


@pytest.fixture
def locked_folder(tmp_path):
    """A folder nobody may write into, root included, and the error of making one in it."""
    locked = tmp_path / "locked"
    locked.mkdir()
    if os.geteuid() == 0:
        # Permission bits do not stop root: a read-only file system does.
        mounted = subprocess.run(["mount", "-t", "tmpfs", "-o", "ro,size=64k", "orvane-test", str(locked)],
                                 capture_output=True, check=False)
        if mounted.returncode != 0:
            pytest.skip(f"cannot mount a read-only file system here: {mounted.stderr.decode(errors='replace')}")
        yield locked, errno.EROFS
        subprocess.run(["umount", str(locked)], check=True)
    else:
        locked.chmod(0o555)
        yield locked, errno.EACCES
        locked.chmod(0o755)


def test_run_log_folder_that_cannot_be_made_names_the_real_reason(locked_folder):
    locked, expected = locked_folder
    with pytest.raises(OSError) as raised:
        orvane.batch(1, 20, 2, run_log=locked / "logs" / "deeper")
    error = raised.value
    assert error.errno == expected, error
    assert not isinstance(error, FileNotFoundError)
    assert os.strerror(expected) in str(error)
    assert "no map was built" in str(error)
    # The folder that could not be made, the first one missing.
    assert error.filename == str(locked / "logs")
