#!/usr/bin/env bash
# The bash completion as bash runs it on Tab, with the real lumivex-cli on PATH over the fleet of
# examples/: commands, each command's options, device ids, folders for --backup, files for dump.
# Usage: completion_test.sh <completion folder> <lumivex-cli> <fleet.json>
set -uo pipefail
[[ -r /usr/share/bash-completion/bash_completion ]] || { echo "bash-completion missing"; exit 77; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/path" "$work/backups" && ln -s "$2" "$work/path/lumivex-cli" && touch "$work/before.bin"
cp "$3" "$work/fleet.json" # the virtual cameras keep their flash files beside it
export PATH=$work/path:$PATH LUMIVEX_VIRTUAL_CAMERA=$work/fleet.json
source /usr/share/bash-completion/bash_completion
source "$1/lumivex-cli.bash" && source "$1/lumivex-pack.bash" && cd "$work" || exit 1
failed=0
while IFS='|' read -r line expected; do
    read -ra COMP_WORDS <<<"$line"
    [[ $line == *' ' ]] && COMP_WORDS+=('')
    COMP_LINE=$line COMP_POINT=${#line} COMP_CWORD=$((${#COMP_WORDS[@]} - 1)) COMPREPLY=()
    "_${COMP_WORDS[0]//-/_}" "${COMP_WORDS[0]}" "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}"
    got=$(printf '%s\n' "${COMPREPLY[@]}" | sort | xargs)
    [[ $got == "$expected" ]] || { echo "FAIL: '$line<Tab>' offered '$got', not '$expected'"; failed=1; }
done <<'CASES'
lumivex-cli up|update
lumivex-cli update --device |1-1 1-2 1-3 1-4
lumivex-cli list --v|--verbose --verify
lumivex-cli --jobs 2 --device 1-1 update --b|--backup
lumivex-cli update --backup b|backups
lumivex-cli dump --device 1-2 b|backups before.bin
lumivex-pack |list pack
CASES
exit $failed
