# Sourced by scripts/package.sh and scripts/test-release.sh: the release's
# version and names, the DLL rule of the Windows programs and the archive
# writer that gives the same bytes on every run.

# orvane_version: the one version number, project(Orvane VERSION ...).
orvane_version() {
    sed -n 's/^project(Orvane VERSION \([0-9][0-9.]*\)[ )].*/\1/p' CMakeLists.txt
}

# The DLLs that every 64-bit Windows has: a program of the zip may import
# these and nothing else.
orvane_windows_dlls="advapi32.dll comctl32.dll comdlg32.dll gdi32.dll kernel32.dll msvcrt.dll ole32.dll
oleaut32.dll shell32.dll shlwapi.dll user32.dll uxtheme.dll winmm.dll ws2_32.dll"

# orvane_foreign_dlls EXE: prints each DLL that EXE imports beyond Windows'
# own, one a line; fails when objdump cannot read it.
orvane_foreign_dlls() {
    local listing
    listing=$(x86_64-w64-mingw32-objdump -p "$1") || return 2
    printf '%s\n' "$listing" | awk '/DLL Name:/ { print tolower($3) }' | while read -r dll; do
        case " $(echo $orvane_windows_dlls) " in
            *" $dll "*) ;;
            *) echo "$dll" ;;
        esac
    done
}

# orvane_zip FOLDER ARCHIVE: FOLDER's files as a zip whose bytes depend only
# on their names, contents and whether they are executable: entries in
# byte order of their names, times set to SOURCE_DATE_EPOCH (in UTC), no
# owners or extra fields. The entries start with FOLDER's own name.
orvane_zip() {
    local folder parent name archive
    folder=$(cd "$1" && pwd)
    parent=$(dirname "$folder")
    name=$(basename "$folder")
    archive=$(cd "$(dirname "$2")" && pwd)/$(basename "$2")
    find "$folder" -type d -exec chmod 0755 {} +
    find "$folder" -type f ! -perm -u+x -exec chmod 0644 {} +
    find "$folder" -type f -perm -u+x -exec chmod 0755 {} +
    find "$folder" -exec touch -h -d "@$SOURCE_DATE_EPOCH" {} +
    rm -f "$archive"
    (cd "$parent" && find "$name" -type f | LC_ALL=C sort | TZ=UTC zip -q -X -9 -@ "$archive")
}
