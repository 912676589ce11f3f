#!/usr/bin/env bash
# The real updater in a virtual X server, with cameras on the virtual camera's own clock: a foreign
# webcam first on the bus is passed over, a camera plugged in after launch is offered the update
# with the Update button drawn, and when it leaves by itself the prompt comes back and the button
# goes. (The prompt and title each catalogue gives at launch are checked with the catalogues.)
set -uo pipefail

UPDATER=$1
mkimage=$2
source "$(dirname "$0")/../e2e/xvfb_session.sh"
e2e_under_xvfb "$@"

work=$(mktemp -d)
trap 'e2e_stop; rm -rf "$work"' EXIT

fail() { echo "FAIL: $*; the logs say:"; cat "$work/stderr.log" "$work/stdout.log"; exit 1; }
status_count_is() { [[ $(status_count) -eq $1 ]]; }
status_text() { statuses | sed -n "$1p" | cut -f1; }

mkdir -p "$work/offer/Opt"
"$mkimage" --version 0x0102 "$work/offer/Opt/cam_RZ52940.bin"
# The camera's flash is an image file without its 4-byte prefix.
"$mkimage" --version 0x0100 --product "LUMIVEX T" "$work/camera-image.bin"
tail -c +5 "$work/camera-image.bin" >"$work/camera.flash"
# The camera is plugged in half a second after launch and pulled out long after its offer shows.
cat >"$work/cameras.json" <<EOF
[
    {"vid": "0x046D", "pid": "0x0825", "product": "Integrated Webcam", "chip": null,
     "interfaces": [[14, 1], [14, 2], [1, 1]]},
    {"product": "LUMIVEX T", "flash": "$work/camera.flash", "plug_at_ms": 500, "unplug_at_ms": 6000}
]
EOF

e2e_start "$work/offer" "$work/cameras.json" "$work"
prompt="Please connect your LUMIVEX T camera."
offer='LUMIVEX T is ready to update.\nFirmware 0102 is available (installed: 0100).'
until_true 10 status_count_is 2 && [[ $(status_text 1) == "$prompt" && $(status_text 2) == "$offer" ]] ||
    fail "the camera arriving after launch was not offered the update"
devices=$(grep '^Device: ' "$work/stdout.log" | paste -sd '|')
[[ $devices == "Device: Integrated Webcam|Device: LUMIVEX T" ]] || fail "device lines were '$devices'"
main_window 10 && until_true 3 button_drawn || fail "no Update button drawn at the window's bottom"
until_true 10 status_count_is 3 && [[ $(status_text 3) == "$prompt" ]] || fail "no connect prompt after the camera left"
until_true 3 button_gone || fail "the Update button is still drawn after the camera left"
echo "ok: a camera arriving behind a webcam is offered, and its removal clears the offer"
