#!/usr/bin/env bash
# The update as a person does it, on the real updater in a virtual X server with a virtual camera:
# the Update button clicked, the confirmation sheet answered with OK or Cancel, the camera pulled
# out in the middle of the run (the "ERROR" alert, then exit status 255), pulled out and plugged in
# again after a completed run, the download link of a product mismatch clicked, and the window
# growing at the screen's top edge (E2E_WM names a window manager to run under). What the
# camera ends up holding is read from its flash file and its transfer trace. (A failed run's text
# and a broken camera offered again: the window's tests, tests/app.)
#
# Usage: update_under_xvfb.sh <lumivex-updater> <lumivex-mkimage>
set -uo pipefail

UPDATER=$1
MKIMAGE=$2
source "$(dirname "$0")/xvfb_session.sh"
e2e_under_xvfb "$@"

# E2E_WM=<window manager>: the cases under it; skipped (77) when it is not installed.
wm=
if [[ -n ${E2E_WM:-} ]]; then
    command -v "$E2E_WM" >/dev/null || { echo "$E2E_WM missing"; exit 77; }
    "$E2E_WM" >/dev/null 2>&1 &
    wm=$!
    until_true 10 xdotool get_num_desktops >/dev/null 2>&1 || { echo "$E2E_WM did not start"; exit 1; }
fi

# E2E_KEEP=1 keeps the cases' folders (logs, flash files, traces) for a look afterwards, outside
# the run's temporary folder.
E2E_WORK=$(mktemp -d ${E2E_KEEP:+/tmp/lumivex-e2e-kept.XXXXXX})
trap 'e2e_stop; [[ -n $wm ]] && kill "$wm"; [[ -n ${E2E_KEEP:-} ]] && echo "kept: $E2E_WORK" || rm -rf "$E2E_WORK"' EXIT

PROMPT='Please connect your LUMIVEX T camera.'
OFFER='LUMIVEX T is ready to update.\nFirmware 0102 is available (installed: 0100).'
OFFER_AGAIN='LUMIVEX T is ready to update.\nFirmware 0102 is available (installed: 0102).'
DONE='Firmware 0102 is now installed on your LUMIVEX T. Please reconnect the camera.'
FAILED='The firmware update failed. Please reconnect the camera and try again.'
MISMATCH='This LUMIVEX T cannot be updated with the LUMIVEX S updater. To update your LUMIVEX T, get the LUMIVEX T Firmware Updater from our download page.'
URL='https://www.lumivex.example/download'

# --- fixtures shared by the cases (read only) ---------------------------------------------------

setup() {
    local info='{"Device Name": "LUMIVEX", "Download URL": "'$URL'"}'
    mkdir -p "$E2E_WORK/t/Opt" "$E2E_WORK/s/Opt" &&
        echo "$info" >"$E2E_WORK/t/Info.json" &&
        echo "$info" >"$E2E_WORK/s/Info.json" &&
        "$MKIMAGE" --version 0x0102 --product "LUMIVEX T" "$E2E_WORK/t/Opt/cam_RZ52940.bin" >/dev/null &&
        "$MKIMAGE" --version 0x0102 "$E2E_WORK/s/Opt/cam_RZ6610M.bin" >/dev/null &&
        # What a completed run leaves on the camera: the catalogue's image without its prefix.
        tail -c +5 "$E2E_WORK/t/Opt/cam_RZ52940.bin" >"$E2E_WORK/installed.flash" &&
        # The camera's flash before any run: a T camera with firmware 0100.
        "$MKIMAGE" --version 0x0100 --product "LUMIVEX T" "$E2E_WORK/camera.bin" >/dev/null &&
        tail -c +5 "$E2E_WORK/camera.bin" >"$E2E_WORK/original.flash" &&
        [[ -s $E2E_WORK/installed.flash ]] && ! cmp -s "$E2E_WORK/original.flash" "$E2E_WORK/installed.flash"
}
setup || { echo "could not make the firmware images"; exit 1; }

# A browser that only notes what it was asked to open, one line per call.
E2E_BIN=$E2E_WORK/bin
mkdir -p "$E2E_BIN"
cat >"$E2E_BIN/xdg-open" <<'EOF'
#!/bin/sh
printf '%s\n' "$*" >>"$E2E_OPENED"
EOF
chmod +x "$E2E_BIN/xdg-open"

# --- case plumbing ------------------------------------------------------------------------------

# new_case <name> <camera fields…>: a scratch folder holding the camera's flash (firmware 0100),
# its trace and a cable file (present: plugged in), and the camera's description with the extra
# fields given as JSON members.
new_case() {
    name=$1
    dir=$E2E_WORK/$1
    mkdir -p "$dir"
    cp "$E2E_WORK/original.flash" "$dir/flash.bin"
    touch "$dir/cable"
    local extra=${2:+, $2}
    echo '[{"product": "LUMIVEX T", "flash": "flash.bin", "trace": "trace.jsonl", "plug_file": "cable"'"$extra"'}]' \
        >"$dir/camera.json"
}

# step <seconds> <what is awaited> <command…>: polls the command until it holds; on a deadline
# says which case waited for what and shows the evidence.
step() {
    local seconds=$1 what=$2
    shift 2
    until_true "$seconds" "$@" && return 0
    echo "FAIL: $name: $what"
    e2e_evidence
    # For a look at the screen afterwards (XWD): E2E_SHOTS=<folder>; at the updater's threads:
    # E2E_STACKS=1 (needs gdb).
    [[ -n ${E2E_SHOTS:-} ]] && cp "$E2E_SCREEN/Xvfb_screen0" "$E2E_SHOTS/$name.xwd"
    [[ -n ${E2E_STACKS:-} && -n $pid ]] && gdb -p "$pid" -batch -ex 'thread apply all bt 12' 2>/dev/null | grep '^#\|^Thread'
    return 1
}

# The window offers the update with the button drawn.
offered() {
    step 15 "the offer '$1'" last_status_is "$1" &&
        step 10 "the main window" main_window 10 &&
        step 5 "the Update button drawn" button_drawn
}

# press <key> [sheet title]: the key pressed on the sheet showing.
press() { step 0 "$1 pressed on the ${2:-sheet}" answer_sheet "$@"; }

# Click Update and let the confirmation sheet come up.
press_update() {
    step 5 "a click on the Update button" click_update_button &&
        step 10 "the confirmation sheet" a_sheet_shows
}

# The flash holds the image: the image's bytes first, erased bytes (if any) after them.
flash_holds() {
    local flash=$dir/flash.bin image=$1 length
    length=$(stat -c %s "$image")
    cmp -s -n "$length" "$flash" "$image" && [[ -z $(tail -c +$((length + 1)) "$flash" | tr -d '\377' | head -c 1) ]]
}

# The value the camera's last status register read returned, as two hex digits: a data report
# carrying the one-byte read-status command (05), then the report that brings the answer.
last_status_read() {
    perl -ne 'if (/"data":"93..010005/) { $asked = 1 } elsif ($asked && /"bmRequestType":161,.*"data":"(..)/) { $value = $1; $asked = 0 }
              END { print $value // "" }' "$dir/trace.jsonl"
}
flash_protected() { local s; s=$(last_status_read); [[ -n $s ]] && (((0x$s & 0x0C) == 0x0C)); }

# Commands that change the flash, from the trace: page program (02), status write (01), sector,
# block and chip erase (20, d8, c7, 60) as the first byte of a piece.
flash_commands() { grep -cE '"data":"9300..0[01](02|20|01|d8|c7|60)' "$dir/trace.jsonl"; }

# --- the cases ----------------------------------------------------------------------------------

# Update clicked and the sheet cancelled, with Escape and then with its Cancel button: nothing is
# written and the offer stands. Then the sheet's default OK taken with Return: the completion text,
# the image on the flash and the flash locked. The camera pulled out: the connect prompt without
# the button; plugged in again: offered again, now from the installed version.
case_cancel_then_update_and_replug() {
    new_case update
    e2e_start "$E2E_WORK/t" "$dir/camera.json"
    offered "$OFFER" && press_update || return 1
    local shown
    shown=$(status_count)
    press Escape || return 1
    step 5 "the sheet gone after Escape" no_sheet_shows &&
        step 5 "the button still drawn" button_drawn &&
        press_update || return 1
    # Cancel is the button after the default OK.
    press Tab && press space || return 1
    step 5 "the sheet gone after Cancel" no_sheet_shows &&
        step 5 "the button still drawn" button_drawn &&
        step 0 "no new status text ($(status_count) shown, $shown before)" test "$(status_count)" -eq "$shown" &&
        step 0 "no erase, program or status write sent ($(flash_commands))" test "$(flash_commands)" -eq 0 &&
        step 0 "no run logged" bash -c '! grep -q "execute_qlv2" "$0"' "$logs/stderr.log" || return 1
    press_update && press Return || return 1
    step 20 "the completion text" last_status_is "$DONE" &&
        step 5 "the run's log line" log_has "execute_qlv2 - update completed in " &&
        step 5 "the sheet gone" no_sheet_shows || return 1
    step 0 "the flash holding the image" flash_holds "$E2E_WORK/installed.flash" &&
        step 0 "block protection set at the last status read (read $(last_status_read))" flash_protected || return 1
    rm "$dir/cable"
    step 10 "the connect prompt after the camera left" last_status_is "$PROMPT" &&
        step 5 "the button gone" button_gone || return 1
    touch "$dir/cable"
    offered "$OFFER_AGAIN" || return 1
    e2e_stop
    # Written back as it went, and left so when the updater is closed.
    step 0 "the flash holding the image after the updater closed" flash_holds "$E2E_WORK/installed.flash"
}

# A T camera with an S catalogue: the mismatch text, and its link (drawn over two lines) opens the
# download page once per click, from either line.
case_mismatch_link_opens_the_page() {
    new_case mismatch
    export E2E_OPENED=$dir/opened.log
    : >"$E2E_OPENED"
    e2e_start "$E2E_WORK/s" "$dir/camera.json"
    step 15 "the mismatch text" last_status_is "$MISMATCH" &&
        step 10 "the main window" main_window 10 &&
        step 5 "the link drawn" test -n "$(link_places)" || return 1
    local places clicks=0 x y
    places=$(link_places)
    step 0 "the link drawn over two lines (at: $(paste -sd ',' <<<"$places"))" test "$(wc -l <<<"$places")" -eq 2 || return 1
    while read -r x y; do
        click_at "$x" "$y"
        clicks=$((clicks + 1))
        step 10 "the download page opened by click $clicks" test "$(wc -l <"$E2E_OPENED")" -ge "$clicks" || return 1
    done <<<"$places"
    # A second opening would come from the same click's handler, straight after the first.
    sleep 0.3
    local expected
    expected=$(for ((i = 0; i < clicks; i++)); do echo "$URL"; done)
    step 0 "one opening of $URL per click ($clicks clicks), not: $(paste -sd ' ' "$E2E_OPENED")" \
        test "$(cat "$E2E_OPENED")" == "$expected" &&
        step 0 "the text unchanged" last_status_is "$MISMATCH"
}

# The camera leaves a few hundred transfers into the run, while pages are being programmed: the
# "ERROR" alert, OK ends the updater with status 255 after recording the removal in the history,
# and the flash keeps what reached it (the image's first pages, the rest erased), neither the old
# firmware nor the new.
case_unplug_mid_update() {
    new_case unplug_mid_update '"unplug_after_transfers": 600'
    e2e_start "$E2E_WORK/t" "$dir/camera.json"
    offered "$OFFER" && press_update || return 1
    press Return || return 1
    local confirmed=$SECONDS
    step 20 "the ERROR alert" a_sheet_shows ERROR || return 1
    note="alert after $((SECONDS - confirmed)) s"
    local answered=$SECONDS
    press Return ERROR || return 1
    e2e_wait_exit 10
    note+=", exit $((SECONDS - answered)) s after OK"
    step 0 "exit status 255 after OK (got '${exit_status:-still running}')" test "${exit_status:-}" == 255 &&
        step 0 "the removal in the history" history_is '"result":"removed"' || return 1
    step 0 "no failure text behind the alert" bash -c '! grep -qF "$1" "$0"' "$logs/stderr.log" "$FAILED" &&
        step 0 "the flash changed" bash -c '! cmp -s "$0" "$1"' "$dir/flash.bin" "$E2E_WORK/original.flash" &&
        step 0 "the flash not the complete image" bash -c '! cmp -s "$0" "$1"' "$dir/flash.bin" "$E2E_WORK/installed.flash" || return 1
    # Where the flash first differs from the image, everything on is erased (whole pages stored).
    local differs
    differs=$(cmp "$dir/flash.bin" "$E2E_WORK/installed.flash" 2>/dev/null | sed -n 's/.* byte \([0-9]*\),.*/\1/p')
    step 0 "a flash that differs from the image" test -n "$differs" &&
        step 0 "the flash erased from byte $differs on" \
            test -z "$(tail -c +"$differs" "$dir/flash.bin" | tr -d '\377' | head -c 1)" &&
        step 0 "whole pages programmed before the removal (the first $((differs - 1)) bytes)" \
            test $(((differs - 1) % 256)) -eq 0
}

# The run's phase, from the flash commands in the trace (a command's own piece carries 4 bytes):
# erase, program, verify (reads after the programming), or none yet.
in_phase() {
    [[ $(perl -ne '$p = "erase" if /"data":"9300040[01]20/; $p = "program" if /"data":"9300040[01]02/;
        $p = "verify" if $p eq "program" && /"data":"9300040[01]03/; END { print $p // "none" }' "$dir/trace.jsonl") == "$1" ]]
}

# What the title bar's close button does: the window manager asks the window to close itself
# (xdotool's windowclose destroys it instead, which a program never sees coming).
request_close() {
    /usr/bin/python3 - "$win" <<'PY'
import sys
from Xlib import X, display
from Xlib.protocol import event
d = display.Display()
window = d.create_resource_object('window', int(sys.argv[1]))
close = event.ClientMessage(window=window, client_type=d.intern_atom('WM_PROTOCOLS'),
                            data=(32, [d.intern_atom('WM_DELETE_WINDOW'), X.CurrentTime, 0, 0, 0]))
window.send_event(close, event_mask=X.NoEventMask)
d.flush()
PY
}
quit_keys() { focus_on "$win" && xdotool key ctrl+q; }

# case_leave_during <phase> <how>: the window closed from the title bar (close) or with Ctrl-Q
# (quit), or the updater sent SIGTERM (term), while the camera is only offered (offer) or while the
# run erases, programs or reads back. Without a run it ends at once. SIGTERM lets the run finish
# first. Closing asks: Keep Updating (Ctrl-Q's case) lets it finish; Quit Anyway (the close
# button's) stops it at the next sector or page, says why in the run's log line and the history,
# and exits 1.
case_leave_during() {
    local phase=$1 how=$2 status=0 holds=$E2E_WORK/installed.flash
    new_case "${how}_during_$phase" '"erase_ms": 300, "latency_us": 1000'
    e2e_start "$E2E_WORK/t" "$dir/camera.json"
    offered "$OFFER" || return 1
    if [[ $phase == offer ]]; then
        holds=$E2E_WORK/original.flash
    else
        press_update && press Return && step 20 "the run in its $phase" in_phase "$phase" || return 1
    fi
    case $how in
        close) request_close ;;
        quit) step 5 "Ctrl-Q" quit_keys ;;
        term) kill -TERM "$pid" ;;
    esac
    if [[ $phase != offer && $how != term ]]; then
        step 5 "the question before quitting" a_sheet_shows || return 1
        if [[ $how == quit ]]; then
            press Return && step 30 "the completion text" last_status_is "$DONE" && step 0 "the updater still running" e2e_running &&
                request_close || return 1
        else
            press Tab && press space || return 1
            status=1 holds=
            local stopped
            stopped=$(sed 's/erase/the erase/; s/program/programming/; s/verify/the read-back/' <<<"$phase")
        fi
    fi
    step 30 "the updater gone" e2e_wait_exit 0 &&
        step 0 "exit status $status (got '${exit_status:-}')" test "${exit_status:-}" == "$status" || return 1
    [[ -z $holds ]] || { step 0 "the flash holding $(basename "$holds")" flash_holds "$holds"; return; }
    step 0 "stopped during $stopped" log_has "update failed after" && log_has "s: quit during $stopped" &&
        step 0 "the quit in the history" history_is '"result":"quit"' &&
        step 0 "no completion text" bash -c '! grep -qF "$1" "$0"' "$logs/stderr.log" "$DONE"
}

# The sheet belongs to its camera: the camera pulled out while the sheet asks about it and another
# plugged in, the sheet goes as Cancel would, the other is offered, and neither flash is written.
case_swap_during_the_sheet() {
    new_case swap
    cp "$E2E_WORK/original.flash" "$dir/b.flash"
    echo '[{"product": "LUMIVEX T", "flash": "flash.bin", "trace": "trace.jsonl", "plug_file": "cable"},
           {"product": "LUMIVEX T", "flash": "b.flash", "plug_file": "b.cable"}]' >"$dir/camera.json"
    e2e_start "$E2E_WORK/t" "$dir/camera.json"
    offered "$OFFER" && press_update || return 1
    rm "$dir/cable"
    touch "$dir/b.cable"
    step 10 "the sheet gone with its camera" no_sheet_shows &&
        offered "$OFFER" &&
        step 0 "neither flash written" cmp -s "$dir/flash.bin" "$dir/b.flash" &&
        step 0 "the first flash unchanged" cmp -s "$dir/flash.bin" "$E2E_WORK/original.flash"
}

# The window at the screen's top edge, the camera arriving and the run starting: the window grows
# for the ring and moves down just enough to keep its title bar and menu on the screen (1024x768).
case_grows_at_the_top() {
    new_case top '"erase_ms": 300'
    rm "$dir/cable"
    e2e_start "$E2E_WORK/t" "$dir/camera.json"
    step 15 "the connect prompt" last_status_is "$PROMPT" && step 10 "the main window" main_window 10 || return 1
    # A window manager puts its title bar above the place asked for: the window goes down by as much.
    xdotool windowmove "$win" "$win_x" 0
    step 5 "the frame moved" frame_within -100 0 || return 1
    xdotool windowmove "$win" "$win_x" $((-frame_y))
    step 5 "the frame at the top" frame_within 0 0 || return 1
    local compact=$win_h
    touch "$dir/cable"
    offered "$OFFER" && press_update && press Return &&
        step 10 "the ring layout" grown_from "$compact" || return 1
    step 0 "the frame inside the screen ($frame_x $frame_y $frame_w $frame_h)" frame_within 0 0
}
grown_from() { window_geometry && ((win_h > $1)); }
# frame_within <lowest top> <highest top>: the frame's top between them, the whole frame on the screen.
frame_within() {
    window_geometry && ((frame_y >= $1 && frame_y <= $2 && frame_x >= 0 && frame_x + frame_w <= 1024 && frame_y + frame_h <= 768))
}

# E2E_CASES="<name> …" runs only those cases; E2E_LEAVING=1 runs the ways of leaving a run instead.
cases=${E2E_CASES:-case_cancel_then_update_and_replug case_mismatch_link_opens_the_page
    case_unplug_mid_update case_swap_during_the_sheet case_grows_at_the_top}
if [[ -n ${E2E_LEAVING:-} ]]; then
    cases=
    for how in close quit term; do
        for phase in offer erase program verify; do cases+=" case_leave_during:$phase:$how"; done
    done
fi
passed=0 failed=0
for check in $cases; do
    note=
    if ${check//:/ }; then
        echo "ok: $check${note:+ ($note)}"
        passed=$((passed + 1))
    else
        failed=$((failed + 1))
    fi
    e2e_stop
done
echo "$passed passed, $failed failed"
((failed == 0))
