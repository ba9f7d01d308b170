#!/usr/bin/env bash
# Viewer paint times in a 1280 x 800 view, painting offscreen: the 5640 x 3172
# Elephants photo and a 12000 x 12000 24-bit image, each with the viewer's
# tile cache and with the whole image stretched at every paint. Goals: a
# repaint after the first and a scroll step at 1:1 within 8 ms, a zoom step
# within 60 ms, peak memory with the large image within 1.6 x its raster.
source "$(dirname "$0")/common.sh"
bench="$(bench_target tessarin_viewer_bench)"
echo "load average before: $(cut -d" " -f1-3 /proc/loadavg), $(nproc) cores"
# One process per run, so that each peak memory figure is its own.
for image in "$photo" "--synthetic 12000x12000"; do
  for method in "" --nocache --naive; do
    # shellcheck disable=SC2086
    QT_QPA_PLATFORM=offscreen "$bench" $image $method
  done
done
