#!/usr/bin/env bash
# Installs the built tree into a scratch folder (prefix /usr/local, stripped) and checks what a
# user's system would get: stripped programs, the resources folder, the menu entry and its icons,
# and the udev rule in the folder udev reads. Then the installed packager fills the installed
# resources folder with a T-kind catalogue and the installed updater, with no LUMIVEX_RESOURCES_DIR
# to guide it, must ask for a LUMIVEX T camera (without its resources it would ask for a LUMIVEX S),
# in the user's language from the string tables it carries.
#
# Usage: install_test.sh <build folder> <lumivex-mkimage> <udev rules folder> <icon sizes, ;-separated>
set -uo pipefail

build=$1
mkimage=$2
udev_rules_dir=$3
icon_sizes=$4
command -v readelf >/dev/null || { echo "readelf missing"; exit 77; }

work=$(mktemp -d)
pid=
trap '[[ -n $pid ]] && kill "$pid" 2>/dev/null; rm -rf "$work"' EXIT
stage=$work/stage
prefix=$stage/usr/local
failed=0
fail() { echo "FAIL: $*"; failed=1; }

if ! DESTDIR=$stage cmake --install "$build" --prefix /usr/local --strip >"$work/install.log" 2>&1; then
    cat "$work/install.log"
    fail "cmake --install"
    exit 1
fi

for program in lumivex-updater lumivex-cli lumivex-pack; do
    file=$prefix/bin/$program
    if [[ ! -x $file ]]; then
        fail "$program not installed in bin/"
    elif readelf -S "$file" | grep -qE '\.(debug_info|symtab)\b'; then
        fail "$program is not stripped"
    fi
done
# A machine without a desktop runs the command-line programs: they are not even linked with a GUI
# library (the linker would drop one they do not call, hiding the dependency from readelf).
for program in lumivex-cli lumivex-pack; do
    { readelf -d "$prefix/bin/$program"; [[ -f $build/build.ninja ]] && ninja -C "$build" -t commands "$program" | tail -n 1; } |
        grep -qE 'libQt6(Gui|Widgets)' && fail "$program is linked with Qt Gui or Widgets"
done

resources=$prefix/share/lumivex-updater
for file in Info.json AppIcon.png Opt; do
    [[ -e $resources/$file ]] || fail "no $file in share/lumivex-updater/"
done

desktop=$prefix/share/applications/lumivex-updater.desktop
for line in "Exec=lumivex-updater" "Icon=lumivex-updater"; do
    grep -qsx "$line" "$desktop" || fail "no desktop entry in share/applications/ with a line $line"
done

# Every theme size a PNG of that size: width and height are the IHDR's first two 32-bit words.
for size in ${icon_sizes//;/ }; do
    icon=$prefix/share/icons/hicolor/${size}x${size}/apps/lumivex-updater.png
    read -r width height < <(od -An -tu4 --endian=big -j16 -N8 "$icon" 2>/dev/null)
    [[ $(head -c 8 "$icon" 2>/dev/null | od -An -tx1 | tr -d ' \n') == 89504e470d0a1a0a && $width == "$size" &&
        $height == "$size" ]] || fail "no ${size}x$size PNG icon in icons/hicolor/ (${width:-?}x${height:-?})"
done

[[ -f $stage$udev_rules_dir/70-lumivex.rules ]] || fail "the udev rule is not in $udev_rules_dir/"
[[ ! -e $prefix/lib/udev ]] || fail "a udev folder under the prefix, which udev never reads"

# A release's catalogue, packed by the installed packager into the installed resources folder.
mkdir -p "$work/images"
"$mkimage" --version 0x0102 --product "LUMIVEX T" "$work/images/cam_RZ52940.bin" >/dev/null &&
    "$prefix/bin/lumivex-pack" pack "$work/images" "$resources" >/dev/null &&
    "$prefix/bin/lumivex-pack" list "$resources" | grep -q cam_RZ52940 ||
    fail "the installed lumivex-pack could not pack and list a catalogue"

echo '[]' >"$work/no-camera.json"
mkdir -m 700 "$work/runtime"
env -u LUMIVEX_RESOURCES_DIR -u LC_ALL -u LC_MESSAGES -u LANGUAGE QT_QPA_PLATFORM=offscreen LANG=de_DE.UTF-8 XDG_RUNTIME_DIR="$work/runtime" \
    LUMIVEX_VIRTUAL_CAMERA="$work/no-camera.json" "$prefix/bin/lumivex-updater" >/dev/null 2>"$work/stderr.log" &
pid=$!
prompt='progressText.frame text: Bitte schließen Sie Ihre Kamera LUMIVEX T an.'
for ((i = 0; i < 100; i++)); do grep -qF "$prompt" "$work/stderr.log" && break; sleep 0.1; done
grep -qF "$prompt" "$work/stderr.log" ||
    fail "the installed updater did not ask for a LUMIVEX T camera in German within 10 s; it logged: $(cat "$work/stderr.log")"

# The installed command line reads the same installed catalogue.
"$mkimage" --version 0x0100 --product "LUMIVEX T" "$work/camera.bin" >/dev/null && tail -c +5 "$work/camera.bin" >"$work/camera.flash"
echo "{\"product\": \"LUMIVEX T\", \"flash\": \"$work/camera.flash\"}" >"$work/one-camera.json"
env -u LUMIVEX_RESOURCES_DIR LUMIVEX_VIRTUAL_CAMERA="$work/one-camera.json" "$prefix/bin/lumivex-cli" list --json 2>/dev/null |
    grep -q '"image":"cam_RZ52940.bin"' || fail "the installed lumivex-cli did not offer the installed catalogue's image"

((failed == 0)) && echo "ok: installed tree complete, and the installed updater found its resources"
exit "$failed"
