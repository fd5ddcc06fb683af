#!/usr/bin/env bash
# Screenshots as a user meets the program: the real executable on a private X server (Xvfb),
# driven by mouse clicks and key presses from xdotool against the relay controller simulator.
#   tools/screenshots.sh BUILD_DIR OUT_DIR
# Saves one PNG per state into OUT_DIR, each cut to the main window's rectangle (the boxes and
# dialogs come up over it).
set -euo pipefail
build=$(cd "${1:?usage: screenshots.sh BUILD_DIR OUT_DIR}" && pwd)
out=${2:?usage: screenshots.sh BUILD_DIR OUT_DIR}
mkdir -p "$out"
out=$(cd "$out" && pwd)

for tool in Xvfb xdotool import; do
    command -v "$tool" >/dev/null || { echo "screenshots: $tool is missing" >&2; exit 1; }
done

runtime=$(mktemp -d /tmp/run-user-XXXX)
pids=()
cleanup() {
    for ((i = ${#pids[@]} - 1; i >= 0; i--)); do kill "${pids[i]}" 2>/dev/null || true; done
    wait 2>/dev/null || true
    rm -rf "$runtime"
}
trap cleanup EXIT

# A private display: the first free number from 90 on.
for n in $(seq 90 199); do
    [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] || { display=:$n; break; }
done
Xvfb "$display" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
pids+=($!)
for _ in $(seq 100); do [ -e "/tmp/.X11-unix/X${display#:}" ] && break; sleep 0.05; done
# The program remembers the last port under XDG_CONFIG_HOME: a folder of the run's own, so the
# shots do not depend on what this user connected to last.
export DISPLAY=$display XDG_RUNTIME_DIR=$runtime XDG_CONFIG_HOME=$runtime/config QT_QPA_PLATFORM=xcb
chmod 700 "$runtime"

# The box holds a configuration of its own, with some boxes ticked on both pages that have them.
cat >"$runtime/box.state" <<'EOF'
relay.1.on = "LAMP ON"
relay.1.off = "LAMP OFF"
relay.3.on = "PUMP ON"
relay.3.off = "PUMP OFF"
input.1.opened = "DOOR OPEN"
input.1.closed = "DOOR CLOSED"
telephone.1.number = "09121234567"
telephone.2.number = "09357654321"
telephone.1.incoming = true
telephone.3.incoming = true
telephone.4.incoming = true
telephone.1.outgoing = true
telephone.3.outgoing = true
relay.1.state = true
relay.3.state = true
relay.6.state = true
relay.10.state = true
relay.11.state = true
EOF
"$build/relay-sim" --quiet --state "$runtime/box.state" &
sim=$!
pids+=("$sim")
"$build/relay-sim" --quiet --name silent --no-answer &
pids+=($!)
for _ in $(seq 100); do
    [ -L "$runtime/serial/relay-sim" ] && [ -L "$runtime/serial/silent" ] && break
    sleep 0.05
done

"$build/morvel-sms-controller" &
pids+=($!)
find_window() { # NAME-PATTERN: the id of the visible window so named, waiting up to 20 s
    local id
    id=$(timeout 20 xdotool search --sync --onlyvisible --name "$1" | head -n1) || true
    [ -n "$id" ] || { echo "screenshots: no window named $1 came up" >&2; exit 1; }
    echo "$id"
}
main=$(find_window '^Morvel SMS Controller ')
eval "$(xdotool getwindowgeometry --shell "$main")"
mx=$X my=$Y

click() { # X Y relative to the main window
    xdotool mousemove --sync $((mx + $1)) $((my + $2)) click 1
}
box_ok() { # clicks OK in the box that is up (its caption is the bare title), bottom right
    local id
    id=$(find_window '^Morvel SMS Controller$')
    sleep 0.5 # placed once shown, when its size is known
    eval "$(xdotool getwindowgeometry --shell "$id")"
    xdotool mousemove --sync $((X + WIDTH - 44)) $((Y + HEIGHT - 23))
    sleep 0.3
    xdotool click 1
}
shot() { # NAME: the main window's rectangle as the screen shows it
    sleep 0.6
    import -window root -crop "720x602+$mx+$my" +repage -strip "$out/$1.png"
    echo "screenshots: $1.png"
}
dialog() { # waits for the port dialog; sets dx dy
    local id
    id=$(find_window '^Setting$')
    eval "$(xdotool getwindowgeometry --shell "$id")"
    dx=$X dy=$Y
}
# Without a window manager nothing hands the dialog the keyboard: a click in its field does.
choose() { # PORT: typed over the field's whole text, then OK
    dialog
    xdotool mousemove --sync $((dx + 99)) $((dy + 63)) click 1 key ctrl+a
    xdotool type --delay 15 "$1"
    xdotool mousemove --sync $((dx + 72)) $((dy + 176)) click 1
}

shot main-window

click 238 30 # Connect, no port chosen yet: the dialog
dialog
xdotool mousemove --sync $((dx + 175)) $((dy + 63)) click 1 # its list dropped down
shot port-dialog
xdotool mousemove --sync $((dx + 110)) $((dy + 120)) click 1 # a click beside the list closes it

choose "$runtime/serial/silent"
sleep 1.6 # the handshake's pause, unanswered
shot device-not-detected
box_ok

click 238 30
choose "$runtime/serial/relay-sim"
sleep 1.6
shot connected

click 50 30 # Import
sleep 2
shot page-output
click 165 75
shot page-input
click 270 75
shot page-tell-number
click 367 75
shot page-config
click 60 75

click 331 30 # About
shot about
about=$(find_window '^About$')
eval "$(xdotool getwindowgeometry --shell "$about")"
xdotool mousemove --sync $((X + 150)) $((Y + 100)) click 1

click 145 30 # Export
sleep 4
shot export
sleep 27 # the export's paced records

click 238 30 # DisConnect
kill "$sim"  # the simulator goes away with its port
wait "$sim" 2>/dev/null || true
click 238 30 # Connect again to the same, now missing, port
sleep 0.5
shot error-box
box_ok

click 667 30 # Exit
