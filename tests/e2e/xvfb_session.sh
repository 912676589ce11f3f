# Shell helpers for driving the real updater in a virtual X server as a person would: start it on
# a virtual camera, read the status texts it logs, find its windows, look at what it drew and
# click or type into it. Sourced by the scripts that need them; defines functions and a few
# globals, runs nothing by itself.
#
# Globals: E2E_SCREEN (the folder Xvfb keeps its screen file in), TMPDIR (a folder of the run's
# own, removed with everything in it when the run ends), pid (the running updater),
# logs (the folder of its stdout.log and stderr.log), win, win_x, win_y, win_w, win_h (its main
# window, once main_window has found it) and frame_x, frame_y, frame_w, frame_h (that window's frame).

# e2e_under_xvfb <script arguments…>: the first call runs the calling script again inside xvfb-run
# and exits with its status; inside, it returns at once. Exits 77 (skipped) without xvfb-run,
# xdotool or perl.
e2e_under_xvfb() {
    [[ -n ${E2E_SCREEN:-} ]] && return 0
    if ! command -v xvfb-run >/dev/null || ! command -v xdotool >/dev/null || ! command -v perl >/dev/null; then
        echo "xvfb-run, xdotool or perl missing"
        exit 77
    fi
    # Every temporary file of the run, xvfb-run's own included, lives in one folder of ours that
    # goes when the run ends: a sweep of /tmp by someone else cannot take a piece of it away
    # half-way (xvfb-run then fails its clean-up and leaves its server running).
    local own status=0
    own=$(mktemp -d "${TMPDIR:-/tmp}/lumivex-e2e.XXXXXX") || exit 1
    # The screen also lives in a file, so that what a window drew can be read back. Searching for
    # a free display from a number of the script's own keeps two scripts that ctest starts
    # together from racing for the same one.
    mkdir "$own/screen"
    E2E_SCREEN=$own/screen TMPDIR=$own xvfb-run -a -n $((100 + $$ % 800)) \
        -s "-screen 0 1024x768x24 -fbdir $own/screen" "$0" "$@" || status=$?
    rm -rf "$own"
    exit "$status"
}

pid=
logs=

# e2e_start <resources folder> <virtual camera file> [log folder]: the updater in the background,
# its standard output in <log folder>/stdout.log and its standard error in stderr.log, its run
# history in <log folder>/state. Links it opens go through the xdg-open of $E2E_BIN when that
# folder is set.
e2e_start() {
    logs=${3:-$(dirname "$2")}
    : >"$logs/stdout.log"
    : >"$logs/stderr.log"
    mkdir -p -m 700 "$logs/runtime"
    env -u BROWSER -u DEFAULT_BROWSER -u XDG_CURRENT_DESKTOP -u DESKTOP_SESSION \
        PATH="${E2E_BIN:+$E2E_BIN:}$PATH" XDG_RUNTIME_DIR="$logs/runtime" XDG_STATE_HOME="$logs/state" \
        QT_QPA_PLATFORM=xcb LANG=C.UTF-8 LUMIVEX_RESOURCES_DIR="$1" LUMIVEX_VIRTUAL_CAMERA="$2" \
        "$UPDATER" >"$logs/stdout.log" 2>"$logs/stderr.log" &
    pid=$!
    win=
}

e2e_stop() {
    [[ -n $pid ]] || return 0
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
    pid=
}

# e2e_wait_exit <seconds>: waits for the updater to end by itself and sets exit_status; fails,
# leaving it running, when it has not ended in time. (Not in a subshell: only this shell can
# collect its child's status.)
e2e_wait_exit() {
    exit_status=
    until_true "$1" e2e_ended || return 1
    exit_status=0
    wait "$pid" || exit_status=$?
    pid=
}
e2e_ended() { ! kill -0 "$pid" 2>/dev/null; }
e2e_running() { kill -0 "$pid" 2>/dev/null; }

# until_true <seconds> <command…>: runs the command every 50 ms until it succeeds or time runs out.
until_true() {
    local deadline=$((SECONDS + $1))
    shift
    while ((SECONDS < deadline)); do
        "$@" && return 0
        sleep 0.05
    done
    "$@"
}

# One line per status text shown so far: the text with its line feeds as "\n", a tab, and the
# field's rect as "x y w h" (origin at the lower left). A text may span lines of the log.
statuses() {
    perl -0777 -ne 'while (/progressText\.frame text: (.*?)\. rect: \{\{([-\d.]+), ([-\d.]+)\}, \{([-\d.]+), ([-\d.]+)\}\}/sg) {
                        my ($t, @rect) = ($1, $2, $3, $4, $5); $t =~ s/\n/\\n/g; print "$t\t@rect\n" }' "$logs/stderr.log"
}
status_count() { statuses | wc -l; }
last_status() { statuses | tail -n 1 | cut -f1; }
last_status_is() { [[ $(last_status) == "$1" ]]; }
log_has() { grep -qF -- "$1" "$logs/stderr.log"; }
# The run history holds one line, and it has this text.
history_is() { [[ $(wc -l <"$logs/state/lumivex/history.jsonl") == 1 ]] && grep -qF -- "$1" "$logs/state/lumivex/history.jsonl"; }

# What went wrong, for a failure report: the status texts so far and the end of both logs.
e2e_evidence() {
    echo "  status texts (repeats counted):"
    statuses | cut -f1 | uniq -c | sed 's/^/  /'
    echo "  standard error (end):"
    grep -v '^match font: \|^progressText\.frame' "$logs/stderr.log" | tail -n 8 | sed 's/^/    /'
    echo "  standard output (end):"
    tail -n 4 "$logs/stdout.log" | sed 's/^/    /'
}

# main_window <seconds>: finds the updater's visible main window and its geometry.
main_window() {
    win=$(timeout "$1" xdotool search --sync --onlyvisible --limit 1 --pid "$pid" --name ' Firmware Updater$' 2>/dev/null) ||
        return 1
    window_geometry
}

# The main window's place and size now (it grows for the progress ring and shrinks back), and its
# frame's: the window manager's around it (the root window's child that holds it), or the window
# itself without one. Not xdotool's: under a window manager it counts the window's place in its
# frame twice.
window_geometry() {
    local geometry
    geometry=$(/usr/bin/python3 - "$win" 2>/dev/null <<'PY'
import sys
from Xlib import display
d = display.Display()
w = frame = d.create_resource_object('window', int(sys.argv[1]))
root = d.screen().root
at, size = root.translate_coords(w, 0, 0), w.get_geometry()
while (parent := frame.query_tree().parent) != root:
    frame = parent
f = frame.get_geometry()
print(at.x, at.y, size.width, size.height, f.x, f.y, f.width + 2 * f.border_width, f.height + 2 * f.border_width)
PY
    ) || return 1
    read -r win_x win_y win_w win_h frame_x frame_y frame_w frame_h <<<"$geometry"
}

# The updater's visible top-level windows other than the main one (its sheets and alerts), or
# those named exactly <title> when given.
other_windows() {
    local w
    for w in $(xdotool search --onlyvisible --pid "$pid" ${1:+--name "^$1\$"} 2>/dev/null); do
        [[ $w != "$win" ]] && echo "$w"
    done
}
a_sheet_shows() { [[ -n $(other_windows "$@") ]]; }
no_sheet_shows() { [[ -z $(other_windows) ]]; }

# answer_sheet <key> [title]: presses the key on the sheet showing (the one named <title> when
# given) once it holds the keyboard focus, as a person would after reading it. The key goes
# through XTEST to the focused window: without a window manager nothing else moves the focus, and
# xdotool's own wait for the focus can give up on a loaded machine, so the focus is checked here.
answer_sheet() {
    local sheet
    sheet=$(other_windows "${2:-}" | head -n 1)
    [[ -n $sheet ]] && until_true 5 focus_on "$sheet" && xdotool key "$1"
}

# focus_on <window>: whether the window holds the keyboard focus; if not, asks for it.
focus_on() {
    [[ $(xdotool getwindowfocus 2>/dev/null) == "$1" ]] && return 0
    xdotool windowfocus "$1" 2>/dev/null
    return 1
}

# screen_scan <x> <y> <w> <h> <what>: looks at a part of the screen. What is "differs": prints
# "x0 y0 x1 y1", the box around every pixel whose colour is not the part's first pixel's, or
# nothing when the part is of one colour; "link": one line "x y" per band of rows holding the blue
# of a link, at the middle of that band's blue pixels; "png:<file>": writes the part as a PNG.
screen_scan() {
    perl -e '
        use strict;
        my ($file, $x, $y, $w, $h, $what) = @ARGV;
        open(my $in, "<:raw", $file) or die "no screen file\n";
        read($in, my $header, 100) == 100 or die "short screen file\n";
        my @f = unpack("N25", $header);
        my ($byteOrder, $bitsPerPixel, $bytesPerLine, $colours) = @f[7, 11, 12, 19];
        die "not 32-bit pixels\n" unless $bitsPerPixel == 32;
        my @masks = @f[14, 15, 16];
        my @shifts = map { my $m = $_; my $s = 0; $s++ until ($m >> $s) & 1; $s } @masks;
        my $offset = $f[0] + $colours * 12;
        my ($first, @box, @bands, $band, $raw);
        for my $row ($y .. $y + $h - 1) {
            seek($in, $offset + $row * $bytesPerLine + $x * 4, 0);
            read($in, my $line, $w * 4);
            my @pixels = unpack($byteOrder ? "N*" : "V*", $line);
            if ($what =~ /^png:/) {
                $raw .= "\0" . pack("C*", map { my $p = $_; map { ($p & $masks[$_]) >> $shifts[$_] } 0 .. 2 } @pixels);
                next;
            }
            my @blue;
            for my $column (0 .. $#pixels) {
                my $p = $pixels[$column];
                if ($what eq "differs") {
                    $first = $p unless defined $first;
                    next if $p == $first;
                    my ($cx, $cy) = ($x + $column, $row);
                    @box = ($cx, $cy, $cx, $cy) unless @box;
                    $box[0] = $cx if $cx < $box[0];
                    $box[2] = $cx if $cx > $box[2];
                    $box[3] = $cy;
                } else {
                    my ($r, $g, $b) = map { ($p & $masks[$_]) >> $shifts[$_] } 0 .. 2;
                    push @blue, $x + $column if $b >= 128 && $b - $r >= 80 && $b - $g >= 40;
                }
            }
            next if $what eq "differs";
            # A line of a link: rows holding its blue, with gaps of up to 2 rows (between the
            # glyphs and their underline) inside.
            if (@blue) {
                $band = { rows => [], xs => [] } unless $band;
                push @{$band->{rows}}, $row;
                push @{$band->{xs}}, @blue;
                $band->{last} = $row;
            } elsif ($band && $row - $band->{last} > 2) {
                push @bands, $band;
                undef $band;
            }
        }
        if ($what =~ /^png:(.*)/) {
            require Compress::Zlib;
            my $chunk = sub { my ($type, $data) = @_; pack("N", length $data) . $type . $data . pack("N", Compress::Zlib::crc32($type . $data)) };
            open(my $png, ">:raw", $1) or die "cannot write $1\n";
            print $png "\x89PNG\r\n\x1a\n", $chunk->("IHDR", pack("NNC5", $w, $h, 8, 2, 0, 0, 0)),
                       $chunk->("IDAT", Compress::Zlib::compress($raw, 9)), $chunk->("IEND", "");
            exit 0;
        }
        push @bands, $band if $band;
        print "@box\n" if @box;
        for my $b (@bands) {
            my @xs = sort { $a <=> $b } @{$b->{xs}};
            my @rows = @{$b->{rows}};
            printf "%d %d\n", $xs[@xs / 2], $rows[@rows / 2];
        }' "$E2E_SCREEN/Xvfb_screen0" "$@"
}

# The Update button: the box of what is drawn in the main window's bottom strip, where the button
# sits in the compact layout and no status text reaches.
button_box() { window_geometry && screen_scan "$win_x" $((win_y + win_h - 45)) "$win_w" 45 differs; }
button_drawn() { [[ -n $(button_box) ]]; }
button_gone() { [[ -z $(button_box) ]]; }

# click_at <x> <y>: a left click there; then the pointer goes to the screen's far corner, away
# from every window, since Xvfb draws it into the screen it keeps.
click_at() {
    xdotool mousemove --sync "$1" "$2" click 1 mousemove --sync 1020 760
}

# click_update_button: a left click in the middle of the drawn button.
click_update_button() {
    local box
    read -r -a box < <(button_box)
    ((${#box[@]} == 4)) || return 1
    click_at $(((box[0] + box[2]) / 2)) $(((box[1] + box[3]) / 2))
}

# The places of a link drawn in the main window, one "x y" per line of the link.
link_places() { window_geometry && screen_scan "$win_x" "$win_y" "$win_w" "$win_h" link; }
