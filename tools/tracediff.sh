#!/bin/sh
# tracediff.sh -- where two gridcity-replay traces first part: the frame, and the first array
# whose column differs on that line (each column hashes the dump up to the end of its array).
# Usage: tracediff.sh EXPECTED ACTUAL; exit status 0 the same, 1 they differ, 2 unreadable.
# SPDX-License-Identifier: MIT
[ $# -eq 2 ] || { echo "usage: tracediff.sh EXPECTED ACTUAL" >&2; exit 2; }
[ -r "$1" ] && [ -r "$2" ] || { echo "tracediff.sh: cannot read $1 or $2" >&2; exit 2; }
cmp -s "$1" "$2" && exit 0
awk -v want="$1" -v got="$2" '
    NR == FNR { line[FNR] = $0; n = FNR; next }
    FNR == 2 { for (i = 3; i <= NF; i++) name[i - 1] = $i } # "# frame dump cityz ..."
    FNR > n { printf "%s goes on past the end of %s, at frame %s\n", got, want, $1; bad = 1; exit }
    $0 != line[FNR] {
        if (FNR <= 2) {
            printf "the headers differ:\n  %s: %s\n  %s: %s\n", want, line[FNR], got, $0
        } else {
            split(line[FNR], w, " ")
            for (i = 3; i <= NF && $i == w[i]; i++) {}
            where = i <= NF ? name[i] : "the dump hash alone"
            printf "frame %s differs first, in %s (dump hash %s, expected %s)\n", $1, where, $2, w[2]
        }
        bad = 1
        exit
    }
    END {
        if (!bad && FNR < n) printf "%s ends at line %d, before the end of %s\n", got, FNR, want
    }
' "$1" "$2"
exit 1
