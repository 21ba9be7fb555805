#!/usr/bin/env bash
# Tests of the Python module on a Debian/Ubuntu machine: installs what it needs
# with apt-get, builds the module and the companion orvane-cli, checks that
# `pip install --no-build-isolation .` works in a fresh venv made with
# --system-site-packages, runs the examples briefly, and runs pytest last
# (its summary line closes the output). Exits non-zero when anything fails.
#
#   bash python/run-tests.sh [PYTEST ARGS...]
#
# Environment: PYTHON (default /usr/bin/python3, Debian's), ORVANE_PYTHON_BUILD
# (build folder, default build/python), ORVANE_CLI (a companion to test
# against instead of the one built here), ORVANE_SKIP_VENV=1 (skip the pip check).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

python=${PYTHON:-/usr/bin/python3}
build=${ORVANE_PYTHON_BUILD:-$root/build/python}
jobs=$(nproc 2>/dev/null || echo 2)
export PYTHONDONTWRITEBYTECODE=1  # no __pycache__ folders in the tree

step() { printf '\n=== %s ===\n' "$*"; }
sudo_if_needed() { if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi; }

install_packages() {
    local wanted=(cmake g++ make python3 python3-dev python3-venv python3-pip-whl python3-setuptools-whl
                  pybind11-dev python3-numpy python3-pytest python3-networkx python3-matplotlib python3-nbformat
                  python3-nbconvert python3-ipykernel)
    local missing=()
    for p in "${wanted[@]}"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
    done
    if [ ${#missing[@]} -gt 0 ]; then
        echo "installing: ${missing[*]}"
        sudo_if_needed apt-get -o DPkg::Lock::Timeout=900 update -qq
        sudo_if_needed env DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=900 install -y -qq \
            --no-install-recommends "${missing[@]}"
    fi
}

step "packages"
install_packages
"$python" --version

step "build: the module and the companion ($build)"
cmake -S python -B "$build" -DPython_EXECUTABLE="$python" >"$build.configure.log" 2>&1 ||
    { cat "$build.configure.log"; exit 1; }
grep -q "orvane Python module: skipped" "$build.configure.log" && { cat "$build.configure.log"; exit 1; }
cmake --build "$build" --target orvane_python orvane-cli -j "$jobs"
# The package folder: BUILD/orvane, or BUILD/project/python/orvane when the
# project's root adds python/ itself. The newest one is the one just built.
module=$(find "$build" -path '*/orvane/_orvane*.so' -printf '%T@ %p\n' | sort -n | tail -n 1 | cut -d' ' -f2-)
[ -n "$module" ] || { echo "the build made no orvane/_orvane*.so"; exit 1; }
module_dir=$(dirname "$(dirname "$module")")
companion=${ORVANE_CLI:-$(find "$build" -type f -name orvane-cli -perm -u+x -print -quit)}
[ -x "$companion" ] || { echo "no orvane-cli was built"; exit 1; }
echo "module: $module_dir/orvane   companion: $companion"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

if [ "${ORVANE_SKIP_VENV:-0}" != 1 ]; then
    step "pip install --no-build-isolation . into a fresh venv"
    "$python" -m venv --system-site-packages "$work/venv"
    ORVANE_PYTHON_BUILD_DIR="$build-wheel" "$work/venv/bin/pip" install --no-build-isolation --no-index \
        --disable-pip-version-check -q "$root"
    (cd "$work" && "$work/venv/bin/python" - <<'EOF'
import orvane
from importlib.metadata import version
assert orvane.__file__.startswith(__import__("sys").prefix), orvane.__file__
assert version("orvane") == orvane.__version__, (version("orvane"), orvane.__version__)
c = orvane.Map("1a2b", 300).colouring()
assert c.run() == 0
print(f"venv: orvane {orvane.__version__} from {orvane.__file__}: Map('1a2b', 300) coloured")
EOF
    )
fi

step "examples (short runs)"
PYTHONPATH="$module_dir" MPLBACKEND=Agg "$python" examples/python/step_and_draw.py --out "$work/step.png" --quiet
PYTHONPATH="$module_dir" MPLBACKEND=Agg "$python" examples/python/scaling.py --quick --out "$work/scaling.svg"
PYTHONPATH="$module_dir" "$python" examples/python/hard_maps.py --quick --quiet --out "$work/hard.sites"
"$companion" colour --sites "$work/hard.sites" --full
# The notebook runs top to bottom in a fresh kernel, in a scratch folder.
cp examples/python/step_and_draw.ipynb "$work/"
(cd "$work" && PYTHONPATH="$module_dir" MPLBACKEND=Agg PYDEVD_DISABLE_FILE_VALIDATION=1 timeout 600 \
    "$python" -m nbconvert --to notebook --execute --ExecutePreprocessor.kernel_name=python3 \
    --output executed.ipynb step_and_draw.ipynb >notebook.log 2>&1) || { cat "$work/notebook.log"; exit 1; }
"$python" - "$work/executed.ipynb" <<'EOF'
import sys
import nbformat
notebook = nbformat.read(sys.argv[1], as_version=4)
nbformat.validate(notebook)
errors = [o for c in notebook.cells if c.cell_type == "code" for o in c.outputs if o.output_type == "error"]
assert not errors, errors
text = "".join(o.get("text", "") for c in notebook.cells if c.cell_type == "code" for o in c.outputs)
assert "planar: True  properly coloured: True" in text, text[-500:]
print(f"notebook: {len(notebook.cells)} cells ran")
EOF

step "pytest"
status=0
ORVANE_CLI="$companion" PYTHONPATH="$module_dir" "$python" -m pytest python/tests -p no:cacheprovider -rs \
    "$@" || status=$?
if [ "$status" -eq 5 ]; then
    echo "pytest collected no tests"
fi
exit "$status"
