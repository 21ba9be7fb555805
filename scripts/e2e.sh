#!/usr/bin/env bash
# End-to-end test of the real window: Orvane.exe under Wine on a virtual X
# display, driven with xdotool like a person would, checked through its files
# and screenshots. Ends with "e2e: N passed, N failed"; exits non-zero on any
# failure. Screenshots are kept in build/e2e.
#
#   scripts/e2e.sh [PATH/Orvane.exe]
#
# Without an argument it builds Orvane.exe (mingw preset) and runs a copy in a
# scratch folder; given one (an unpacked release zip), it runs that program in
# its own folder, which must hold no settings file yet. ORVANE_CLI names the
# companion to compare with (default: the native build's, built here).
set -uo pipefail
cd "$(dirname "$0")/.."
root=$PWD
source scripts/wine-prefix.sh

orvane_install "${orvane_wine_packages[@]}" g++ libgtest-dev libbenchmark-dev xvfb xdotool imagemagick locales
# The run log comes out in code page 932 as on a Japanese system.
locale -a 2>/dev/null | grep -qi '^ja_JP\.utf-\?8$' || localedef -i ja_JP -f UTF-8 ja_JP.UTF-8

jobs=$(nproc)
exe=${1:-}
if [ -z "$exe" ]; then
    cmake --preset mingw >/dev/null && cmake --build --preset mingw -j "$jobs" --target orvane >/dev/null || exit 1
fi
cli=${ORVANE_CLI:-}
if [ -z "$cli" ]; then
    cmake --preset default >/dev/null && cmake --build --preset default -j "$jobs" --target orvane-cli >/dev/null || exit 1
    cli=$root/build/default/cli/orvane-cli
fi

work=$(mktemp -d /tmp/orvane-e2e.XXXXXX)
shots=$root/build/e2e
rm -rf "$shots" && mkdir -p "$shots"
if [ -n "$exe" ]; then
    [ -f "$exe" ] || { echo "e2e: no program at $exe"; exit 1; }
    app=$(cd "$(dirname "$exe")" && pwd)
    [ "$(basename "$exe")" = Orvane.exe ] || { echo "e2e: the program must be named Orvane.exe"; exit 1; }
    [ ! -e "$app/Orvane.ini" ] || { echo "e2e: $app already holds a settings file"; exit 1; }
    echo "e2e: the program in $app"
else
    app=$work/app
    mkdir -p "$app" && cp build/mingw/app/Orvane.exe "$app/"
fi

. "$root/scripts/checks.sh"

xvfb_pid=""
cleanup() {
    wineserver -k 2>/dev/null
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

echo "preparing a fresh Wine prefix"
orvane_wine_prefix "$work/prefix"

exec 3>"$work/display"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
exec 3>&-
for _ in $(seq 50); do [ -s "$work/display" ] && break; sleep 0.1; done
export DISPLAY=:$(head -1 "$work/display")

# --- helpers -------------------------------------------------------------
window=""
start_app() {
    (cd "$app" && LANG=ja_JP.UTF-8 LC_ALL=ja_JP.UTF-8 wine Orvane.exe </dev/null >>"$work/wine.log" 2>&1 &)
    window=$(timeout 60 xdotool search --sync --onlyvisible --name '^Orvane \(V1\.0\)$' 2>/dev/null | head -1)
    [ -n "$window" ] && sleep 1
}
app_gone() {
    for _ in $(seq 100); do
        xdotool search --name '^Orvane \(V1\.0\)$' >/dev/null 2>&1 || return 0
        sleep 0.2
    done
    return 1
}
geometry() { xdotool getwindowgeometry --shell "$window" | tr '\n' ' '; }
# Client origin on the screen, found from the grey control column.
cx=0 cy=0 viewW=0 viewH=0
find_client() {
    local g X Y WIDTH HEIGHT
    g=$(geometry) && eval "$(echo "$g" | tr ' ' '\n' | grep -E '^(X|Y|WIDTH|HEIGHT)=')"
    shot "$work/origin.png"
    cx=$(convert "$work/origin.png" -crop "30x1+$X+$((Y + 250))" +repage -depth 8 txt:- |
        awk -v x0="$X" '/#C0C0C0/ { split($1, p, ","); print x0 + p[1]; exit }')
    cy=$(convert "$work/origin.png" -crop "1x80+$((cx + 2))+$Y" +repage -depth 8 txt:- |
        awk -v y0="$Y" '/#C0C0C0/ { split($1, p, "[,:]"); print y0 + p[2]; exit }')
    local border=$((cx - X))
    viewW=$((WIDTH - 2 * border - 120))
    viewH=$((HEIGHT - (cy - Y) - border))
}
shot() { import -window root "$1"; }
# Pixels of a client rectangle as "x y #RRGGBB", client coordinates.
pixels() {
    convert "$1" -crop "$4x$5+$((cx + $2))+$((cy + $3))" +repage -depth 8 txt:- |
        awk -v x0="$2" -v y0="$3" 'NR > 1 { split($1, p, "[,:]"); print x0 + p[1], y0 + p[2], $3 }'
}
# Number of pixels in a client rectangle darker than mid grey.
dark_pixels() {
    convert "$1" -crop "$4x$5+$((cx + $2))+$((cy + $3))" +repage -colorspace gray -threshold 50% -negate \
        -format '%[fx:int(mean*w*h+0.5)]' info:
}
# Pixels of a client rectangle with exactly this colour.
colour_pixels() { pixels "$@" | grep -c " $6\$"; }
click() { xdotool mousemove $((cx + $1)) $((cy + $2)) click 1; sleep 0.3; }
park_pointer() { xdotool mousemove $((cx + 60)) $((cy + 460)); }
keys() { xdotool key --delay 60 "$@"; sleep 0.5; }
wait_file() {
    for _ in $(seq 150); do [ -s "$1" ] && return 0; sleep 0.2; done
    return 1
}
same_file() { cmp -s "$1" "$2"; }
equal() { [ "$1" = "$2" ]; }
at_least() { [ "$1" -ge "$2" ]; }
crop_client() { convert "$1" -crop "$4x$5+$((cx + $2))+$((cy + $3))" +repage "$6"; }
same_picture() { [ "$(compare -metric AE "$1" "$2" null: 2>&1)" = "0" ]; }
# The fields' interiors and the four colouring buttons' interiors.
field_x=14 field_w=92
button_interior() { echo "14 $(($1 + 5)) 92 14"; }

# --- first start, no settings file ----------------------------------------
echo "first start without a settings file"
start_app
check "window appears with the caption \"Orvane (V1.0)\"" test -n "$window"
[ -n "$window" ] || { echo "e2e: $passed passed, $((failed + 1)) failed"; exit 1; }
find_client
eval "$(xdotool getwindowgeometry --shell "$window" | grep -E '^(X|Y|WIDTH|HEIGHT)=')"
check "window at (8, 16), 400 x 500" equal "$X,$Y,$WIDTH,$HEIGHT" "8,16,400,500"
park_pointer
shot "$shots/start.png"
fields_empty() {
    local y
    for y in 8 55 123 183 335; do [ "$(dark_pixels "$shots/start.png" $field_x $((y + 2)) $field_w 12)" -eq 0 ] || return 1; done
}
check "fields and labels start empty" fields_empty
enabled_buttons() {
    local n=0 y
    for y in 203 231 259 287; do
        # Enabled captions are black; disabled ones are grey.
        [ "$(pixels "$1" $(button_interior $y) | grep -c ' #000000$')" -gt 0 ] && n=$((n + 1))
    done
    echo $n
}
check "map request button has a black caption" at_least "$(pixels "$shots/start.png" $(button_interior 143) | grep -c ' #000000$')" 1
check "buttons 1007 to 1010 start disabled" equal "$(enabled_buttons "$shots/start.png")" 0
view_marks() { pixels "$1" 120 0 "$viewW" $((viewH - 34)) | grep -vc ' #FFFFFF$'; }
check "view is white with only its label" equal "$(view_marks "$shots/start.png")" 0
check "the label is drawn at the bottom right" at_least "$(dark_pixels "$shots/start.png" $((120 + viewW - 130)) $((viewH - 30)) 120 14)" 20
keys Right
shot "$shots/right-before-map.png"
check "Right arrow before any map does nothing" equal "$(view_marks "$shots/right-before-map.png")" 0

# --- a map from typed texts, stepped, finished, exported ------------------
echo "map from a typed seed and count"
click 60 63
xdotool type --delay 80 "1a2b"
keys Tab
xdotool type --delay 80 "300"
keys Return Up
park_pointer
sleep 1
shot "$shots/map.png"
check "Up arrow builds the map (view shows discs and borders)" at_least "$(view_marks "$shots/map.png")" 1000
check "a fresh map has only white discs" equal "$(pixels "$shots/map.png" 120 0 "$viewW" "$viewH" |
    grep -cE ' #(FF6060|50F0A0|FFD860|60B0FF)$')" 0
check "map request enables step, full and EXPORT" equal "$(enabled_buttons "$shots/map.png")" 3

steps=25
for _ in $(seq $steps); do xdotool key Right; sleep 0.05; done
sleep 1
shot "$shots/stepped.png"
check "stepping shows coloured discs" at_least "$(pixels "$shots/stepped.png" 120 0 "$viewW" "$viewH" | grep -cE ' #(FF6060|50F0A0|FFD860|60B0FF)$')" 100
check "stepping shows the ring outline" at_least "$(colour_pixels "$shots/stepped.png" 120 0 "$viewW" "$viewH" '#E0E0E0')" 10
check "stepping enables all four buttons" equal "$(enabled_buttons "$shots/stepped.png")" 4
export_file="$app/Export/00001a2b(300).txt"
click 60 299
wait_file "$export_file"
"$cli" colour --seed 1a2b --nodes 300 --steps $steps --export "$work/cli-stepped.txt" >/dev/null
check "EXPORT after $steps Right presses equals the companion's export" same_file "$export_file" "$work/cli-stepped.txt"
mv "$export_file" "$work/stepped.txt"

park_pointer
keys Down
sleep 1
click 60 299
wait_file "$export_file"
"$cli" colour --seed 1a2b --nodes 300 --full --export "$work/cli-full.txt" >/dev/null
check "EXPORT after the Down key equals the companion's full colouring" same_file "$export_file" "$work/cli-full.txt"
park_pointer
sleep 0.5
shot "$shots/coloured.png"
check "finished colouring leaves only clear and EXPORT enabled" equal "$(enabled_buttons "$shots/coloured.png")" 2

# Discs at the computed node positions carry their brushes' colours. Nodes
# whose centre another disc or a border line may cover are left out.
disc_check() {
    iconv -f UTF-16 -t UTF-8 "$export_file" | tr -d '\r' |
        awk -v w="$viewW" -v h="$viewH" '
            function muldiv(a, b, c) { return int((2 * a * b + c) / (2 * c)) }
            function hex(s,    i, v) {
                v = 0
                for (i = 1; i <= length(s); i++) v = v * 16 + index("0123456789abcdef", substr(s, i, 1)) - 1
                return v
            }
            # Squared distance from node k to the segment between nodes a and b.
            function segment(k, a, b,    dx, dy, t, ex, ey) {
                dx = px[b] - px[a]; dy = py[b] - py[a]
                t = dx * dx + dy * dy ? ((px[k] - px[a]) * dx + (py[k] - py[a]) * dy) / (dx * dx + dy * dy) : 0
                t = t < 0 ? 0 : t > 1 ? 1 : t
                ex = px[a] + t * dx - px[k]; ey = py[a] + t * dy - py[k]
                return ex * ex + ey * ey
            }
            match($0, /\([0-9a-f]+,[0-9a-f]+\)/) {
                split(substr($0, RSTART + 1, RLENGTH - 2), xy, ",")
                k = $0; sub(/^\[.\] */, "", k); sub(/ .*/, "", k)
                letter[k] = substr($0, 2, 1)
                px[k] = 120 + muldiv(hex(xy[1]), w - 48, 32767) + 24
                py[k] = muldiv(hex(xy[2]), h - 48, 32767) + 24
                nb = $0; sub(/^.*\) /, "", nb)
                count = split(nb, list, ",")
                for (i = 1; i <= count; i++) if (list[i] + 0 > k + 0) { edges++; ea[edges] = k; eb[edges] = list[i] + 0 }
                nodes[++n] = k
            }
            END {
                colour["R"] = "#FF6060"; colour["G"] = "#50F0A0"; colour["Y"] = "#FFD860"; colour["B"] = "#60B0FF"
                for (i = 1; i <= n; i++) {
                    k = nodes[i]; alone = 1
                    for (j = 1; j <= n && alone; j++)
                        if (nodes[j] != k && (px[k] - px[nodes[j]]) ^ 2 + (py[k] - py[nodes[j]]) ^ 2 < 11 ^ 2) alone = 0
                    for (e = 1; e <= edges && alone; e++)
                        if (ea[e] != k && eb[e] != k && segment(k, ea[e], eb[e]) < 3 ^ 2) alone = 0
                    if (alone) print px[k], py[k], colour[letter[k]]
                }
            }' >"$work/expected-discs.txt"
    pixels "$shots/coloured.png" 0 0 $((120 + viewW)) "$viewH" >"$work/screen.txt"
    awk 'NR == FNR { want[$1 " " $2] = $3; next }
         ($1 " " $2) in want {
             seen++
             if (want[$1 " " $2] == $3) good++
             else print "  disc at view (" $1 - 120 ", " $2 ") is " $3 ", not " want[$1 " " $2]
         }
         END { printf "%d of %d discs match\n", good, seen; exit !(seen >= 20 && good == seen) }' \
        "$work/expected-discs.txt" "$work/screen.txt"
}
check "discs at the computed node positions have the brushes' colours" disc_check

# --- a small batch run ------------------------------------------------------
echo "batch run"
click 60 343
xdotool type --delay 80 "5"
keys Return
click 60 367
year=$(date +%Y)
log_dir="$app/Log_$year"
log=""
for _ in $(seq 150); do
    log=$(ls "$log_dir"/*.txt 2>/dev/null | head -1)
    [ -n "$log" ] && grep -q "$(printf 'msec')" "$log" 2>/dev/null && [ "$(grep -c msec "$log")" -eq 2 ] && break
    sleep 0.2
done
park_pointer
sleep 0.5
shot "$shots/batch.png"
check "the run log is named (300)5_@MMDDhhmmss.txt in Log_$year" \
    bash -c '[[ "$(basename "$1")" =~ ^\(300\)5_@[0-9]{10}\.txt$ ]]' _ "$log"
check "the run log is in code page 932" bash -c 'iconv -f CP932 -t UTF-8 "$1" >/dev/null 2>&1 &&
    grep -q "$(printf "\x8d\xc5\x8f\x49\x92\x6e\x90\x7d")" "$1"' _ "$log"
mkdir -p "$work/cli-log"
"$cli" batch --seed 00001a2b --nodes 300 --maps 5 --dir "$work/cli-log" >/dev/null 2>&1
cli_log=$(ls "$work"/cli-log/Log_*/*.txt 2>/dev/null | head -1)
log_lines() { iconv -f "$2" -t UTF-8 "$1" | tr -d '\r' | head -n -3; }
check "the run log's lines equal the companion's (times aside)" \
    equal "$(log_lines "$log" CP932)" "$(log_lines "$cli_log" UTF-8)"
check "every run log line ends in CR LF" equal "$(grep -c $'\r$' "$log")" "$(wc -l <"$log")"
check "the batch page shows its header and counters" at_least "$(dark_pixels "$shots/batch.png" 140 20 200 80)" 50
check "after a batch step, full, clear and EXPORT are disabled" equal "$(enabled_buttons "$shots/batch.png")" 0

# --- close, settings file, second start ------------------------------------
echo "close and start again"
crop_client "$shots/batch.png" 8 55 104 300 "$work/fields-before.png"
park_pointer
keys alt+F4
check "the window closes" app_gone
ini="$app/Orvane.ini"
settings_check() {
    [ "$(head -c 2 "$ini" | od -An -tx1 | tr -d ' ')" = "fffe" ] || return 1
    local text
    text=$(iconv -f UTF-16 -t UTF-8 "$ini") || return 1
    # Re-encoding the text must give the same bytes: UTF-16LE, CR LF, 14 lines.
    [ "$(printf '%s\n' "$text" | wc -l)" -eq 14 ] || return 1
    cmp -s "$ini" <(printf '\xff\xfe'; printf '%s\n' "$text" | tr -d '\r' | sed 's/$/\r/' | iconv -f UTF-8 -t UTF-16LE) || return 1
    printf '%s\n' "$text" | tr -d '\r' | tr '\n' ' ' | grep -qE '^00001a2b 300 5 44 -?[0-9]+ 1 (-?[0-9]+ ){4}8 16 408 516 $'
}
check "the settings file holds the fields and the placement" settings_check

start_app
check "second start shows the window" test -n "$window"
if [ -n "$window" ]; then
    eval "$(xdotool getwindowgeometry --shell "$window" | grep -E '^(X|Y|WIDTH|HEIGHT)=')"
    check "second start restores the placement" equal "$X,$Y,$WIDTH,$HEIGHT" "8,16,400,500"
    park_pointer
    shot "$shots/restart.png"
    crop_client "$shots/restart.png" 8 55 104 300 "$work/fields-after.png"
    # The three fields look exactly as before closing (the seed label and status are blank now).
    fields_same() {
        local y
        for y in 55 123 335; do
            convert "$work/fields-before.png" -crop "104x16+0+$((y - 55))" +repage "$work/a.png"
            convert "$work/fields-after.png" -crop "104x16+0+$((y - 55))" +repage "$work/b.png"
            same_picture "$work/a.png" "$work/b.png" || return 1
        done
        [ "$(dark_pixels "$shots/restart.png" $field_x 57 $field_w 12)" -gt 0 ]
    }
    check "second start restores the three fields" fields_same
    keys alt+F4
    check "the window closes again" app_gone
fi

# --- placements that would put the window out of reach ----------------------
# A settings file whose normal rectangle is larger than the screen, or lies off
# it, must leave the window at its default place, where Alt+F4 reaches it.
write_ini() {
    printf '%s\r\n' 00001a2b 300 5 44 0 1 -1 -1 -1 -1 "$@" | iconv -f UTF-8 -t UTF-16LE > "$work/ini.txt"
    { printf '\xff\xfe'; cat "$work/ini.txt"; } > "$ini"
}
on_screen() {
    [ -n "$window" ] || return 1
    local X Y WIDTH HEIGHT
    eval "$(xdotool getwindowgeometry --shell "$window" | grep -E '^(X|Y|WIDTH|HEIGHT)=')"
    [ "$X" -ge 0 ] && [ "$Y" -ge 0 ] && [ $((X + WIDTH)) -le 1024 ] && [ $((Y + HEIGHT)) -le 768 ]
}
for placement in "-100000 -100000 100000 100000" "5000 5000 5400 5500" "-2147483648 -2147483648 2147483647 2147483647"; do
    # shellcheck disable=SC2086
    write_ini $placement
    start_app
    check "a stored rectangle $placement still opens the window on screen" on_screen
    [ -n "$window" ] && keys alt+F4
    check "that window closes with Alt+F4" app_gone
done

echo "e2e: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
