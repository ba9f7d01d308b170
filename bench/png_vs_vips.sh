#!/usr/bin/env bash
# Splits a 17.9-megapixel RGB PNG (5640 x 3172) into 256 x 256 PNG tiles (299
# tiles) with two threads, beside vips dzsave writing the same grid of PNG
# tiles, and beside a build whose tiles use libpng's default compression.
# Goals: time <= 0.8 x vips's, with tile bytes <= vips's.
#   RUNS=n   runs per measurement (best wall time counts), default 3
source "$(dirname "$0")/common.sh"
runs=${RUNS:-3}
src="$bench_out/elephants.png"
[ -f "$src" ] || vips copy "$photo" "$src"

png_defaults_build

ours="$bench_out/png-tiles"
measure "tessarin" "$ours" "$tessarin" /cmd /outdir "$ours" /notmake /x 256 /y 256 /t 2 "$src"
our_s=$last_seconds our_bytes=$last_bytes our_tiles=$(count_tiles "$ours" png)

defaults="$bench_out/png-tiles-defaults"
measure "tessarin, libpng defaults" "$defaults" \
  "$tessarin_png_defaults" /cmd /outdir "$defaults" /notmake /x 256 /y 256 /t 2 "$src"
defaults_s=$last_seconds

theirs="$bench_out/png-vips"
measure "vips dzsave" "$theirs" \
  vips dzsave "$src" "$theirs" --depth one --tile-size 256 --overlap 0 --suffix .png
echo "  $our_tiles tiles (vips $(count_tiles "${theirs}_files" png))"
ratio "time ratio" "$our_s" "$last_seconds" 0.80
ratio "bytes ratio" "$our_bytes" "$last_bytes" 1.00
ratio "libpng defaults, time ratio" "$defaults_s" "$last_seconds" -
