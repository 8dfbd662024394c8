#!/bin/sh
# record.sh -- a recorded clip's frame rate against drawing and reading back alone
# SPDX-License-Identifier: MIT
#
# usage: bench/record.sh [build-dir]      (default: build)
# env:   PAIRS  runs of each kind (default 4), interleaved A B, B A, A B, ...
#        SEED   the seed (default 7); FROM, FRAMES: the clip's frames (default 61 to 240)
#        EXT    the clip's kind: mp4, webm, mkv or webp (default mp4)
#
# Both kinds of run are the same gridcity-replay --video command. In the drawing-alone runs
# ffmpeg is replaced on PATH by a sink that reads the frames from the pipe and drops them,
# so they draw, read back and pipe every frame but encode nothing; it reports the frames it
# took as ffmpeg's -progress does, without which the tool counts the clip as failed. The rates come from the
# tool's closing line: frames over the time from the first frame's drawing to the encoder's
# exit, so a recording is charged for the encoder's tail too.
set -eu

build=${1:-build}
pairs=${PAIRS:-4}
seed=${SEED:-7}
from=${FROM:-61}
frames=${FRAMES:-240}
ext=${EXT:-mp4}
tool=$build/tools/gridcity-replay
[ -x "$tool" ] || { echo "record.sh: $tool is missing; build first" >&2; exit 1; }
command -v ffmpeg >/dev/null || { echo "record.sh: needs ffmpeg (apt-get install ffmpeg)" >&2; exit 1; }

out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT INT TERM
mkdir "$out/sink"
cat >"$out/sink/ffmpeg" <<'EOF'
#!/bin/sh
# The frames' size is the tool's -video_size WxH; the count goes out as ffmpeg's -progress.
while [ $# -gt 0 ] && [ "$1" != -video_size ]; do shift; done
n=$(wc -c)
printf 'frame=%d\nprogress=end\n' $((n / (${2%x*} * ${2#*x} * 3))) >&3
EOF
chmod +x "$out/sink/ffmpeg"

# run NAME PAIR: one clip; the tool's closing line goes to $out/NAME.
run() {
    if [ "$1" = record ]; then path=$PATH; else path=$out/sink:$PATH; fi
    PATH=$path "$tool" --seed "$seed" --from "$from" --frames "$frames" \
        --video "$out/clip.$ext" 2>"$out/$1.log" ||
        { echo "record.sh: $1 run $2 failed" >&2; cat "$out/$1.log" >&2; exit 1; }
    tail -n 1 "$out/$1.log" >>"$out/$1"
    echo "  $1: $(tail -n 1 "$out/$1.log" | sed 's/^gridcity-replay: [^:]*: //')"
}

echo "record.sh: $pairs pairs, seed $seed, frames $from to $frames, .$ext"
i=1
while [ $i -le "$pairs" ]; do
    if [ $((i % 2)) -eq 1 ]; then run record $i; run alone $i; else run alone $i; run record $i; fi
    i=$((i + 1))
done

# The pairs' runs follow each other and share the machine's load of the moment, so the
# verdict goes by the median of the pairs' ratios.
paste -d '\n' "$out/record" "$out/alone" | sed 's/.* s, \([0-9.]*\) fps; a frame: drawing \([0-9.]*\) ms, reading back \([0-9.]*\) ms, waiting for ffmpeg \([0-9.]*\) ms; ffmpeg \([0-9.]*\) ms CPU/\1 \2 \3 \4 \5/' |
    awk -v ext="$ext" '
function median(a, n,   i, j, t) {
    for (i = 2; i <= n; i++) for (j = i; j > 1 && a[j-1] > a[j]; j--) { t = a[j]; a[j] = a[j-1]; a[j-1] = t }
    return n % 2 ? a[(n + 1) / 2] : (a[n / 2] + a[n / 2 + 1]) / 2
}
NR % 2 == 1 { n++; rf[n] = $1; rd[n] = $2; rr[n] = $3; rw[n] = $4; re[n] = $5 }
NR % 2 == 0 { af[n] = $1; ad[n] = $2; ar[n] = $3; ratio[n] = rf[n] / $1 }
END {
    printf "recorded:      %.2f fps; a frame: drawing %.1f ms, reading back %.1f ms, waiting for ffmpeg %.1f ms, ffmpeg %.1f ms CPU (medians)\n", median(rf, n), median(rd, n), median(rr, n), median(rw, n), median(re, n)
    printf "drawing alone: %.2f fps; a frame: drawing %.1f ms, reading back %.1f ms (medians)\n", median(af, n), median(ad, n), median(ar, n)
    mr = median(ratio, n)
    printf "recorded / alone: %.3f median of the %d pairs\n", mr, n
    if (ext == "mp4") printf "target .mp4 recording >= 0.90 of drawing alone: %s\n", (mr >= 0.90) ? "met" : "NOT met"
}'
