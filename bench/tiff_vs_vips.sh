#!/usr/bin/env bash
# Splits a 26,000 x 26,000 RGB TIFF (LZW with the horizontal predictor, in
# strips: 676 megapixels, 2 GB of pixels) into 1024 x 1024 tiles with two
# threads, beside vips dzsave making the same grid (--depth one) twice: with
# its default JPEG tiles, and with LZW TIFF tiles as ours are.
# Goals: time <= 0.7 x vips's and peak memory <= vips's.
#   RUNS=n   runs per measurement (best wall time counts), default 1
#   TIFF_SCALE=small  a 2,600 x 2,600 input instead, to try the script
source "$(dirname "$0")/common.sh"
runs=${RUNS:-1}
side=26000
[ "${TIFF_SCALE:-}" = small ] && side=2600
src="$bench_out/huge-lzw-$side.tif"
if [ ! -f "$src" ]; then
  # The photo stretched to a square and cut to the side, as strips of LZW.
  vips resize "$photo" "$bench_out/stretched.v" "$(awk "BEGIN{print $side / 5640 + 0.0001}")" \
    --vscale "$(awk "BEGIN{print $side / 3172 + 0.0001}")" >&2
  vips crop "$bench_out/stretched.v" "$src"[compression=lzw,predictor=horizontal] 0 0 "$side" "$side" >&2
  rm -f "$bench_out/stretched.v"
fi
echo "input: $src ($(du -m "$src" | cut -f1) MB), 1024 x 1024 tiles, 2 threads"

ours="$bench_out/tiff-tiles"
measure "tessarin (TIFF, LZW)" "$ours" "$tessarin" /cmd /outdir "$ours" /notmake /x 1024 /y 1024 /t 2 "$src"
our_s=$last_seconds our_rss=$last_rss_kib
echo "  $(count_tiles "$ours" tif) tiles"

theirs="$bench_out/tiff-vips-jpeg"
measure "vips dzsave (JPEG)" "$theirs" \
  vips dzsave "$src" "$theirs" --depth one --tile-size 1024 --overlap 0
jpeg_s=$last_seconds jpeg_rss=$last_rss_kib

theirs="$bench_out/tiff-vips-tiff"
measure "vips dzsave (TIFF, LZW)" "$theirs" \
  vips dzsave "$src" "$theirs" --depth one --tile-size 1024 --overlap 0 \
  --suffix ".tif[compression=lzw,predictor=horizontal]"
ratio "time ratio, vips JPEG tiles" "$our_s" "$jpeg_s" 0.70
ratio "time ratio, vips TIFF tiles" "$our_s" "$last_seconds" 0.70
ratio "peak memory ratio, vips JPEG tiles" "$our_rss" "$jpeg_rss" 1.00
ratio "peak memory ratio, vips TIFF tiles" "$our_rss" "$last_rss_kib" 1.00
