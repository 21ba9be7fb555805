#!/usr/bin/env bash
# Builds Orvane.exe with MinGW-w64 and starts it under Wine (Debian/Ubuntu).
# Installs what it needs, prepares a Wine prefix once (Japanese font mapping
# included) and runs the program from its own folder, where its settings file,
# Export and Log_YYYY folders are kept.
#   ORVANE_WINEPREFIX  the Wine prefix (default ~/.local/share/orvane/wine)
#   ORVANE_HOME        the program's folder (default ~/.local/share/orvane/app)
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/wine-prefix.sh

orvane_install "${orvane_wine_packages[@]}" locales
# With the Japanese locale the run log is written in code page 932.
lang=C.UTF-8
if locale -a 2>/dev/null | grep -qi '^ja_JP\.utf-\?8$'; then
    lang=ja_JP.UTF-8
elif [ "$(id -u)" -eq 0 ] && localedef -i ja_JP -f UTF-8 ja_JP.UTF-8 2>/dev/null; then
    lang=ja_JP.UTF-8
fi

cmake --preset mingw >/dev/null
cmake --build --preset mingw -j "$(nproc)" --target orvane

data=${XDG_DATA_HOME:-$HOME/.local/share}/orvane
prefix=${ORVANE_WINEPREFIX:-$data/wine}
home=${ORVANE_HOME:-$data/app}
[ -f "$prefix/.orvane-ready" ] || echo "preparing the Wine prefix $prefix (once)"
orvane_wine_prefix "$prefix"
mkdir -p "$home"
cp -f build/mingw/app/Orvane.exe "$home/"

if [ -z "${DISPLAY:-}" ]; then
    echo "run.sh: no X display (DISPLAY is empty); Orvane.exe is in $home" >&2
    exit 1
fi
cd "$home"
LANG=$lang LC_ALL=$lang exec wine Orvane.exe </dev/null
