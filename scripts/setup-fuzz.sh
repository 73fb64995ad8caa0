#!/bin/sh
# Packages `make fuzz` needs besides those of scripts/setup.sh: Debian's
# clang 14 and its libFuzzer / sanitizer runtimes. Installs what is missing
# when run as root; otherwise names the packages and fails.
set -e
missing=""
for p in clang-14 libclang-rt-14-dev; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed" || missing="$missing $p"
done
[ -z "$missing" ] && exit 0
if [ "$(id -u)" -eq 0 ]; then
    apt-get update && apt-get install -y --no-install-recommends $missing
else
    echo "setup-fuzz: missing packages:$missing (install them as root)" >&2
    exit 1
fi
