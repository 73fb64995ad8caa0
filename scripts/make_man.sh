#!/bin/sh
# Man pages from the program's own help: tessel.1 and tessel-<command>.1 for
# each command `tessel --help` lists. Usage: make_man.sh <tessel> <out-folder>
set -eu
tessel=$1
out=$2
mkdir -p "$out"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
version=$("$tessel" --version | awk '{print $2}')
help2man -N -s 1 -n "inspect Blu-ray Interactive Graphics menus and rip their pictures" \
    --version-string="$version" -o "$out/tessel.1" "$tessel"
"$tessel" --help | awk '/^Subcommands:/ {on = 1; next} on && /^  [a-z]/' |
while read -r name description; do
    printf '#!/bin/sh\nexec "%s" %s "$@"\n' "$tessel" "$name" >"$work/tessel-$name"
    chmod +x "$work/tessel-$name"
    help2man -N -s 1 -n "$description" --version-string="$version" \
        -o "$out/tessel-$name.1" "$work/tessel-$name"
done
