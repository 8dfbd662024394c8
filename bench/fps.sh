#!/bin/sh
# fps.sh -- frame rate of the demo against the bare GL frames, and where a demo frame's time
# goes, under one private Xvfb
# SPDX-License-Identifier: MIT
#
# usage: bench/fps.sh [build-dir]      (default: build)
# env:   PAIRS  runs of each program (default 8), interleaved A B, B A, A B, ...
#        WARMUP frames before the clock starts (default 10)
#        FRAMES frames timed (default 50)
#        SEED   first seed; pair i builds the world of SEED + i in both programs (default 1000)
#
# The demo hands each frame to the driver (glFlush) before its 6 ms wait, so llvmpipe rasterises
# during the wait; the bare frames keep the plain calls and rasterise only from the swap on. So
# demo against bare is what the flush gains, less the demo's own code (well under a percent).
#
# Neither program is changed to count: drivers/libframeshim.so is preloaded, times the frames
# by their buffer swaps, fixes time() to the seed and posts a quit event when done. After the
# pairs, one more run of each program for each pair's seed splits its timed frames (SHIM_SPLIT,
# which drivers/frameshim.cpp describes) into the parts of the frame printed at the end.
set -eu

build=${1:-build}
pairs=${PAIRS:-8}
warmup=${WARMUP:-10}
frames=${FRAMES:-50}
seed=${SEED:-1000}

demo=$build/src/gridcity
bare=$build/bench/gridcity_bare
shim=$(cd "$build/drivers" && pwd)/libframeshim.so
replay=$build/tools/gridcity-replay
for f in "$demo" "$bare" "$shim" "$replay"; do
    [ -e "$f" ] || { echo "fps.sh: $f is missing; build first" >&2; exit 1; }
done
# The screen at the picture's size, so the demo draws it unscaled, as the bare frames do.
size=$("$replay" --help | sed -n 's/^Picture size: \([0-9]*x[0-9]*\),.*/\1/p')
[ -n "$size" ] || { echo "fps.sh: $replay --help gives no picture size" >&2; exit 1; }

# Xvfb picks a free display number itself and writes it to fd 3 once it accepts connections.
out=$(mktemp -d)
mkfifo "$out/displayfd"
Xvfb -displayfd 3 -screen 0 "${size}x24" -nolisten tcp 3>"$out/displayfd" >"$out/xvfb.log" 2>&1 &
xvfb=$!
trap 'kill $xvfb 2>/dev/null; rm -rf "$out"' EXIT INT TERM
n=$(timeout 10 head -n 1 "$out/displayfd" || true)
[ -n "$n" ] || { echo "fps.sh: Xvfb did not start" >&2; cat "$out/xvfb.log" >&2; exit 1; }

# run NAME PAIR: one measured run; its frame rate goes to $out/NAME. No session bus: the one
# the SDL layer would autolaunch outlives the display when this script's group is killed.
run() {
    name=$1 pair=$2 split=${3:-}
    case $name in
    demo*) set -- "$demo" ;;
    *) set -- "$bare" $((warmup + frames)) ;;
    esac
    DISPLAY=:$n DBUS_SESSION_BUS_ADDRESS=disabled: SHIM_WARMUP=$warmup SHIM_FRAMES=$frames \
        SHIM_SEED=$((seed + pair)) SHIM_OUT="$out/$name" SHIM_SPLIT=$split LD_PRELOAD="$shim" \
        timeout 600 "$@" >>"$out/$name.log" 2>&1 ||
        { echo "fps.sh: $name run $pair failed" >&2; cat "$out/$name.log" >&2; exit 1; }
    echo "  $name seed $((seed + pair)): $(tail -n 1 "$out/$name")"
}

echo "fps.sh: $pairs pairs, $warmup warm-up + $frames timed frames each, display :$n"
i=1
while [ $i -le "$pairs" ]; do
    if [ $((i % 2)) -eq 1 ]; then run demo $i; run bare $i; else run bare $i; run demo $i; fi
    i=$((i + 1))
done

# Medians, spread and the ratio. The two runs of a pair follow each other and share the
# machine's load of the moment, so the verdict goes by the median of the pairs' ratios.
paste "$out/demo" "$out/bare" | awk '
function median(a, n,   i, j, t) {
    for (i = 2; i <= n; i++) for (j = i; j > 1 && a[j-1] > a[j]; j--) { t = a[j]; a[j] = a[j-1]; a[j-1] = t }
    return n % 2 ? a[(n + 1) / 2] : (a[n / 2] + a[n / 2 + 1]) / 2
}
{ n++; d[n] = $1; b[n] = $7; r[n] = $1 / $7
  if (n == 1 || $1 < dmin) dmin = $1; if (n == 1 || $1 > dmax) dmax = $1
  if (n == 1 || $7 < bmin) bmin = $7; if (n == 1 || $7 > bmax) bmax = $7 }
END {
    md = median(d, n); mb = median(b, n)
    printf "demo fps: median %.3f (min %.3f, max %.3f)\n", md, dmin, dmax
    printf "bare fps: median %.3f (min %.3f, max %.3f)\n", mb, bmin, bmax
    mr = median(r, n)
    printf "demo / bare: %.4f median of the %d pairs (%.4f of the medians)\n", mr, n, md / mb
    printf "target demo >= 1.2 of bare (the flush before the wait): %s\n", (mr >= 1.2) ? "met" : "NOT met"
}'

i=1
while [ $i -le "$pairs" ]; do
    if [ $((i % 2)) -eq 1 ]; then
        run demo-split $i "$out/parts"; run bare-split $i "$out/bareparts"
    else
        run bare-split $i "$out/bareparts"; run demo-split $i "$out/parts"
    fi
    i=$((i + 1))
done

# Each part's time a frame over all the split runs of a program, and for the demo its share and
# its lowest and highest share in one run: views differ (a far one spends more of its frame
# rasterising). Each line of a split: the parts' ms a frame, the frame's, the frames.
awk -v seeds="$((seed + 1)) to $((seed + pairs))" '
BEGIN { np = split("the program'"'"'s own code (events, calcme, changecolc)|the GL calls (drawscene, glFlush)|SDL_Delay(6): rasterising the flushed frame|SDL_Delay(6): the rest|rasterisation left at the swap|the SDL layer'"'"'s clear, blit and swap|the copy to the X server", name, "|") }
FNR == NR { runs++; frames += $9
  for (p = 1; p <= np; p++) {
      t[p] += $p * $9; s = $p / $8
      if (runs == 1 || s < lo[p]) lo[p] = s; if (runs == 1 || s > hi[p]) hi[p] = s
  }
  total += $8 * $9; next }
{ bframes += $9; for (p = 1; p <= np; p++) b[p] += $p * $9; btotal += $8 * $9 }
END {
    printf "where a frame goes: %d frames of %d runs each, seeds %s; demo %.1f ms a frame, bare %.1f\n", frames, runs, seeds, total / frames, btotal / bframes
    printf "  %-52s %8s %7s %13s %8s %7s\n", "part", "demo ms", "share", "lowest-highest", "bare ms", "share"
    for (p = 1; p <= np; p++)
        printf "  %-52s %8.2f %6.2f %% %5.2f-%5.2f %% %8.2f %6.2f %%\n", name[p], t[p] / frames, 100 * t[p] / total, 100 * lo[p], 100 * hi[p], b[p] / bframes, 100 * b[p] / btotal
}' "$out/parts" "$out/bareparts"
