#!/bin/sh
# headless-run.sh -- `make run` with no display: the demo on a private Xvfb, two screenshots, Up, Escape
# usage: tools/headless-run.sh BUILDDIR
# SPDX-License-Identifier: MIT
set -u
build=${1:?usage: tools/headless-run.sh BUILDDIR}
demo=$build/src/gridcity
drive=$build/drivers/gridcity-xdrive
replay=$build/tools/gridcity-replay
for f in "$demo" "$drive" "$replay"; do
    [ -x "$f" ] || { echo "headless-run: $f is missing; build first" >&2; exit 1; }
done
# The screen at the picture's size, so the screenshots show the picture unscaled.
size=$("$replay" --help | sed -n 's/^Picture size: \([0-9]*x[0-9]*\),.*/\1/p')
[ -n "$size" ] || { echo "headless-run: $replay --help gives no picture size" >&2; exit 1; }
command -v Xvfb >/dev/null || { echo "headless-run: Xvfb is not installed (Debian: xvfb)" >&2; exit 1; }

work=$(mktemp -d)
xpid= gpid=
# Whatever happens, nothing is left running and the scratch folder goes.
cleanup() {
    kill $gpid $xpid 2>/dev/null
    wait
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# Xvfb picks a free display number itself and writes it to fd 3 once it accepts connections.
mkfifo "$work/displayfd"
Xvfb -displayfd 3 -screen 0 "${size}x24" -nolisten tcp 3>"$work/displayfd" 2>"$work/xvfb.log" &
xpid=$!
number=$(timeout 20 head -n 1 "$work/displayfd")
if [ -z "$number" ]; then
    echo "headless-run: Xvfb did not start:" >&2
    cat "$work/xvfb.log" >&2
    exit 1
fi
export DISPLAY=":$number"
unset WAYLAND_DISPLAY
# No session bus: the one the SDL layer would autolaunch for the private display outlives it
# when the demo is killed.
export DBUS_SESSION_BUS_ADDRESS=disabled:
echo "headless-run: no display here; running gridcity on a private Xvfb ($DISPLAY)"

"$demo" &
gpid=$!
first=$build/headless-1.png
second=$build/headless-2.png
rm -f "$first" "$second"
"$drive" drawn 60 sleep 3000 shot "$first" key Up sleep 3000 shot "$second" key Escape
driven=$?

# Escape ends the demo within a frame or two; give it ten seconds before calling it stuck.
status=
for _ in $(seq 100); do
    if ! kill -0 "$gpid" 2>/dev/null; then
        wait "$gpid"
        status=$?
        gpid=
        break
    fi
    sleep 0.1
done
[ -f "$first" ] && echo "screenshot, roaming camera: $first"
[ -f "$second" ] && echo "screenshot, car camera (after Up): $second"
if [ -z "$status" ]; then
    echo "gridcity did not end after Escape; stopped it" >&2
    exit 1
fi
echo "gridcity exit status: $status"
[ "$driven" -eq 0 ] && [ "$status" -eq 0 ]
