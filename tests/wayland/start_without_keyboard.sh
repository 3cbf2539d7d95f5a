#!/usr/bin/env bash
# Starts the real program under a headless Wayland compositor, which offers no keyboard, once
# with a file and once with a new document, and checks that it is still running a few seconds
# later: painting the empty panes must not ask the missing keyboard anything. Needs weston and
# Qt's Wayland platform plugin; exits 77 (skipped) without them. Run after a build (build/ by
# default).
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-$root/build}
command -v weston >/dev/null || { echo "weston is missing: skipped"; exit 77; }
compgen -G "/usr/lib/*/qt6/plugins/platforms/libqwayland-*.so" >/dev/null ||
    { echo "Qt's Wayland plugin is missing: skipped"; exit 77; }

work=$(mktemp -d)
chmod 700 "$work"
pids=()
cleanup() { for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done; rm -rf "$work"; }
trap cleanup EXIT

export XDG_RUNTIME_DIR=$work XDG_CONFIG_HOME=$work/config WAYLAND_DISPLAY=quennor-test
unset DISPLAY QT_IM_MODULE
weston --backend=headless-backend.so --socket="$WAYLAND_DISPLAY" --idle-time=0 \
    >"$work/weston.log" 2>&1 &
pids+=($!)
for _ in $(seq 50); do [ -S "$work/$WAYLAND_DISPLAY" ] && break; sleep 0.1; done
[ -S "$work/$WAYLAND_DISPLAY" ] || { cat "$work/weston.log" >&2; echo "weston did not start" >&2; exit 1; }

cp "$root/examples/blink.c" "$work/blink.c"
for file in "$work/blink.c" ""; do
    QT_QPA_PLATFORM=wayland "$build/quennor" ${file:+"$file"} >"$work/quennor.log" 2>&1 &
    app=$!
    pids+=("$app")
    sleep 3
    if ! kill -0 "$app" 2>/dev/null; then
        wait "$app" && status=0 || status=$?
        cat "$work/quennor.log" >&2
        echo "quennor ${file:-without a file} ended with status $status under Wayland" >&2
        exit 1
    fi
    kill "$app"
    wait "$app" || true
    echo "quennor ${file:-without a file}: still running after 3 s"
done
