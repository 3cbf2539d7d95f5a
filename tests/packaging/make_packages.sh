#!/usr/bin/env bash
# Makes the Debian packages of a build into a fresh folder, for the checks that follow.
# Usage: make_packages.sh BUILD_DIR PACKAGE_DIR
set -euo pipefail
build=$1
out=$2
rm -rf "$out"
mkdir -p "$out"
cpack -G DEB --config "$build/CPackConfig.cmake" -B "$out" >"$out/cpack.log" 2>&1 ||
    { cat "$out/cpack.log" >&2; exit 1; }
