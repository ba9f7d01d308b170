#!/usr/bin/env bash
# Splits a 17.9-megapixel RGB PNG (5640 x 3172) into 256 x 256 PNG tiles with
# two threads, beside vips dzsave writing the same grid of PNG tiles.
# Goal: our time at most 0.7 x vips's. Both start from an emptied folder.
source "$(dirname "$0")/common.sh"
tessarin_install_packages hyperfine >&2
src="$bench_out/elephants.png"
[ -f "$src" ] || vips copy "$photo" "$src"
ours="$bench_out/png-tiles"
theirs="$bench_out/png-vips"
runs=${RUNS:-5}

our_cmd="$tessarin /cmd /outdir $ours /notmake /x 256 /y 256 /t 2 $src"
vips_cmd="vips dzsave $src $theirs --depth one --tile-size 256 --overlap 0 --suffix .png"
hyperfine -N -w 1 -r "$runs" --export-json "$bench_out/png_vs_vips.json" \
  --prepare "bash -c 'rm -rf $ours $theirs ${theirs}_files ${theirs}.dzi; mkdir -p $ours'" \
  -n tessarin "$our_cmd" -n vips "$vips_cmd" >&2

rm -rf "$ours" && mkdir -p "$ours"
/usr/bin/time -f '%M' -o "$bench_out/time.txt" $our_cmd >/dev/null
our_rss_kib=$(cat "$bench_out/time.txt")
tiles=$(find "$ours" -name '*.png' | wc -l)
vips_tiles=$(find "${theirs}_files" -name '*.png' | wc -l)

jq -r --arg tiles "$tiles" --arg vtiles "$vips_tiles" --arg rss "$our_rss_kib" '
  (.results[] | select(.command == "tessarin") | .median) as $o |
  (.results[] | select(.command == "vips") | .median) as $v |
  "tessarin  \($o * 1000 | round / 1000) s  \($tiles) tiles  \(($tiles | tonumber) / $o | round) tiles/s  peak RSS \(($rss | tonumber) / 1024 | round) MiB",
  "vips      \($v * 1000 | round / 1000) s  \($vtiles) tiles  \(($vtiles | tonumber) / $v | round) tiles/s",
  "ratio     \($o / $v * 100 | round / 100) (goal <= 0.7), medians of the runs"
' "$bench_out/png_vs_vips.json"
du -sb "$ours" "${theirs}_files" | awk '{printf "  %s: %.1f MB of tiles\n", $2, $1 / 1e6}'
