#!/usr/bin/env bash
# Splits a 17.9-megapixel 24-bit BMP (5640 x 3172) into 256 x 256 tiles with
# one and with two threads. Goals: peak memory at most 1.5 x the raster size
# whatever the thread count; two threads faster than one.
source "$(dirname "$0")/common.sh"
src="$bench_out/elephants.bmp"
[ -f "$src" ] || djpeg -bmp "$photo" > "$src"
raster_bytes=$(( (5640 * 3 + 3) / 4 * 4 * 3172 ))
for threads in 1 2; do
  out="$bench_out/bmp-tiles-$threads"
  rm -rf "$out"; mkdir -p "$out"
  timed_run "BMP, $threads thread(s)" "$tessarin" /cmd /outdir "$out" /notmake /x 256 /y 256 /t "$threads" "$src"
  tiles=$(ls "$out" | wc -l)
  awk -v s="$last_seconds" -v n="$tiles" -v rss="$last_rss_kib" -v raster="$raster_bytes" 'BEGIN {
    printf "  %d tiles, %.0f tiles/s, peak RSS = %.2f x raster (%.1f MiB)\n", n, n / s, rss * 1024 / raster, raster / 1048576 }'
done
