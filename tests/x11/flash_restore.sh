#!/usr/bin/env bash
# Minimises and restores the flash dialog of the real program under Xvfb with a window manager,
# during a pass and while it waits for OK after a failed one, and counts the erases the simulated
# board saw: one per showing. Needs xvfb, openbox, xdotool, x11-utils and x11-apps (SHOT=file.png
# also needs imagemagick); run from the source tree after a build (build/ by default).
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-$root/build}
work=$(mktemp -d)
pids=()
cleanup() { kill "${pids[@]}" 2>/dev/null || true; rm -rf "$work"; }
trap cleanup EXIT

export DISPLAY=:57
Xvfb "$DISPLAY" -screen 0 1024x768x24 >/dev/null 2>&1 & pids+=($!)
sleep 1
openbox >/dev/null 2>&1 & pids+=($!)
sleep 1

wm_state() { xprop -id "$1" WM_STATE | sed -n 's/.*window state: //p'; }
erases() { grep -c '^C ' "$work/log" || true; }
wait_for_window() { # name, seconds
    for _ in $(seq $(($2 * 10))); do
        id=$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -n1 || true)
        [ -n "$id" ] && { echo "$id"; return; }
        sleep 0.1
    done
    echo "no window '$1'" >&2; exit 1
}
minimise_and_restore() { # window
    xdotool windowminimize --sync "$1"
    [ "$(wm_state "$1")" = Iconic ] || { echo "the dialog did not become iconic" >&2; exit 1; }
    sleep 0.3
    # Restored as a taskbar click does: the window manager is asked to activate it.
    xdotool windowactivate "$1"
    sleep 0.5
    [ "$(wm_state "$1")" = Normal ] || { echo "the dialog was not restored" >&2; exit 1; }
}

pass() { # what, simulator options...
    local what=$1; shift
    rm -f "$work/board" "$work/log"
    "$build/quennor-boardsim" --link "$work/board" --log "$work/log" "$@" >/dev/null & local sim=$!
    for _ in $(seq 50); do [ -e "$work/board" ] && break; sleep 0.1; done
    cp "$root/examples/blink.c" "$work/blink.c"
    QUENNOR_PORTS="$work/board" XDG_CONFIG_HOME="$work/config" "$build/quennor" "$work/blink.c" &
    local app=$!
    main=$(wait_for_window "Quennor - $work/blink.c" 10)
    xdotool windowactivate --sync "$main" key F9
    dialog=$(wait_for_window Information 20)
    sleep 0.5
    minimise_and_restore "$dialog"          # during the pass
    echo "$what: erases after a restore mid-pass: $(erases)"
    for _ in $(seq 300); do xdotool search --onlyvisible --name '^Information$' >/dev/null || break
        [ "$what" = failing ] && grep -q '^f ' "$work/log" && sleep 2 && break; sleep 0.1; done
    if [ "$what" = failing ]; then
        minimise_and_restore "$dialog"      # waiting for OK after the failure
        sleep 1
        echo "$what: erases after a restore while waiting for OK: $(erases)"
        xwd -id "$dialog" -silent > "$work/dialog.xwd"
        [ -n "${SHOT:-}" ] && convert xwd:"$work/dialog.xwd" "$SHOT"
        xdotool windowactivate --sync "$dialog" key Return
    fi
    sleep 1
    echo "$what: erases at the end: $(erases)"
    [ "$(erases)" = 1 ] || { echo "FAILED: $(erases) erases" >&2; exit 1; }
    xdotool windowactivate --sync "$main" key alt+x
    wait "$app" || true
    kill "$sim" 2>/dev/null || true; wait "$sim" 2>/dev/null || true
}

pass sound --chip AT90S8515 --pace 115200 --erase-ms 3000
pass failing --chip AT90S8515 --pace 115200 --erase-ms 3000 --corrupt 5:0xFF00
echo "one erase per showing"
