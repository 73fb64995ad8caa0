#!/bin/sh
# `cmake --install` of a built tree into a fresh prefix: the command line, a
# man page per command (when help2man made them) and bash completion.
# Usage: install_test.sh <build-folder>
set -u
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$1" --prefix "$prefix" >/dev/null || { echo "cmake --install failed"; exit 1; }
fail=0
for f in bin/tessel share/bash-completion/completions/tessel; do
    [ -f "$prefix/$f" ] || { echo "missing: $f"; fail=1; }
done
"$prefix/bin/tessel" --version >/dev/null || { echo "tessel --version failed"; fail=1; }
if [ -d "$1/man" ]; then
    for c in "" $("$prefix/bin/tessel" --help | awk '/^Subcommands:/ {on = 1; next} on && /^  [a-z]/ {print $1}'); do
        page="$prefix/share/man/man1/tessel${c:+-$c}.1"
        grep -q -- 'quiet\|SUBCOMMANDS\|Subcommands' "$page" 2>/dev/null ||
            { echo "missing or empty man page: $page"; fail=1; }
    done
fi
exit $fail
