#!/usr/bin/env bash
# Checks the two Debian packages made from a build: their dependencies and file lists, that
# Installed-Size is what dpkg counts, that the manual pages follow --help and the changelog the
# version, and that both install side by side and purge without a trace.
# Usage: package_test.sh PACKAGE_DIR VERSION
set -euo pipefail
dir=$1
version=$2
arch=$(dpkg --print-architecture)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAILED: $*" >&2; failures=$((failures + 1)); }

deb() { echo "$dir/${1}_${version}_$arch.deb"; }
for package in quennor quennor-flash; do
    [ -f "$(deb $package)" ] || { fail "no $(basename "$(deb $package)") among: $(ls "$dir")"; exit 1; }
done
field() { dpkg-deb --field "$(deb "$1")" "$2"; }
names() { sed 's/ ([^)]*)//g'; }

# The IDE needs the tool chain; the terminal package only what its programs link.
while IFS='|' read -r package depends recommends; do
    [ "$(field "$package" Depends | names)" = "$depends" ] ||
        fail "$package Depends: $(field "$package" Depends)"
    [ "$(field "$package" Recommends)" = "$recommends" ] ||
        fail "$package Recommends: $(field "$package" Recommends)"
done <<EOF
quennor|gcc-avr, binutils-avr, avr-libc, libc6, libgcc-s1, libqt6core6, libqt6gui6, libqt6widgets6, libstdc++6|quennor-flash (= $version), qt6-translations-l10n
quennor-flash|libc6, libgcc-s1, libqt6core6, libstdc++6|qt6-translations-l10n
EOF

expected_quennor="./usr/bin/quennor -> ../lib/quennor/quennor
./usr/lib/quennor/bin/avr-gcc -> ../../../bin/avr-gcc
./usr/lib/quennor/bin/avr-objcopy -> ../../../bin/avr-objcopy
./usr/lib/quennor/quennor
./usr/share/applications/quennor.desktop
./usr/share/doc/quennor/README.md
./usr/share/doc/quennor/changelog.gz
./usr/share/doc/quennor/copyright
./usr/share/icons/hicolor/scalable/apps/quennor.svg
./usr/share/lintian/overrides/quennor
./usr/share/man/man1/quennor.1.gz"
expected_quennor_flash="./usr/bin/quennor-boardsim
./usr/bin/quennor-flash
./usr/share/doc/quennor-flash/changelog.gz
./usr/share/doc/quennor-flash/copyright
./usr/share/man/man1/quennor-boardsim.1.gz
./usr/share/man/man1/quennor-flash.1.gz"
for package in quennor quennor-flash; do
    expected_name=expected_${package//-/_}
    files=$(dpkg-deb --contents "$(deb $package)" | grep -v '^d' |
        awk '{ $1 = $2 = $3 = $4 = $5 = ""; print }' | sed 's/^ *//' | sort)
    [ "$files" = "${!expected_name}" ] ||
        fail "$package files:"$'\n'"$files"$'\n'"expected:"$'\n'"${!expected_name}"

    # dpkg's count: each file or link in KiB rounded up, one KiB for anything else.
    root=$work/$package
    dpkg-deb --extract "$(deb $package)" "$root"
    size=$(find "$root" -mindepth 1 -printf '%y %s\n' |
        awk '{ total += ($1 == "f" || $1 == "l") ? int(($2 + 1023) / 1024) : 1 } END { print total }')
    [ "$(field $package Installed-Size)" = "$size" ] ||
        fail "$package Installed-Size: $(field $package Installed-Size), files: $size KiB"
    changelog=$(zcat "$root/usr/share/doc/$package/changelog.gz" | head -1)
    [[ $changelog == "quennor ($version) "* ]] || fail "$package changelog begins: $changelog"
done

# Every option of the generated pages' --help stays in the page.
for program in quennor-flash quennor-boardsim; do
    page=$(zcat "$work/quennor-flash/usr/share/man/man1/$program.1.gz" | sed 's/\\-/-/g')
    for option in $("$work/quennor-flash/usr/bin/$program" --help | grep -o -- '--[a-z-]*' | sort -u); do
        grep -q -- "$option" <<<"$page" || fail "$program.1 lacks $option"
    done
done
exec_line=$(grep '^Exec=' "$work/quennor/usr/share/applications/quennor.desktop")
[ "$exec_line" = "Exec=quennor %f" ] || fail "desktop entry: $exec_line"
[ "$("$work/quennor-flash/usr/bin/quennor-flash" --version)" = "quennor-flash $version" ] ||
    fail "quennor-flash --version"

# Both into an empty root and out again: no file is shared, and purge leaves nothing behind.
target=$work/target
mkdir -p "$target/var/lib/dpkg/info" "$target/var/lib/dpkg/updates"
touch "$target/var/lib/dpkg/status"
dpkg=(dpkg --root="$target" --log=/dev/null --force-not-root)
"${dpkg[@]}" --force-depends --install "$(deb quennor)" "$(deb quennor-flash)" >"$work/dpkg.log" 2>&1 ||
    fail "install: $(cat "$work/dpkg.log")"
"${dpkg[@]}" --purge quennor quennor-flash >"$work/dpkg.log" 2>&1 || fail "purge: $(cat "$work/dpkg.log")"
left=$(find "$target" -mindepth 1 -not -path "$target/var*")
[ -z "$left" ] || fail "left after purge: $left"
exit $((failures > 0))
