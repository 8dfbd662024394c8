#!/bin/sh
# trace.sh -- seed 99's trace, frame by frame, against tests/data/trace-99.txt, which this
# build wrote. The presses come late, so up to frame 2299 the roaming camera glides as in the
# unpressed run, where a fused multiply-add or x87 rounding moves it first (frames 1825, 1835).
# Usage: trace.sh REPLAY...            compare (REPLAY: the tool, an emulator before it if need be)
#        trace.sh --update REPLAY...   rewrite the committed trace (make trace-update)
# SPDX-License-Identifier: MIT
update=false
if [ "${1:-}" = --update ]; then update=true; shift; fi
[ $# -ge 1 ] || { echo "usage: trace.sh [--update] REPLAY..." >&2; exit 2; }
here=$(dirname "$0")
want=$here/data/trace-99.txt
got=$(mktemp) || exit 1
trap 'rm -f "$got"' EXIT
"$@" --seed 99 --frames 2400 --press 2300:up --press 2350:down --press 2380:up --trace "$got" ||
    exit 1
if $update; then
    cp "$got" "$want" && echo "wrote $want"
    exit
fi
"$here/../tools/tracediff.sh" "$want" "$got" && echo "trace matches $want: frames 0 to 2400"
