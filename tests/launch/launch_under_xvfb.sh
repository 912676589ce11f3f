#!/usr/bin/env bash
# The real updater in a virtual X server. At launch it asks for the catalogue's camera on standard
# error and titles its window for that product. A virtual camera plugged in after launch, behind a
# foreign webcam that comes first on the bus, is offered the update and the Update button is drawn;
# when it leaves, the prompt comes back and the button is gone.
set -uo pipefail

UPDATER=$1
mkimage=$2
source "$(dirname "$0")/../e2e/xvfb_session.sh"
e2e_under_xvfb "$@"

work=$(mktemp -d)
trap 'e2e_stop; rm -rf "$work"' EXIT

status_count_is() { [[ $(status_count) -eq $1 ]]; }
status_text() { statuses | sed -n "$1p" | cut -f1; }
status_rect() { statuses | sed -n "$1p" | cut -f2; }
# The vertical centre of a rect "x y w h".
centre() { awk '{ print $2 + $4 / 2 }' <<<"$1"; }

# check_prompt <product name> <resources folder>
check_prompt() {
    local product=$1 resources=$2
    e2e_start "$resources" "$work/no-camera.json" "$work"
    local want="Please connect your $product camera."
    if ! until_true 5 status_count_is 1 || [[ $(status_text 1) != "$want" ]]; then
        echo "FAIL: no connect prompt for $product within 5 s; the log says:"; cat "$work/stderr.log"; e2e_stop; return 1
    fi
    if ! timeout 10 xdotool search --sync --limit 1 --name "^$product Firmware Updater\$" >/dev/null; then
        echo "FAIL: no window titled '$product Firmware Updater'"; e2e_stop; return 1
    fi
    e2e_stop
    echo "ok: $product prompt"
}

check_arrival() {
    e2e_start "$work/offer" "$work/arriving-camera.json" "$work"
    local prompt="Please connect your LUMIVEX T camera."
    local offer='LUMIVEX T is ready to update.\nFirmware 0102 is available (installed: 0100).'
    if ! until_true 10 status_count_is 2 || [[ $(status_text 1) != "$prompt" || $(status_text 2) != "$offer" ]]; then
        echo "FAIL: the camera arriving after launch was not offered the update; the log says:"
        cat "$work/stderr.log" "$work/stdout.log"; e2e_stop; return 1
    fi
    # The webcam was looked at first and passed over; then the camera arrived.
    local devices
    devices=$(grep '^Device: ' "$work/stdout.log" | paste -sd '|')
    if [[ $devices != "Device: Integrated Webcam|Device: LUMIVEX T" ]]; then
        echo "FAIL: device lines were '$devices'"; e2e_stop; return 1
    fi
    # With the button laid out, the status field is raised by half the button's height.
    local raised
    raised=$(awk -v a="$(centre "$(status_rect 1)")" -v b="$(centre "$(status_rect 2)")" 'BEGIN { print b - a }')
    if ! awk -v r="$raised" 'BEGIN { exit !(r > 0) }'; then
        echo "FAIL: the offer's status field is not raised above the button (by $raised)"; e2e_stop; return 1
    fi
    if ! main_window 10; then
        echo "FAIL: no window titled 'LUMIVEX T Firmware Updater'"; e2e_stop; return 1
    fi
    if ! until_true 3 button_drawn; then
        echo "FAIL: no Update button drawn at the window's bottom"; e2e_stop; return 1
    fi

    # The camera leaves: the prompt comes back in the layout without the button, and the button goes.
    if ! until_true 10 status_count_is 3 || [[ $(status_text 3) != "$prompt" ]]; then
        echo "FAIL: no connect prompt after the camera left; the log says:"; cat "$work/stderr.log"; e2e_stop; return 1
    fi
    if [[ $(status_rect 3) != "$(status_rect 1)" ]]; then
        echo "FAIL: the prompt after removal sits at $(status_rect 3), at launch at $(status_rect 1)"; e2e_stop; return 1
    fi
    if ! until_true 3 button_gone; then
        echo "FAIL: the Update button is still drawn after the camera left"; e2e_stop; return 1
    fi
    e2e_stop
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
