#!/usr/bin/env bash
# Builds the release files of Orvane into dist/ (Debian/Ubuntu, amd64),
# installing what it needs first:
#   Orvane-VERSION-windows-x64.zip  Orvane.exe and orvane-cli.exe (MinGW-w64,
#                                   static: no DLL beyond Windows' own) and a
#                                   read-me in Japanese and English
#   orvane_VERSION_amd64.deb        orvane-cli with its manual page and bash
#                                   completion, the library's headers, static
#                                   libraries and CMake package files (CPack)
#   orvane-VERSION-*.whl            the Python module (pip wheel)
#   orvane-VERSION-web.zip          the browser edition's built folder (the
#                                   `wasm` preset's build/wasm/web/site)
#   SHA256SUMS                      over all of them
#
# Two runs from the same commit give the same bytes, from any folder: dates
# come from SOURCE_DATE_EPOCH (default: the commit's date), build paths are
# mapped out of the objects, archives are sorted and carry no owners.
# The build folders are the presets' (build/mingw, build/package) and
# build/python-wheel, so a run after the tests rebuilds nothing they built.
#
#   scripts/package.sh
# Environment: ORVANE_DIST (default dist/), SOURCE_DATE_EPOCH, PYTHON (default
# /usr/bin/python3, Debian's), ORVANE_WEB_DIR (an already built web folder).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
source scripts/wine-prefix.sh
source scripts/release-common.sh

python=${PYTHON:-/usr/bin/python3}
jobs=$(nproc)
version=$(orvane_version)
[ -n "$version" ] || { echo "package: CMakeLists.txt names no project(Orvane VERSION ...)" >&2; exit 1; }

if [ -z "${SOURCE_DATE_EPOCH:-}" ]; then
    SOURCE_DATE_EPOCH=$(git -C "$root" log -1 --format=%ct 2>/dev/null) || SOURCE_DATE_EPOCH=""
    [ -n "$SOURCE_DATE_EPOCH" ] ||
        { echo "package: not a git checkout: set SOURCE_DATE_EPOCH to the release's time" >&2; exit 1; }
fi
export SOURCE_DATE_EPOCH TZ=UTC LC_ALL=C.UTF-8

# googletest: the mingw preset's tests are configured (not built) with its sources.
orvane_install cmake make g++ zip dpkg-dev file g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 googletest \
    python3-dev python3-pip python3-venv pybind11-dev python3-numpy

# The output folder: new, empty, or the output of an earlier run (whose files
# SHA256SUMS lists); a folder holding anything else is left alone.
dist=${ORVANE_DIST:-$root/dist}
mkdir -p "$dist"
dist=$(cd "$dist" && pwd)
if [ -f "$dist/SHA256SUMS" ]; then
    (cd "$dist" && awk '{ print $2 }' SHA256SUMS | while read -r f; do rm -f -- "$f"; done && rm -f SHA256SUMS)
fi
if [ -n "$(ls -A "$dist")" ]; then
    echo "package: $dist holds files that no earlier run wrote: give an empty folder (ORVANE_DIST)" >&2
    exit 1
fi
stage=$(mktemp -d /tmp/orvane-package.XXXXXX)
trap 'rm -rf "$stage"' EXIT

started=$(date +%s)
step_started=$started
step() {
    printf '\n=== %s ===\n' "$*"
    step_started=$(date +%s)
}
took() { echo "package: $1 took $(($(date +%s) - step_started)) s"; }

echo "package: Orvane $version, SOURCE_DATE_EPOCH=$SOURCE_DATE_EPOCH ($(date -u -d "@$SOURCE_DATE_EPOCH" '+%F %T') UTC)"

# --- the Windows zip: the mingw preset's programs, the ones its tests ran --
step "Windows zip"
cmake --preset mingw >/dev/null
cmake --build --preset mingw -j "$jobs" --target orvane orvane-cli
windows=$stage/windows/Orvane-$version-windows-x64
mkdir -p "$windows"
cp build/mingw/app/Orvane.exe build/mingw/cli/orvane-cli.exe "$windows/"
# strip dates the PE header with SOURCE_DATE_EPOCH.
x86_64-w64-mingw32-strip --strip-all "$windows/Orvane.exe" "$windows/orvane-cli.exe"
for exe in "$windows"/*.exe; do
    foreign=$(orvane_foreign_dlls "$exe")
    if [ -n "$foreign" ]; then
        echo "package: $(basename "$exe") needs DLLs beyond Windows' own: $foreign" >&2
        exit 1
    fi
done
# The read-me as Notepad reads it everywhere: UTF-8 with a byte-order mark, CR LF.
{ printf '\xef\xbb\xbf'; sed -e "s/@VERSION@/$version/g" -e 's/$/\r/' packaging/windows/README.txt; } \
    > "$windows/README.txt"
orvane_zip "$windows" "$dist/Orvane-$version-windows-x64.zip"
took "the Windows zip"

# --- the Debian package -------------------------------------------------------
step "Debian package"
cmake --preset package >/dev/null
cmake --build --preset package -j "$jobs"
cpack --preset deb -B "$stage/deb" >/dev/null
deb=orvane_${version}_$(dpkg --print-architecture).deb
cp "$stage/deb/$deb" "$dist/"
took "the Debian package"

# --- the Python wheel ---------------------------------------------------------
step "Python wheel"
# The build backend keeps its CMake folder here; the Python tests' pip
# install uses the same one.
ORVANE_PYTHON_BUILD_DIR=$root/build/python-wheel "$python" -m pip wheel --no-build-isolation --no-deps --no-index \
    --disable-pip-version-check -q -w "$stage/wheel" "$root"
cp "$stage"/wheel/orvane-"$version"-*.whl "$dist/"
took "the Python wheel"

# --- the web folder -------------------------------------------------------------
step "web folder"
# ORVANE_WEB_DIR names a folder built already (the web tests' build/wasm).
built=${ORVANE_WEB_DIR:-}
if [ -z "$built" ]; then
    command -v emcc >/dev/null || orvane_install emscripten nodejs
    export NODE_PATH=/usr/share/nodejs${NODE_PATH:+:$NODE_PATH}
    cmake --preset wasm >/dev/null
    cmake --build --preset wasm -j "$jobs"
    built=$root/build/wasm/web/site
fi
[ -f "$built/index.html" ] || { echo "package: $built holds no index.html: is it the built web folder?" >&2; exit 1; }
mkdir -p "$stage/web"
cp -r -- "$built" "$stage/web/orvane-$version-web"
orvane_zip "$stage/web/orvane-$version-web" "$dist/orvane-$version-web.zip"
took "the web folder"

# --- checksums ------------------------------------------------------------------
step "SHA256SUMS"
(cd "$dist" && find . -maxdepth 1 -type f ! -name SHA256SUMS -printf '%f\n' | LC_ALL=C sort |
    xargs sha256sum -- > SHA256SUMS)
cat "$dist/SHA256SUMS"
echo
(cd "$dist" && ls -l --time-style=+ -- * | awk '{ printf "%12d  %s\n", $5, $NF }')
echo "package: $dist written in $(($(date +%s) - started)) s"
