#!/bin/sh
# nofused.sh -- no fused multiply-add in the given binaries. One rounding instead of two changes
# the last bit of a result, and a seed must build the same city on every machine.
# Usage: nofused.sh FILE...
# SPDX-License-Identifier: MIT
status=0
for f in "$@"; do
    listing=$(objdump -d --no-show-raw-insn "$f")
    # An empty listing would pass anything: make sure the file was read.
    if ! printf '%s\n' "$listing" | grep -q -E '\s(add|cvt)[a-z0-9]*\s'; then
        echo "$f: nothing disassembled"
        status=1
    fi
    hits=$(printf '%s\n' "$listing" | grep -E -i '\s(v)?f(n)?m(add|sub|addsub|subadd)[0-9]*[ps][sd]\s' | head -n 5)
    if [ -n "$hits" ]; then
        echo "$f: fused multiply-add found:"
        echo "$hits"
        status=1
    fi
done
[ $status -eq 0 ] && echo "no fused multiply-add in: $*"
exit $status
