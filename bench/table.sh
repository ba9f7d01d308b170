#!/usr/bin/env bash
# One table for the photo (5640 x 3172, 256 x 256 tiles: 299 tiles, 2 threads):
#   - lossless JPEG tiles: in-process, and jpegtran run once per tile, 2 at a
#     time (sampled: every 15th tile, 20 of the 299, extrapolated to all);
#   - exact JPEG tiles at quality 75 beside `vips dzsave`, for the progressive
#     photo and a baseline copy of it;
#   - PNG tiles of an RGB PNG copy beside `vips dzsave … --suffix .png` and
#     beside a build using libpng's default compression, with tile bytes.
# Seconds are the best wall time of RUNS runs (default 2); peak memory is the
# "Maximum resident set size" of /usr/bin/time -v for that run.
source "$(dirname "$0")/common.sh"
runs=${RUNS:-2}
width=5640 height=3172 tile=256
raster_mib=$(awk -v w=$width -v h=$height 'BEGIN { printf "%.1f", int((w * 3 + 3) / 4) * 4 * h / 1048576 }')

baseline="$bench_out/elephants-baseline.jpg"
[ -f "$baseline" ] || jpegtran -copy all -outfile "$baseline" "$photo"
png="$bench_out/elephants.png"
[ -f "$png" ] || vips copy "$photo" "$png"
png_defaults_build

# run_v OUTDIR COMMAND...: best wall seconds of $runs runs into a fresh OUTDIR;
# sets secs, mib (peak RSS of that run) and bytes (its .jpg and .png tiles).
run_v() {
  local outdir="$1"; shift
  local best="" peak="" t m
  for _ in $(seq "$runs"); do
    rm -rf "$outdir" "$outdir.dzi" "$outdir"_files; mkdir -p "$outdir"
    /usr/bin/time -v -o "$bench_out/time-v.txt" "$@" >/dev/null 2>&1
    t=$(awk -F': ' '/Elapsed \(wall clock\)/ { n = split($2, p, ":"); s = 0;
          for (i = 1; i <= n; i++) s = s * 60 + p[i]; print s }' "$bench_out/time-v.txt")
    m=$(awk -F': ' '/Maximum resident set size/ { print $2 }' "$bench_out/time-v.txt")
    if [ -z "$best" ] || awk "BEGIN{exit !($t < $best)}"; then best=$t; peak=$m; fi
  done
  local dirs=("$outdir")
  [ -d "$outdir"_files ] && dirs+=("$outdir"_files)
  secs=$best
  mib=$(awk "BEGIN{printf \"%.0f\", $peak / 1024}")
  bytes=$(find "${dirs[@]}" -type f \( -name '*.jpg' -o -name '*.png' \) -printf '%s\n' |
    awk '{n += $1} END {print n + 0}')
}

rows=()
row() {
  rows+=("$(printf '| %-44s | %8s | %8s | %9s | %-22s |' "$@")")
  echo "${rows[-1]}" >&2  # as it comes, for a run cut short
}
mb() { awk "BEGIN{printf \"%.1f\", $1 / 1e6}"; }
div() { awk "BEGIN{printf \"%.2f\", $1 / $2}"; }

# cut OUTDIR OPTION... SOURCE: our split of SOURCE into OUTDIR, timed by run_v.
cut() { run_v "$1" "$tessarin" /cmd /outdir "$1" /notmake /x $tile /y $tile /t 2 "${@:2}"; }

# Every 15th crop of the grid, as the split asks jpegtran for it.
crops=$bench_out/crops-sample.txt
n=0; : > "$crops"
for ((y = 0; y < height; y += tile)); do
  for ((x = 0; x < width; x += tile)); do
    if (( n++ % 15 == 0 )); then
      echo "$(( width - x < tile ? width - x : tile ))x$(( height - y < tile ? height - y : tile ))+$x+$y" >> "$crops"
    fi
  done
done
all_tiles=$n sampled=$(wc -l < "$crops")

for name in progressive baseline; do
  src=$photo; [ $name = baseline ] && src=$baseline
  cut "$bench_out/t-lossless-$name" /!jc "$src"
  row "lossless $name: in-process" "$secs" "$mib" "$(mb "$bytes")" \
    "peak $(div "$mib" "$raster_mib") x raster (goal <= 1.5; <= 2 s progressive)"
  in_process=$secs
  runs=1 run_v "$bench_out/t-jpegtran-$name" bash -c 'xargs -P 2 -I{} jpegtran -copy all -crop {} \
      -outfile "$2/{}.jpg" "$3" < "$1"' _ "$crops" "$bench_out/t-jpegtran-$name" "$src"
  whole=$(awk "BEGIN{printf \"%.1f\", $secs * $all_tiles / $sampled}")
  row "lossless $name: jpegtran per tile (est.)" "$whole" "$mib" "" \
    "$(div "$whole" "$in_process") x in-process"
done

for name in progressive baseline; do
  src=$photo; [ $name = baseline ] && src=$baseline
  cut "$bench_out/t-exact-$name" /jc /jq 75 "$src"
  ours=$secs; row "exact $name: tessarin" "$secs" "$mib" "$(mb "$bytes")" ""
  run_v "$bench_out/t-vips-$name" vips dzsave "$src" "$bench_out/t-vips-$name" --depth one \
    --tile-size $tile --overlap 0 --suffix '.jpg[Q=75]'
  goal=0.60; [ $name = baseline ] && goal=0.45
  row "exact $name: vips dzsave" "$secs" "$mib" "$(mb "$bytes")" \
    "ratio $(div "$ours" "$secs") (goal <= $goal)"
done

cut "$bench_out/t-png" "$png"
ours=$secs our_bytes=$bytes; row "png: tessarin" "$secs" "$mib" "$(mb "$bytes")" ""
run_v "$bench_out/t-png-defaults" "$tessarin_png_defaults" /cmd /outdir "$bench_out/t-png-defaults" \
  /notmake /x $tile /y $tile /t 2 "$png"
defaults=$secs defaults_bytes=$bytes
row "png: tessarin, libpng defaults" "$secs" "$mib" "$(mb "$bytes")" ""
run_v "$bench_out/t-png-vips" vips dzsave "$png" "$bench_out/t-png-vips" --depth one \
  --tile-size $tile --overlap 0 --suffix .png
row "png: vips dzsave" "$secs" "$mib" "$(mb "$bytes")" \
  "ratio $(div "$ours" "$secs") (goal <= 0.80)"
rows+=("$(printf '| %-44s | %8s | %8s | %9s | %-22s |' "png: bytes ratios" "" "" "" \
  "ours/vips $(div "$our_bytes" "$bytes"), defaults/vips $(div "$defaults_bytes" "$bytes")")")
rows+=("$(printf '| %-44s | %8s | %8s | %9s | %-22s |' "png: libpng defaults time / vips" "" "" "" \
  "$(div "$defaults" "$secs")")")

echo
echo "jpegtran per tile: $sampled of $all_tiles tiles timed, scaled by $all_tiles / $sampled."
printf '| %-44s | %8s | %8s | %9s | %-22s |\n' "case (299 tiles, 2 threads)" "seconds" "peak MiB" "tiles MB" "ratio / goal"
printf '|%s|%s|%s|%s|%s|\n' "$(printf -- '-%.0s' {1..46})" "----------" "----------" "-----------" "------------------------"
printf '%s\n' "${rows[@]}"
