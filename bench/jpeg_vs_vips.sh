#!/usr/bin/env bash
# Exact JPEG split of a 17.9-megapixel progressive photo (5640 x 3172) into
# 256 x 256 tiles at quality 75 with 2 threads, beside `vips dzsave` making the
# same tiles. Goal: our time at most 0.6 x vips's. The same photo re-coded as
# a sequential (baseline) JPEG shows how much of it is the progressive decode.
# Then the lossless splits (one jpegtran run per tile), timed once: they are slow.
#   RUNS=n          runs per measurement (best wall time counts), default 5
#   SKIP_LOSSLESS=1 leave out the lossless split (minutes with a progressive source)
source "$(dirname "$0")/common.sh"
runs=${RUNS:-5}

# measure LABEL OUTDIR COMMAND...: best wall time of $runs runs, each into a
# fresh OUTDIR; prints wall and CPU seconds and peak RSS of the best run.
measure() {
  local label="$1" outdir="$2"; shift 2
  local best="" cpu rss t u s m
  for _ in $(seq "$runs"); do
    rm -rf "$outdir" "$outdir.dzi" "$outdir"_files; mkdir -p "$outdir"
    /usr/bin/time -f '%e %U %S %M' -o "$bench_out/time.txt" "$@" >/dev/null
    read -r t u s m < "$bench_out/time.txt"
    if [ -z "$best" ] || awk "BEGIN{exit !($t < $best)}"; then
      best=$t; cpu=$(awk "BEGIN{print $u + $s}"); rss=$m
    fi
  done
  printf '%-36s %6.2f s  CPU %6.2f s  peak RSS %7.1f MiB\n' "$label" "$best" "$cpu" \
    "$(awk "BEGIN{print $rss / 1024}")"
  last_seconds=$best
  last_cpu=$cpu
}

count_tiles() { find "$1" -name '*.jpg' | wc -l; }

compare() {
  local name="$1" src="$2"
  local ours="$bench_out/jpeg-exact-$name" theirs="$bench_out/vips-$name"
  measure "tessarin exact ($name)" "$ours" \
    "$tessarin" /cmd /outdir "$ours" /notmake /x 256 /y 256 /t 2 /jc /jq 75 "$src"
  local our_s=$last_seconds our_cpu=$last_cpu our_tiles
  our_tiles=$(count_tiles "$ours")
  measure "vips dzsave ($name)" "$theirs" \
    vips dzsave "$src" "$theirs" --depth one --tile-size 256 --overlap 0 --suffix '.jpg[Q=75]'
  local vips_tiles
  vips_tiles=$(count_tiles "$theirs"_files)
  awk -v o="$our_s" -v v="$last_seconds" -v oc="$our_cpu" -v vc="$last_cpu" \
      -v n="$our_tiles" -v vn="$vips_tiles" 'BEGIN {
    printf "  %d tiles (vips %d), %.0f tiles/s (vips %.0f); time ratio %.2f (goal <= 0.60), CPU ratio %.2f\n",
      n, vn, n / o, vn / v, o / v, oc / vc }'
}

compare progressive "$photo"
baseline="$bench_out/elephants-baseline.jpg"
[ -f "$baseline" ] || jpegtran -copy all -outfile "$baseline" "$photo"
compare baseline "$baseline"

[ "${SKIP_LOSSLESS:-0}" = 1 ] && exit 0
# Every jpegtran run reads the whole source again, so its cost grows with the
# file; one run of each is enough to see it.
for name in baseline progressive; do
  src=$photo
  [ "$name" = baseline ] && src=$baseline
  lossless="$bench_out/jpeg-lossless-$name"
  runs=1 measure "tessarin lossless ($name)" "$lossless" \
    "$tessarin" /cmd /outdir "$lossless" /notmake /x 256 /y 256 /t 2 /!jc "$src"
  awk -v s="$last_seconds" -v n="$(count_tiles "$lossless")" \
    'BEGIN { printf "  %d tiles, %.1f tiles/s\n", n, n / s }'
done
