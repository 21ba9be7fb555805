# Sourced by the Windows scripts: the packages they need and a Wine prefix made
# ready once (64-bit, no Mono or Gecko, Wine draws window frames, no crash
# dialog, Wine's own fonts copied in, "Meiryo UI" mapped to IPAGothic).

orvane_wine_packages=(cmake make googletest g++-mingw-w64-x86-64-posix wine wine64 fonts-wine fonts-ipafont-gothic)

orvane_install() {
    local missing=()
    for p in "$@"; do dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p"); done
    [ ${#missing[@]} -eq 0 ] && return 0
    local sudo=""
    [ "$(id -u)" -eq 0 ] || sudo=sudo
    # Another install running on the machine holds the lock for a while: wait for it.
    $sudo apt-get -o DPkg::Lock::Timeout=900 update -qq
    $sudo env DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=900 install -y -qq \
        --no-install-recommends "${missing[@]}" >/dev/null
}

# orvane_wine_env PREFIX: the environment every Wine call of these scripts uses.
orvane_wine_env() {
    export WINEPREFIX="$1" WINEARCH=win64 WINEDEBUG=-all
    export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
}

# orvane_wine_prefix PREFIX: makes the prefix once; later calls find it ready.
orvane_wine_prefix() {
    orvane_wine_env "$1"
    [ -f "$WINEPREFIX/.orvane-ready" ] && return 0
    mkdir -p "$WINEPREFIX"
    wineboot -i </dev/null >/dev/null 2>&1
    local reg="$WINEPREFIX/orvane.reg"
    printf '%s\r\n' 'REGEDIT4' '' \
        '[HKEY_CURRENT_USER\Software\Wine\X11 Driver]' '"Managed"="N"' '' \
        '[HKEY_CURRENT_USER\Software\Wine\WineDbg]' '"ShowCrashDialog"=dword:00000000' '' \
        '[HKEY_CURRENT_USER\Software\Wine\Fonts\Replacements]' '"Meiryo UI"="IPAGothic"' '' > "$reg"
    wine regedit /S "$reg" </dev/null >/dev/null 2>&1
    local fonts="$WINEPREFIX/drive_c/windows/Fonts"
    mkdir -p "$fonts"
    cp -f /usr/share/wine/fonts/*.ttf "$fonts/" 2>/dev/null || true
    cp -f /usr/share/fonts/opentype/ipafont-gothic/*.ttf "$fonts/" 2>/dev/null || true
    wineserver -w </dev/null
    touch "$WINEPREFIX/.orvane-ready"
}
