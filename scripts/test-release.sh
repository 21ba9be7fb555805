#!/usr/bin/env bash
# Tries each release file that scripts/package.sh wrote, as a user gets it:
# installed, not as built.
#   - the Windows zip, unpacked into an empty folder: its programs import no
#     DLL beyond Windows' own; orvane-cli.exe prints the companion's lines
#     under Wine in a fresh prefix; Orvane.exe passes the end-to-end window
#     test (scripts/e2e.sh) from that folder;
#   - the Debian package: lintian reports no error; installed with dpkg -i,
#     orvane-cli --version, its manual page and its completion work, the
#     consumer example builds against it with find_package(Orvane) (and
#     against an unpacked copy elsewhere); dpkg -r removes every file;
#   - the wheel, installed into a fresh virtual environment, runs the README's
#     Python example and gives the companion's trace line;
#   - the web zip, unpacked into an empty folder and served from there: the
#     page loads in headless Chromium with no request elsewhere, paints,
#     colours and exports the companion's bytes (web/tests/page.test.mjs);
#   - a second packaging run, from a copy of the tree in another folder with
#     build folders of its own, gives the same SHA256SUMS.
# Ends with "release: N passed, N failed"; exits non-zero on any failure.
#
#   scripts/test-release.sh [DIST]      (default dist/)
# Environment: ORVANE_REPRODUCE=0 leaves out the second packaging run.
# It installs and removes the package `orvane` (root or sudo needed).
set -uo pipefail
cd "$(dirname "$0")/.."
root=$PWD
source scripts/wine-prefix.sh
source scripts/release-common.sh

web_tools=(chromium)
command -v node >/dev/null || web_tools+=(nodejs)
command -v npm >/dev/null || web_tools+=(npm)
orvane_install "${orvane_wine_packages[@]}" lintian man-db unzip zip python3-venv python3-pip-whl \
    python3-setuptools-whl python3-numpy binutils-mingw-w64-x86-64 libimage-exiftool-perl "${web_tools[@]}"
sudo=""
[ "$(id -u)" -eq 0 ] || sudo=sudo

python=${PYTHON:-/usr/bin/python3}
version=$(orvane_version)
dist=$(cd "${1:-$root/dist}" && pwd) || exit 1
epoch=${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct 2>/dev/null)}
work=$(mktemp -d /tmp/orvane-release.XXXXXX)
started=$(date +%s)

. "$root/scripts/checks.sh"
equal() { [ "$1" = "$2" ] || { echo "     got:      $1"; echo "     expected: $2"; return 1; }; }
section() { printf '\n--- %s\n' "$*"; }

installed_here=0
cleanup() {
    [ -n "${WINEPREFIX:-}" ] && wineserver -k 2>/dev/null
    [ "$installed_here" = 1 ] && $sudo dpkg -r orvane >/dev/null 2>&1
    rm -rf "$work"
}
trap cleanup EXIT

zip_file=$dist/Orvane-$version-windows-x64.zip
deb_file=$dist/orvane_${version}_$(dpkg --print-architecture).deb
wheel_file=$(ls "$dist"/orvane-"$version"-*.whl 2>/dev/null | head -n 1)
web_file=$dist/orvane-$version-web.zip
for f in "$zip_file" "$deb_file" "$wheel_file" "$web_file" "$dist/SHA256SUMS"; do
    [ -f "$f" ] || { echo "release: ${f:-the wheel} is missing: run scripts/package.sh first"; exit 1; }
done

# The companion as released, unpacked from the package without installing
# it: the reference for the other files' lines.
mkdir -p "$work/unpacked"
dpkg-deb -x "$deb_file" "$work/unpacked"
companion=$work/unpacked/usr/bin/orvane-cli

# The recorded step-trace digest of (seed, nodes), as every build must give it.
recorded_digest() { awk -v s="$1" -v n="$2" '$1 == s && $2 == n { print $5 }' tests/data/crossplatform_digests.txt; }
digest_of() { "$@" | tr -d '\r' | awk '/^digest / { print $2 }'; }
# The README's own line for `orvane-cli map --seed 1 --nodes 5`.
readme_map_line=$(grep -A1 -F '$ orvane-cli map --seed 1 --nodes 5' README.md | tail -n 1 | sed 's/^ *//')

check "SHA256SUMS matches the files" bash -c 'cd "$1" && sha256sum --quiet -c SHA256SUMS' _ "$dist"

# --- the Windows zip --------------------------------------------------------------
section "$(basename "$zip_file") ($(stat -c %s "$zip_file") bytes)"
mkdir -p "$work/zip"
unzip -q "$zip_file" -d "$work/zip"
folder=$work/zip/Orvane-$version-windows-x64
check "the zip holds one folder with Orvane.exe, orvane-cli.exe and README.txt" \
    equal "$(cd "$work/zip" && find . -type f | LC_ALL=C sort | tr '\n' ' ')" \
    "./Orvane-$version-windows-x64/Orvane.exe ./Orvane-$version-windows-x64/README.txt ./Orvane-$version-windows-x64/orvane-cli.exe "
for exe in Orvane.exe orvane-cli.exe; do
    imports=$(x86_64-w64-mingw32-objdump -p "$folder/$exe" | awk '/DLL Name:/ { printf "%s ", $3 }')
    echo "     $exe imports: $imports"
    check "$exe imports no DLL beyond Windows' own" equal "$(orvane_foreign_dlls "$folder/$exe")" ""
    check "$exe carries the version $version in its properties" \
        equal "$(exiftool -s3 -FileVersionNumber -ProductVersion -OriginalFileName -ProductName "$folder/$exe" | tr '\n' ' ')" \
        "$version.0 $version $exe Orvane "
done
readme_bytes() { head -c 3 "$folder/README.txt" | od -An -tx1 | tr -d ' '; }
check "README.txt is UTF-8 with a byte-order mark" equal "$(readme_bytes)" "efbbbf"
check "README.txt ends every line with CR LF" equal "$(grep -c $'\r$' "$folder/README.txt")" "$(wc -l <"$folder/README.txt")"
check "README.txt is in Japanese and English and names the version" \
    bash -c 'grep -q "使い方" "$1" && grep -q "How to use it" "$1" && grep -qF "Orvane $2 " "$1"' _ "$folder/README.txt" "$version"

echo "     a fresh Wine prefix"
orvane_wine_prefix "$work/wine"
wine_cli() { (cd "$folder" && wine orvane-cli.exe "$@" </dev/null 2>/dev/null | tr -d '\r'); }
check "orvane-cli.exe map --seed 1 --nodes 5 prints the README's line" \
    equal "$(wine_cli map --seed 1 --nodes 5)" "$readme_map_line"
check "orvane-cli.exe --version names $version" equal "$(wine_cli --version)" "orvane-cli $version"
check "orvane-cli.exe gives the recorded trace digest of 00001a2b with 60 nodes" \
    equal "$(digest_of wine_cli colour --seed 1a2b --nodes 60 --digest)" "$(recorded_digest 00001a2b 60)"
wine_cli batch --seed 1 --nodes 5 --maps 2 --dir "$work/ログ" >/dev/null
check "orvane-cli.exe writes its run log under a folder with a Japanese name" \
    bash -c 'compgen -G "$1/Log_*/(5)2_@*.txt" >/dev/null' _ "$work/ログ"
wineserver -k 2>/dev/null
unset WINEPREFIX

echo "     the end-to-end window test on the unpacked Orvane.exe"
ORVANE_CLI=$companion bash scripts/e2e.sh "$folder/Orvane.exe" >"$work/e2e.log" 2>&1
e2e_status=$?
grep -E '^(FAIL|e2e:)' "$work/e2e.log" | sed 's/^/     /'
check "Orvane.exe from the zip passes the end-to-end window test" test "$e2e_status" -eq 0

# --- the Debian package -------------------------------------------------------------
section "$(basename "$deb_file") ($(stat -c %s "$deb_file") bytes)"
lintian --info "$deb_file" >"$work/lintian.txt" 2>&1
grep -v -e '^N:' -e 'running with root privileges' "$work/lintian.txt" | sed 's/^/     lintian: /'
check "lintian reports no error" equal "$(grep -c '^E:' "$work/lintian.txt")" 0

if dpkg-query -W -f='${Status}' orvane 2>/dev/null | grep -q 'ok installed'; then
    echo "     removing the orvane package installed before this test"
    $sudo dpkg -r orvane >/dev/null
fi
# Every path of the package, and whether it was there before.
dpkg-deb -c "$deb_file" | awk '{ print substr($6, 2) }' | sed 's|/$||' | grep -v '^$' >"$work/paths.txt"
while read -r path; do [ -e "$path" ] && echo "$path"; done <"$work/paths.txt" >"$work/before.txt"
$sudo dpkg -i "$deb_file" >"$work/dpkg.log" 2>&1 && installed_here=1
check "dpkg -i installs it" test "$installed_here" -eq 1 || cat "$work/dpkg.log"
check "orvane-cli is /usr/bin/orvane-cli" equal "$(command -v orvane-cli)" /usr/bin/orvane-cli
check "orvane-cli --version names $version" equal "$(orvane-cli --version)" "orvane-cli $version"
check "orvane-cli map --seed 1 --nodes 5 prints the README's line" \
    equal "$(orvane-cli map --seed 1 --nodes 5)" "$readme_map_line"
# A small map and the largest one whose step trace is recorded.
while read -r seed nodes; do
    check "orvane-cli gives the recorded trace digest of $seed with $nodes nodes" \
        equal "$(digest_of orvane-cli colour --seed "$seed" --nodes "$nodes" --digest)" "$(recorded_digest "$seed" "$nodes")"
done < <(echo "00001a2b 60"; awk '!/^#/ && $2 <= 2500 && $5 != "0000000000000000" && $2 > n { n = $2; c = $1 " " $2 }
    END { print c }' tests/data/crossplatform_digests.txt)
check "man orvane-cli shows the manual page" \
    bash -c 'MANWIDTH=80 man -P cat orvane-cli 2>/dev/null | grep -q "orvane-cli - build, four-colour"'
check "man -w finds /usr/share/man/man1/orvane-cli.1.gz" equal "$(man -w orvane-cli 2>&1)" /usr/share/man/man1/orvane-cli.1.gz
# Every command and option of --help has its entry in the manual page.
undocumented() {
    local page word
    page=$(zcat /usr/share/man/man1/orvane-cli.1.gz)
    orvane-cli --help | awk '/^[a-z]+:$/ { s = $0; next }
        s == "commands:" && /^  [a-z]/ { print $1 } s == "options:" && $1 ~ /^--/ { print $1 }' |
        while read -r word; do
            case $word in
                --*) grep -qF -- "$(printf '%s' "$word" | sed 's/-/\\-/g')" <<<"$page" || echo "$word" ;;
                *) grep -qE "^\.BI? $word( |$)" <<<"$page" || echo "$word" ;;
            esac
        done
}
check "the manual page describes every command and option of --help" equal "$(undocumented | tr '\n' ' ')" ""
completes() {
    bash -c 'source /usr/share/bash-completion/completions/orvane-cli
        COMP_WORDS=("$@"); COMP_CWORD=$((${#COMP_WORDS[@]} - 1)); _orvane_cli; echo "${COMPREPLY[*]}"' _ "$@"
}
check "bash completes orvane-cli co to colour" equal "$(completes orvane-cli co)" colour
check "bash completes orvane-cli batch --jo to --jobs" equal "$(completes orvane-cli batch --jo)" --jobs
check "the consumer example builds against /usr with find_package(Orvane)" \
    bash -c 'bash scripts/test-consumer.sh /usr >"$1" 2>&1 || { cat "$1"; exit 1; }' _ "$work/consumer-usr.log"
check "... and against the package unpacked into another folder" \
    bash -c 'bash scripts/test-consumer.sh "$2/unpacked/usr" >"$1" 2>&1 || { cat "$1"; exit 1; }' _ \
    "$work/consumer-copy.log" "$work"

$sudo dpkg -r orvane >"$work/dpkg-r.log" 2>&1 && installed_here=0
check "dpkg -r removes it" bash -c '! dpkg-query -W -f="\${Status}" orvane 2>/dev/null | grep -q " installed$"' 
left_behind() {
    while read -r path; do
        [ -e "$path" ] && ! grep -qxF "$path" "$work/before.txt" && echo "$path"
    done <"$work/paths.txt"
}
check "dpkg -r leaves none of the $(wc -l <"$work/paths.txt") paths it made" equal "$(left_behind | tr '\n' ' ')" ""

# --- the wheel --------------------------------------------------------------------
section "$(basename "$wheel_file") ($(stat -c %s "$wheel_file") bytes)"
"$python" -m venv --system-site-packages "$work/venv"
"$work/venv/bin/pip" install --no-index --disable-pip-version-check -q "$wheel_file" >"$work/pip.log" 2>&1
check "pip installs the wheel into a fresh virtual environment" test $? -eq 0 || cat "$work/pip.log"
# The README's example: the indented lines after "## From Python" up to the first blank one.
awk '/^## From Python/ { on = 1; next } on && /^    / { print substr($0, 5); seen = 1; next } on && seen { exit }' \
    README.md >"$work/example.py"
(cd "$work" && "$work/venv/bin/python" example.py >"$work/example.out" 2>&1)
check "the README's Python example runs" test $? -eq 0 || cat "$work/example.out"
check "its first line is the companion's trace line after one step" \
    equal "$(head -n 1 "$work/example.out")" "$("$companion" colour --seed 1a2b --nodes 300 --steps 1 --trace | head -n 1)"
check "its second line reports a correct four-colouring (0)" bash -c '[[ "$(sed -n 2p "$1")" == "0 "* ]]' _ "$work/example.out"
check "the module comes from the environment and names $version" equal "$(cd "$work" && "$work/venv/bin/python" -c '
import sys, orvane
from importlib.metadata import version
print(orvane.__file__.startswith(sys.prefix), orvane.__version__, version("orvane"))')" "True $version $version"

# --- the web folder -----------------------------------------------------------------
section "$(basename "$web_file") ($(stat -c %s "$web_file") bytes)"
mkdir -p "$work/web"
unzip -q "$web_file" -d "$work/web"
site=$work/web/orvane-$version-web
check "the zip holds one folder with the page" test -f "$site/index.html" -a -f "$site/orvane.wasm"
[ -d web/tests/node_modules/playwright-core ] ||
    (cd web/tests && PLAYWRIGHT_SKIP_BROWSER_DOWNLOAD=1 npm ci --ignore-scripts --no-audit --no-fund --loglevel=error)
ORVANE_SITE=$site ORVANE_CLI=$companion node --test \
    --test-name-pattern="loads from 127.0.0.1 alone|painted, coloured to the success text" web/tests/page.test.mjs \
    >"$work/web.log" 2>&1
web_status=$?
check "the unpacked page loads on its own, paints, colours and exports the companion's bytes" test "$web_status" -eq 0 ||
    tail -n 40 "$work/web.log"

# --- reproducibility ----------------------------------------------------------------
if [ "${ORVANE_REPRODUCE:-1}" != 0 ]; then
    section "a second packaging run in another folder"
    copy=$work/elsewhere/orvane-copy
    mkdir -p "$copy"
    if git rev-parse --git-dir >/dev/null 2>&1; then
        git ls-files -z --cached --others --exclude-standard | xargs -0 -I{} sh -c '[ -e "$1" ] && printf "%s\0" "$1"' _ {} |
            tar --null -T - -cf - | tar -xf - -C "$copy"
    else
        tar --exclude=./build --exclude=./dist -cf - . | tar -xf - -C "$copy"
    fi
    second_started=$(date +%s)
    SOURCE_DATE_EPOCH=$epoch ORVANE_DIST=$work/dist2 bash "$copy/scripts/package.sh" >"$work/package2.log" 2>&1
    status=$?
    echo "     the second run took $(($(date +%s) - second_started)) s"
    check "the second run succeeds" test "$status" -eq 0 || tail -n 30 "$work/package2.log"
    check "it gives the same SHA256SUMS" diff "$dist/SHA256SUMS" "$work/dist2/SHA256SUMS"
    # Where they differ, the entries that differ.
    for f in $(cd "$dist" && ls); do
        [ -f "$work/dist2/$f" ] && ! cmp -s "$dist/$f" "$work/dist2/$f" || continue
        echo "     $f differs:"
        case $f in
            *.zip|*.whl) "$python" - "$dist/$f" "$work/dist2/$f" <<'EOF'
import sys, zipfile
a, b = (zipfile.ZipFile(p) for p in sys.argv[1:3])
ea, eb = {i.filename: i for i in a.infolist()}, {i.filename: i for i in b.infolist()}
for name in sorted(set(ea) | set(eb)):
    x, y = ea.get(name), eb.get(name)
    if not x or not y or (x.CRC, x.date_time, x.external_attr) != (y.CRC, y.date_time, y.external_attr):
        print("       ", name)
EOF
            ;;
            *.deb) diff <(dpkg-deb -I "$dist/$f"; dpkg-deb -c "$dist/$f") \
                        <(dpkg-deb -I "$work/dist2/$f"; dpkg-deb -c "$work/dist2/$f") | sed 's/^/       /'
                   for d in 1 2; do
                       mkdir -p "$work/deb$d" && dpkg-deb -R "$([ $d = 1 ] && echo "$dist" || echo "$work/dist2")/$f" "$work/deb$d"
                   done
                   diff -r "$work/deb1" "$work/deb2" | sed 's/^/       /' ;;
        esac
    done
fi

echo
echo "release: took $(($(date +%s) - started)) s"
echo "release: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
