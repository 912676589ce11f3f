#!/usr/bin/env bash
# What desktops and software centres read of the installed updater: the menu entry and the AppStream
# entry as the updater's package installs them, judged by the validators they use. The menu entry
# is named in every language the updater speaks (text/translations/lumivex_<language>.ts).
#
# Usage: metadata_test.sh <build folder> <source folder>
set -uo pipefail

build=$1
source=$2
for tool in appstreamcli desktop-file-validate; do
    command -v "$tool" >/dev/null || { echo "$tool missing"; exit 77; }
done
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
failed=0
fail() { echo "FAIL: $*"; failed=1; }

DESTDIR=$stage cmake --install "$build" --component updater --prefix /usr >/dev/null || fail "cmake --install --component updater"
desktop=$stage/usr/share/applications/lumivex-updater.desktop
desktop-file-validate "$desktop" || fail "desktop-file-validate rejects the desktop entry"
appstreamcli validate --no-net "$stage"/usr/share/metainfo/com.lumivex.Updater.metainfo.xml || fail "appstreamcli rejects the metainfo"

for table in "$source"/text/translations/lumivex_*.ts; do
    language=$(basename "$table" .ts) language=${language#lumivex_}
    [[ $language == en ]] && continue
    for key in Name Comment Keywords; do
        grep -q "^$key\[$language\]=" "$desktop" || fail "the desktop entry has no $key[$language]"
    done
done
((failed == 0)) && echo "ok: the installed desktop entry and AppStream entry are valid"
exit "$failed"
