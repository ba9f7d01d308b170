#!/usr/bin/env bash
# How soon the window shows an image and what it takes meanwhile: the real
# main window, offscreen at 960 x 768, opens
#   - a 32 x 32 PNG (the window's own footprint),
#   - the 17.9-megapixel Elephants photo (progressive) and a baseline copy,
#   - the 3.6-gigapixel (60,000 x 60,000) baseline JPEG of huge_images.sh,
#     which no raster can hold: it opens reduced.
# Goals:
#   photo, progressive: first picture <= 0.25 s, whole picture <= 0.7 s, peak
#     memory above the footprint <= 1.5 x its 51.2 MiB raster (76.8 MiB)
#   3.6 GP JPEG: peak <= 1 GiB, first picture <= 10 s
#   every case: repaint <= 8 ms, zoom step <= 60 ms
# Each row is one process (its own peak); the photo's rows are the best of 3.
# With `--split`, the 3.6 GP JPEG is also cut with F3 into 1024 x 1024 exact
# tiles (an hour or so; compare them with the command mode's by hand).
source "$(dirname "$0")/common.sh"
bench="$(bench_target tessarin_window_bench)"
baseline="$bench_out/elephants-baseline.jpg"
[ -f "$baseline" ] || jpegtran -copy all -outfile "$baseline" "$photo"
huge="$bench_out/huge/baseline-60000x60000.jpg"
echo "load average before: $(cut -d" " -f1-3 /proc/loadavg), $(nproc) cores"
run() { QT_QPA_PLATFORM=offscreen "$bench" "$@" 2>/dev/null | grep -v '^F3' || true; }
run "$bench_root/tests/data/pngsuite/basn2c08.png"
for image in "$photo" "$baseline"; do
  for _ in 1 2 3; do run "$image"; done
done
if [ -f "$huge" ]; then
  if [ "${1:-}" = --split ]; then
    mkdir -p "$bench_out/window-huge-tiles"
    QT_QPA_PLATFORM=offscreen "$bench" "$huge" --split "$bench_out/window-huge-tiles"
  else
    run "$huge"
  fi
else
  echo "$huge is missing: bench/huge_images.sh makes it."
fi
