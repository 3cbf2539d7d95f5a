#!/usr/bin/env bash
# Flashes with the real program on Wayland, under a headless weston, and checks that the flash
# dialog's board and chip lines reach the screen before the erase ends: a screenshot taken while
# the board is searched for and one taken during a 4 s erase must differ. (When the lines were
# left to the event loop, both showed "Suche..." and "Unbekannt".) A compositor without input
# devices takes no keys, so the program is worked over AT-SPI, as a screen reader does; at the end
# the script lists the dialog's controls as a screen reader names them. Needs weston, qt6-wayland,
# at-spi2-core, dbus and python3-gi; SHOTS=folder keeps the screenshots. Run from the source tree
# after a build (build/ by default).
set -euo pipefail
if [ -z "${QUENNOR_OWN_BUS:-}" ]; then exec env QUENNOR_OWN_BUS=1 dbus-run-session -- "$0" "$@"; fi
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-$root/build}
atspi=$root/tests/wayland/atspi.py
work=$(mktemp -d)
pids=()
cleanup() { kill "${pids[@]}" 2>/dev/null || true; rm -rf "$work"; }
trap cleanup EXIT

export XDG_RUNTIME_DIR=$work/run WAYLAND_DISPLAY=wayland-quennor
mkdir -m 700 "$XDG_RUNTIME_DIR"
weston --backend=headless-backend.so --use-pixman --debug --socket="$WAYLAND_DISPLAY" \
    --width=1024 --height=768 >"$work/weston.log" 2>&1 & pids+=($!)
for _ in $(seq 50); do [ -S "$XDG_RUNTIME_DIR/$WAYLAND_DISPLAY" ] && break; sleep 0.1; done
/usr/libexec/at-spi-bus-launcher --launch-immediately >/dev/null 2>&1 & pids+=($!)
sleep 1

shot() { # file
    (cd "$work" && rm -f wayland-screenshot*.png && weston-screenshooter && mv wayland-screenshot*.png "$1")
    [ -z "${SHOTS:-}" ] || cp "$1" "$SHOTS/"
}

# A line so slow that the search takes seconds; the link's time-outs are made for 115200 baud, so
# the pass then fails at the first block and the dialog stays open at the end.
"$build/quennor-boardsim" --link "$work/board" --log "$work/log" --chip AT90S8515 --pace 300 \
    --erase-ms 4000 >/dev/null & pids+=($!)
for _ in $(seq 50); do [ -e "$work/board" ] && break; sleep 0.1; done
cp "$root/examples/blink.c" "$work/blink.c"
QT_QPA_PLATFORM=wayland QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 \
    QUENNOR_PORTS="$work/board" XDG_CONFIG_HOME="$work/config" "$build/quennor" "$work/blink.c" \
    >"$work/quennor.log" 2>&1 &
pids+=($!)

"$atspi" press "Kompilieren & Flashen"
"$atspi" wait Information
shot "$work/searching.png"
if grep -q '^O ' "$work/log"; then echo "the board was found before the first screenshot" >&2; exit 1; fi
for _ in $(seq 300); do grep -q '^C ' "$work/log" && break; sleep 0.1; done
sleep 1
shot "$work/erasing.png"
grep -q '^C ' "$work/log" && ! grep -q '^P\|^F' "$work/log" ||
    { echo "the second screenshot missed the erase" >&2; exit 1; }
if "$root/tests/wayland/samepixels.py" "$work/searching.png" "$work/erasing.png" 32; then
    echo "FAILED: during the erase the screen still showed the search" >&2
    exit 1
fi
echo "the board and chip lines were on the screen during the erase"
for _ in $(seq 600); do grep -q '^M 00' "$work/log" && break; sleep 0.1; done
sleep 1
shot "$work/failed.png"
"$atspi" names Information
