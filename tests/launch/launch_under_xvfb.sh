#!/usr/bin/env bash
# The real updater in a virtual X server. At launch it asks for the catalogue's camera on standard
# error and titles its window for that product. A virtual camera plugged in after launch, behind a
# foreign webcam that comes first on the bus, is offered the update and the Update button is drawn;
# when it leaves, the prompt comes back and the button is gone.
set -euo pipefail

updater=$1
mkimage=$2

if [[ ${3:-} != --inside ]]; then
    command -v xvfb-run >/dev/null && command -v xdotool >/dev/null || { echo "xvfb-run or xdotool missing"; exit 77; }
    # The screen is also kept in a file, so that what the window drew can be read back.
    screen=$(mktemp -d)
    exec xvfb-run -a -s "-screen 0 1024x768x24 -fbdir $screen" "$0" "$updater" "$mkimage" --inside "$screen"
fi
screen=$4

work=$(mktemp -d)
pid=
cleanup() { [[ -n $pid ]] && kill "$pid" 2>/dev/null; rm -rf "$work" "$screen"; }
trap cleanup EXIT

# start <resources folder> <virtual camera file>: the updater in the background, its standard
# output in $work/stdout.log and its standard error in $work/stderr.log.
start() {
    : >"$work/stdout.log"
    : >"$work/stderr.log"
    QT_QPA_PLATFORM=xcb LANG=C.UTF-8 LUMIVEX_RESOURCES_DIR=$1 LUMIVEX_VIRTUAL_CAMERA=$2 \
        "$updater" >"$work/stdout.log" 2>"$work/stderr.log" &
    pid=$!
}

stop() {
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
    pid=
}

# until_true <seconds> <command…>: runs the command every 0.1 s until it succeeds or time runs out.
until_true() {
    local tries=$(($1 * 10))
    shift
    for ((i = 0; i < tries; i++)); do
        "$@" && return 0
        sleep 0.1
    done
    "$@"
}

# One line per status text shown so far: the text with its line feeds as "\n", a tab, and the
# field's rect as "x y w h" (origin at the lower left). A text may span lines of the log.
statuses() {
    perl -0777 -ne 'while (/progressText\.frame text: (.*?)\. rect: \{\{([-\d.]+), ([-\d.]+)\}, \{([-\d.]+), ([-\d.]+)\}\}/sg) {
                        my ($t, @rect) = ($1, $2, $3, $4, $5); $t =~ s/\n/\\n/g; print "$t\t@rect\n" }' "$work/stderr.log"
}
status_count_is() { [[ $(statuses | wc -l) -eq $1 ]]; }
status_text() { statuses | sed -n "$1p" | cut -f1; }
status_rect() { statuses | sed -n "$1p" | cut -f2; }

# The window's bottom strip, where the Update button sits in the compact layout and no status text
# reaches: "blank" when every pixel in it has the same colour, "drawn" otherwise. Read from the
# screen file (32-bit pixels, XWD layout) over the window's columns.
bottom_strip() {
    local file=$screen/Xvfb_screen0 header
    read -r -a header < <(od -An -v -tu4 --endian=big -N100 -w100 "$file")
    local offset=$((header[0] + header[19] * 12)) bpl=${header[12]} bpp=${header[11]}
    [[ $bpp -eq 32 ]] || { echo "unknown"; return; }
    local strip=45 first=$((win_y + win_h - 45))
    dd if="$file" iflag=skip_bytes,count_bytes skip=$((offset + first * bpl)) count=$((strip * bpl)) status=none |
        od -An -v -tx4 -w"$bpl" |
        awk -v from="$win_x" -v to="$((win_x + win_w))" '
            { for (c = from + 1; c <= to; c++) { if (!seen) { colour = $c; seen = 1 } else if ($c != colour) varied = 1 } }
            END { print varied ? "drawn" : "blank" }'
}
strip_is() { [[ $(bottom_strip) == "$1" ]]; }

# The vertical centre of a rect "x y w h".
centre() { awk '{ print $2 + $4 / 2 }' <<<"$1"; }

# check_prompt <product name> <resources folder>
check_prompt() {
    local product=$1 resources=$2
    start "$resources" "$work/no-camera.json"
    local want="Please connect your $product camera."
    if ! until_true 5 status_count_is 1 || [[ $(status_text 1) != "$want" ]]; then
        echo "FAIL: no connect prompt for $product within 5 s; the log says:"; cat "$work/stderr.log"; stop; return 1
    fi
    if ! timeout 10 xdotool search --sync --limit 1 --name "^$product Firmware Updater\$" >/dev/null; then
        echo "FAIL: no window titled '$product Firmware Updater'"; stop; return 1
    fi
    stop
    echo "ok: $product prompt"
}

check_arrival() {
    start "$work/offer" "$work/arriving-camera.json"
    local prompt="Please connect your LUMIVEX T camera."
    local offer='LUMIVEX T is ready to update.\nFirmware 0102 is available (installed: 0100).'
    if ! until_true 10 status_count_is 2 || [[ $(status_text 1) != "$prompt" || $(status_text 2) != "$offer" ]]; then
        echo "FAIL: the camera arriving after launch was not offered the update; the log says:"
        cat "$work/stderr.log" "$work/stdout.log"; stop; return 1
    fi
    # The webcam was looked at first and passed over; then the camera arrived.
    local devices
    devices=$(grep '^Device: ' "$work/stdout.log" | paste -sd '|')
    if [[ $devices != "Device: Integrated Webcam|Device: LUMIVEX T" ]]; then
        echo "FAIL: device lines were '$devices'"; stop; return 1
    fi
    # With the button laid out, the status field is raised by half the button's height.
    local raised
    raised=$(awk -v a="$(centre "$(status_rect 1)")" -v b="$(centre "$(status_rect 2)")" 'BEGIN { print b - a }')
    if ! awk -v r="$raised" 'BEGIN { exit !(r > 0) }'; then
        echo "FAIL: the offer's status field is not raised above the button (by $raised)"; stop; return 1
    fi
    local window
    if ! window=$(timeout 10 xdotool search --sync --limit 1 --name '^LUMIVEX T Firmware Updater$'); then
        echo "FAIL: no window titled 'LUMIVEX T Firmware Updater'"; stop; return 1
    fi
    local geometry
    geometry=$(xdotool getwindowgeometry --shell "$window")
    win_x=$(sed -n 's/^X=//p' <<<"$geometry") win_y=$(sed -n 's/^Y=//p' <<<"$geometry")
    win_w=$(sed -n 's/^WIDTH=//p' <<<"$geometry") win_h=$(sed -n 's/^HEIGHT=//p' <<<"$geometry")
    if ! until_true 3 strip_is drawn; then
        echo "FAIL: no Update button drawn at the window's bottom ($(bottom_strip))"; stop; return 1
    fi

    # The camera leaves: the prompt comes back in the layout without the button, and the button goes.
    if ! until_true 10 status_count_is 3 || [[ $(status_text 3) != "$prompt" ]]; then
        echo "FAIL: no connect prompt after the camera left; the log says:"; cat "$work/stderr.log"; stop; return 1
    fi
    if [[ $(status_rect 3) != "$(status_rect 1)" ]]; then
        echo "FAIL: the prompt after removal sits at $(status_rect 3), at launch at $(status_rect 1)"; stop; return 1
    fi
    if ! until_true 3 strip_is blank; then
        echo "FAIL: the Update button is still drawn after the camera left"; stop; return 1
    fi
    stop
    echo "ok: camera arriving behind a webcam is offered (field raised by $raised), and its removal clears the offer"
}

echo '[]' >"$work/no-camera.json"
mkdir -p "$work/t/Opt" "$work/s/Opt" "$work/offer/Opt"
"$mkimage" --version 0x0100 "$work/t/Opt/cam_RZ52940_a.bin"
"$mkimage" --version 0x0102 "$work/t/Opt/cam_RZ52940_b.BIN"
"$mkimage" --version 0x0102 "$work/offer/Opt/cam_RZ52940.bin"
# The camera's flash is an image file without its 4-byte prefix.
"$mkimage" --version 0x0100 --product "LUMIVEX T" "$work/camera-image.bin"
tail -c +5 "$work/camera-image.bin" >"$work/camera.flash"
# A webcam that answers no bridge report comes first on the bus; the camera is plugged in half a
# second after launch and pulled out later, long after its offer shows.
cat >"$work/arriving-camera.json" <<EOF
[
    {"vid": "0x046D", "pid": "0x0825", "product": "Integrated Webcam", "chip": null,
     "interfaces": [[14, 1], [14, 2], [1, 1]]},
    {"product": "LUMIVEX T", "flash": "$work/camera.flash", "plug_at_ms": 500, "unplug_at_ms": 6000}
]
EOF

passed=0 failed=0
for check in "check_prompt 'LUMIVEX T' $work/t" "check_prompt 'LUMIVEX S' $work/s" check_arrival; do
    if eval "$check"; then passed=$((passed + 1)); else failed=$((failed + 1)); fi
done
echo "$passed passed, $failed failed"
((failed == 0))
