#!/usr/bin/env bash
# Runs lintian, Debian's own package checker, on every package in a folder: an error, a warning
# or an info tag fails. The developers' build is not compiled with Debian's hardening flags, so
# for its packages (--test-build) the hardening tags are left out.
# Usage: lintian_test.sh [--test-build] PACKAGE_DIR; exits 77 (skipped) without lintian.
set -euo pipefail
suppress=()
if [ "$1" = --test-build ]; then
    suppress=(--suppress-tags hardening-no-bindnow,hardening-no-fortify-functions)
    shift
fi
command -v lintian >/dev/null || { echo "lintian is not installed: skipped"; exit 77; }
shopt -s nullglob
packages=("$1"/*.deb)
[ ${#packages[@]} -gt 0 ] || { echo "FAILED: no package in $1" >&2; exit 1; }
lintian --display-info --fail-on error,warning,info "${suppress[@]}" "${packages[@]}"
