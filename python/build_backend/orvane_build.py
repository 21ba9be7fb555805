"""The build backend of the orvane Python package (PEP 517).

It needs nothing beyond the standard library, CMake, a C++20 compiler and
Debian's python3-dev and pybind11-dev, so that

    pip install --no-build-isolation .

works without a package index. The wheel is built by CMake from python/ (which
pulls in the library from the project's root) into a temporary folder, or into
the folder given as ``--config-settings build-dir=DIR`` or by the environment
variable ORVANE_PYTHON_BUILD_DIR, which keeps it for the next build.
"""

from __future__ import annotations

import base64
import hashlib
import io
import os
import re
import shutil
import subprocess
import sys
import sysconfig
import tarfile
import tempfile
import zipfile
from pathlib import Path

ROOT = Path(__file__).resolve().parents[2]
PYTHON_DIR = ROOT / "python"
NAME = "orvane"


def _version() -> str:
    """The release's version: project(Orvane VERSION ...) in the top CMakeLists.txt,
    where the library's header and orvane-cli take it from too."""
    text = (ROOT / "CMakeLists.txt").read_text(encoding="utf-8")
    found = re.search(r"^\s*project\(\s*Orvane\s+VERSION\s+([0-9]+(?:\.[0-9]+)*)[\s)]", text, re.MULTILINE)
    if not found:
        raise RuntimeError("CMakeLists.txt names no project(Orvane VERSION ...)")
    return found.group(1)


def _project() -> dict:
    try:
        import tomllib
    except ImportError:  # Python before 3.11: the few fields needed, read plainly
        return {}
    with open(ROOT / "pyproject.toml", "rb") as f:
        return tomllib.load(f).get("project", {})


def _metadata() -> str:
    project = _project()
    lines = [
        "Metadata-Version: 2.1",
        f"Name: {NAME}",
        f"Version: {_version()}",
        f"Summary: {project.get('description', 'Random planar maps and their four-colouring')}",
    ]
    if "requires-python" in project:
        lines.append(f"Requires-Python: {project['requires-python']}")
    for requirement in project.get("dependencies", ["numpy"]):
        lines.append(f"Requires-Dist: {requirement}")
    for extra, requirements in project.get("optional-dependencies", {}).items():
        lines.append(f"Provides-Extra: {extra}")
        for requirement in requirements:
            lines.append(f'Requires-Dist: {requirement}; extra == "{extra}"')
    return "\n".join(lines) + "\n"


def _tag() -> str:
    interpreter = f"cp{sys.version_info.major}{sys.version_info.minor}"
    abi = interpreter + ("d" if hasattr(sys, "gettotalrefcount") else "")
    platform = re.sub(r"[-.]", "_", sysconfig.get_platform())
    return f"{interpreter}-{abi}-{platform}"


def _dist_info() -> str:
    return f"{NAME}-{_version()}.dist-info"


def _write_dist_info(directory: Path) -> None:
    directory.mkdir(parents=True, exist_ok=True)
    (directory / "METADATA").write_text(_metadata(), encoding="utf-8")
    (directory / "WHEEL").write_text(
        "Wheel-Version: 1.0\nGenerator: orvane_build\nRoot-Is-Purelib: false\n" f"Tag: {_tag()}\n",
        encoding="utf-8",
    )


def _build_module(build_dir: Path) -> Path:
    """Builds the module and gives its file."""
    cmake = shutil.which("cmake")
    if not cmake:
        raise RuntimeError("building orvane needs CMake (apt-get install cmake)")
    # A wheel is a release file: an optimised, stripped module whose bytes do
    # not depend on the folders it was built in.
    configure = [
        cmake, "-S", str(PYTHON_DIR), "-B", str(build_dir),
        f"-DPython_EXECUTABLE={sys.executable}",
        "-DCMAKE_BUILD_TYPE=" + os.environ.get("ORVANE_BUILD_TYPE", "Release"),
        "-DORVANE_REPRODUCIBLE=ON",
    ]
    subprocess.run(configure, check=True, stdout=sys.stderr)
    jobs = str(os.cpu_count() or 1)
    subprocess.run([cmake, "--build", str(build_dir), "--target", "orvane_python", "-j", jobs],
                   check=True, stdout=sys.stderr)
    suffix = sysconfig.get_config_var("EXT_SUFFIX") or ".so"
    found = sorted(build_dir.glob(f"**/orvane/_orvane{suffix}"), key=lambda p: p.stat().st_mtime)
    if not found:
        raise RuntimeError(
            f"the build made no orvane/_orvane{suffix} in {build_dir}: are python3-dev and pybind11-dev installed?")
    return found[-1]


def _record_line(name: str, data: bytes) -> str:
    digest = base64.urlsafe_b64encode(hashlib.sha256(data).digest()).rstrip(b"=").decode("ascii")
    return f"{name},sha256={digest},{len(data)}"


def get_requires_for_build_wheel(config_settings=None):
    return []


def get_requires_for_build_sdist(config_settings=None):
    return []


def prepare_metadata_for_build_wheel(metadata_directory, config_settings=None):
    _write_dist_info(Path(metadata_directory) / _dist_info())
    return _dist_info()


def build_wheel(wheel_directory, config_settings=None, metadata_directory=None):
    settings = config_settings or {}
    chosen = settings.get("build-dir") or os.environ.get("ORVANE_PYTHON_BUILD_DIR")
    temporary = None if chosen else tempfile.mkdtemp(prefix="orvane-wheel-")
    try:
        build_dir = Path(chosen or temporary).resolve()
        module = _build_module(build_dir)
        files = {f"{NAME}/{source.name}": source.read_bytes()
                 for source in sorted((PYTHON_DIR / NAME).glob("*.py"))}
        files[f"{NAME}/{module.name}"] = module.read_bytes()
    finally:
        if temporary:
            shutil.rmtree(temporary, ignore_errors=True)

    with tempfile.TemporaryDirectory() as scratch:
        info = Path(scratch) / _dist_info()
        _write_dist_info(info)
        for name in ("METADATA", "WHEEL"):
            files[f"{_dist_info()}/{name}"] = (info / name).read_bytes()
    record_name = f"{_dist_info()}/RECORD"
    record = [_record_line(name, data) for name, data in files.items()] + [f"{record_name},,"]
    files[record_name] = ("\n".join(record) + "\n").encode("utf-8")

    wheel_name = f"{NAME}-{_version()}-{_tag()}.whl"
    with zipfile.ZipFile(Path(wheel_directory) / wheel_name, "w", zipfile.ZIP_DEFLATED) as wheel:
        for name, data in files.items():
            entry = zipfile.ZipInfo(name, date_time=(1980, 1, 1, 0, 0, 0))
            entry.external_attr = (0o755 if name.endswith(module.suffix) else 0o644) << 16
            entry.compress_type = zipfile.ZIP_DEFLATED
            wheel.writestr(entry, data)
    return wheel_name


# What an sdist carries: the library's sources and the package's.
_SDIST_TOP = ["CMakeLists.txt", "CMakePresets.json", "README.md", "pyproject.toml"]
_SDIST_FOLDERS = ["cmake", "include", "text", "map", "engine", "platform", "runs", "ui", "cli", "app", "python"]
_SDIST_SKIP = re.compile(r"(^|/)(__pycache__|\.pytest_cache|build)(/|$)|\.pyc$")


def build_sdist(sdist_directory, config_settings=None):
    base = f"{NAME}-{_version()}"
    names = [name for name in _SDIST_TOP if (ROOT / name).is_file()]
    for folder in _SDIST_FOLDERS:
        for path in sorted((ROOT / folder).rglob("*")):
            relative = path.relative_to(ROOT).as_posix()
            if path.is_file() and not _SDIST_SKIP.search(relative):
                names.append(relative)
    archive = f"{base}.tar.gz"
    with tarfile.open(Path(sdist_directory) / archive, "w:gz", format=tarfile.PAX_FORMAT) as tar:
        for name in names:
            tar.add(ROOT / name, arcname=f"{base}/{name}", recursive=False)
        info = tarfile.TarInfo(f"{base}/PKG-INFO")
        data = _metadata().encode("utf-8")
        info.size = len(data)
        tar.addfile(info, io.BytesIO(data))
    return archive
