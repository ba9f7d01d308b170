#!/usr/bin/env bash
# JPEG splits of the 17.9-megapixel progressive photo (5640 x 3172) and of a
# sequential (baseline) copy into 256 x 256 tiles (299 tiles) with 2 threads.
#
# Exact tiles at quality 75 beside `vips dzsave` making the same tiles.
#   Goals: time <= 0.6 x vips (progressive), <= 0.45 x vips (baseline).
# Lossless tiles cut in-process, beside jpegtran run once per tile, 2 at a
# time (what the split did before), whose tiles must be the same bytes.
#   Goals: progressive photo in <= 2 s; peak memory <= 1.5 x the decoded raster.
#
#   RUNS=n            runs per measurement (best wall time counts), default 3
#   SKIP_JPEGTRAN=1   leave out jpegtran per tile (about 2.5 minutes)
source "$(dirname "$0")/common.sh"
runs=${RUNS:-3}
width=5640 height=3172 tile=256
raster_bytes=$(( (width * 3 + 3) / 4 * 4 * height ))

baseline="$bench_out/elephants-baseline.jpg"
[ -f "$baseline" ] || jpegtran -copy all -outfile "$baseline" "$photo"
source_of() { if [ "$1" = baseline ]; then echo "$baseline"; else echo "$photo"; fi; }

echo "== Exact tiles, quality 75"
for name in progressive baseline; do
  src=$(source_of "$name")
  ours="$bench_out/jpeg-exact-$name" theirs="$bench_out/vips-$name"
  measure "tessarin exact ($name)" "$ours" \
    "$tessarin" /cmd /outdir "$ours" /notmake /x $tile /y $tile /t 2 /jc /jq 75 "$src"
  our_s=$last_seconds our_cpu=$last_cpu our_tiles=$(count_tiles "$ours" jpg)
  measure "vips dzsave ($name)" "$theirs" \
    vips dzsave "$src" "$theirs" --depth one --tile-size $tile --overlap 0 --suffix '.jpg[Q=75]'
  echo "  $our_tiles tiles (vips $(count_tiles "${theirs}_files" jpg))"
  goal=0.60; [ "$name" = baseline ] && goal=0.45
  ratio "time ratio" "$our_s" "$last_seconds" $goal
  ratio "CPU ratio " "$our_cpu" "$last_cpu" -
done

# Sorted digests of a folder's tiles: equal when both hold the same files.
tile_digest() { find "$1" -name '*.jpg' -exec md5sum {} + | cut -d' ' -f1 | sort | md5sum | cut -c1-32; }

# The crop of every tile of the grid, as the split asks for it.
crops() {
  local x y
  for ((y = 0; y < height; y += tile)); do
    for ((x = 0; x < width; x += tile)); do
      echo "$(( width - x < tile ? width - x : tile ))x$(( height - y < tile ? height - y : tile ))+$x+$y"
    done
  done
}

echo "== Lossless tiles"
crops > "$bench_out/crops.txt"
for name in progressive baseline; do
  src=$(source_of "$name")
  ours="$bench_out/jpeg-lossless-$name"
  measure "tessarin lossless ($name)" "$ours" \
    "$tessarin" /cmd /outdir "$ours" /notmake /x $tile /y $tile /t 2 /!jc "$src"
  awk -v n="$(count_tiles "$ours" jpg)" -v s="$last_seconds" -v rss="$last_rss_kib" \
      -v raster="$raster_bytes" 'BEGIN {
    printf "  %d tiles, %.0f tiles/s, peak RSS = %.2f x the decoded raster (%.1f MiB)\n",
      n, n / s, rss * 1024 / raster, raster / 1048576 }'
  [ "$name" = progressive ] && awk -v s="$last_seconds" 'BEGIN { printf "  %.2f s (goal <= 2 s)\n", s }'
  in_process=$last_seconds

  [ "${SKIP_JPEGTRAN:-0}" = 1 ] && continue
  theirs="$bench_out/jpegtran-$name"
  runs=1 measure "jpegtran per tile, 2 at a time ($name)" "$theirs" \
    bash -c 'crops=$1 out=$2 src=$3
      xargs -P 2 -I{} jpegtran -copy all -crop {} -outfile "$out/{}.jpg" "$src" < "$crops"' \
    _ "$bench_out/crops.txt" "$theirs" "$src"
  echo "  peak RSS is that of one jpegtran process"
  awk -v a="$last_seconds" -v b="$in_process" 'BEGIN { printf "  in-process is %.0f x faster\n", a / b }'
  if [ "$(tile_digest "$ours")" = "$(tile_digest "$theirs")" ]; then
    echo "  tiles byte-identical to jpegtran's"
  else
    echo "  TILES DIFFER from jpegtran's"
  fi
done
