#!/usr/bin/env bash
# Installs the Debian packages the build needs (as root), or names them.
set -eu
pkgs="cmake ninja-build g++ make pkg-config libpng-dev libdeflate-dev libisal-dev libgtest-dev libgmock-dev \
libbenchmark-dev libcli11-dev nlohmann-json3-dev libstb-dev libudfread-dev libgraphviz-dev graphviz \
genisoimage udftools python3-jsonschema libwebp-dev help2man"
# The desktop application (Qt 6 Widgets; its tests run offscreen, no display).
if [ "${TESSEL_GUI:-ON}" = "ON" ]; then pkgs="$pkgs qt6-base-dev"; fi
missing=""
for p in $pkgs; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
done
[ -z "$missing" ] && exit 0
if [ "$(id -u)" = 0 ]; then
  echo "Installing:$missing"
  export DEBIAN_FRONTEND=noninteractive
  apt-get install -y --no-install-recommends $missing >/dev/null 2>&1 || {
    apt-get update >/dev/null 2>&1 || true
    apt-get install -y --no-install-recommends $missing
  }
else
  echo "Missing Debian packages:$missing" >&2
  echo "Install them with: sudo apt-get install$missing" >&2
  exit 1
fi
