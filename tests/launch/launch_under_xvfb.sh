#!/usr/bin/env bash
# Starts the updater in a virtual X server with a given catalogue and checks that within five
# seconds it asks for the right camera on standard error and titles its window for that product.
set -euo pipefail

updater=$1
mkimage=$2

if [[ ${3:-} != --inside ]]; then
    command -v xvfb-run >/dev/null && command -v xdotool >/dev/null || { echo "xvfb-run or xdotool missing"; exit 77; }
    exec xvfb-run -a -s "-screen 0 1024x768x24" "$0" "$updater" "$mkimage" --inside
fi

work=$(mktemp -d)
pid=
cleanup() { [[ -n $pid ]] && kill "$pid" 2>/dev/null; rm -rf "$work"; }
trap cleanup EXIT

# check <resources folder> <product name>
check() {
    local resources=$1 product=$2 log=$work/stderr.log
    : >"$log"
    # A virtual bus with no camera on it: the test never touches the machine's real USB devices.
    QT_QPA_PLATFORM=xcb LANG=C.UTF-8 LUMIVEX_RESOURCES_DIR=$resources LUMIVEX_VIRTUAL_CAMERA=$work/no-camera.json \
        "$updater" 2>"$log" >/dev/null &
    pid=$!
    local want="progressText.frame text: Please connect your $product camera.. rect: {{"
    local seen=
    for _ in $(seq 50); do
        if grep -qF "$want" "$log"; then seen=1; break; fi
        sleep 0.1
    done
    if [[ -z $seen ]]; then
        echo "FAIL: no connect prompt for $product within 5 s; the log says:"; cat "$log"; exit 1
    fi
    if ! xdotool search --sync --limit 1 --name "^$product Firmware Updater\$" >/dev/null; then
        echo "FAIL: no window titled '$product Firmware Updater'"; exit 1
    fi
    kill "$pid"; wait "$pid" 2>/dev/null || true; pid=
    echo "ok: $product"
}

echo '[]' >"$work/no-camera.json"
mkdir -p "$work/t/Opt" "$work/s/Opt"
"$mkimage" --version 0x0100 "$work/t/Opt/cam_RZ52940_a.bin"
"$mkimage" --version 0x0102 "$work/t/Opt/cam_RZ52940_b.BIN"
check "$work/t" "LUMIVEX T"
check "$work/s" "LUMIVEX S"
echo "2 passed, 0 failed"
