#!/usr/bin/env bash
# Makes the Debian package from a build and checks its control fields, its file list and that
# its programs are where the desktop entry and the command path look for them.
# Usage: package_test.sh BUILD_DIR VERSION
set -euo pipefail
build=$1
version=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAILED: $*" >&2; failures=$((failures + 1)); }

cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work" >"$work/cpack.log" ||
    { cat "$work/cpack.log" >&2; exit 1; }
deb=$work/quennor_${version}_$(dpkg --print-architecture).deb
[ -f "$deb" ] || { fail "no $(basename "$deb") among: $(ls "$work")"; exit 1; }

field() { dpkg-deb --field "$deb" "$1"; }
[ "$(field Package)" = quennor ] || fail "Package: $(field Package)"
[ "$(field Version)" = "$version" ] || fail "Version: $(field Version)"
[ -n "$(field Maintainer)" ] || fail "no Maintainer"
# The tool chain first, then what dpkg-shlibdeps found the programs linked against.
depends=$(field Depends)
[[ $depends == "gcc-avr, binutils-avr, avr-libc, "* ]] || fail "Depends: $depends"
for library in libc6 libstdc++6 libqt6core6 libqt6gui6 libqt6widgets6; do
    [[ $depends == *"$library (>= "* ]] || fail "Depends lacks $library: $depends"
done

expected="./usr/bin/quennor -> ../lib/quennor/quennor
./usr/bin/quennor-boardsim -> ../lib/quennor/quennor-boardsim
./usr/bin/quennor-flash
./usr/lib/quennor/bin/avr-gcc -> /usr/bin/avr-gcc
./usr/lib/quennor/bin/avr-objcopy -> /usr/bin/avr-objcopy
./usr/lib/quennor/quennor
./usr/lib/quennor/quennor-boardsim
./usr/share/applications/quennor.desktop
./usr/share/doc/quennor/README.md
./usr/share/icons/hicolor/scalable/apps/quennor.svg"
files=$(dpkg-deb --contents "$deb" | grep -v '^d' | awk '{ $1 = $2 = $3 = $4 = $5 = ""; print }' |
    sed 's/^ *//' | sort)
[ "$files" = "$expected" ] || fail "files:"$'\n'"$files"$'\n'"expected:"$'\n'"$expected"

root=$work/root
dpkg-deb --extract "$deb" "$root"
exec_line=$(grep '^Exec=' "$root/usr/share/applications/quennor.desktop")
[ "$exec_line" = "Exec=quennor %f" ] || fail "desktop entry: $exec_line"
[ -x "$root/usr/lib/quennor/quennor" ] || fail "the IDE is not executable"
[ "$("$root/usr/bin/quennor-flash" --version)" = "quennor-flash $version" ] ||
    fail "quennor-flash --version"
exit $((failures > 0))
