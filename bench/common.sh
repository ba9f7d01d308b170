# Shared by the benchmark scripts: packages, the photo, the build, and a
# timed run that reports seconds, CPU seconds, peak resident memory and bytes.
set -euo pipefail
bench_root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
bench_out="$bench_root/bench/out"
mkdir -p "$bench_out"
source "$bench_root/scripts/deps.sh"
tessarin_install_packages time mate-backgrounds libvips-tools >&2
photo=/usr/share/backgrounds/mate/abstract/Elephants_5640x3172.jpg
tessarin="$bench_root/build/tessarin"
if [ ! -f "$bench_root/build/build.ninja" ]; then
  cmake -S "$bench_root" -B "$bench_root/build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
cmake --build "$bench_root/build" -j 2 --target tessarin >&2

# bench_target TARGET: builds one of the benchmark programs and prints its path.
bench_target() {
  cmake --build "$bench_root/build" -j 2 --target "$1" >&2
  echo "$bench_root/build/$1"
}

# png_defaults_build: a build whose PNG tiles use libpng's default compression;
# sets tessarin_png_defaults to its program.
png_defaults_build() {
  local dir="$bench_out/build-png-defaults"
  if [ ! -f "$dir/build.ninja" ]; then
    cmake -S "$bench_root" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
      -DTESSARIN_PNG_LIBRARY_DEFAULTS=ON >/dev/null
  fi
  cmake --build "$dir" -j 2 --target tessarin >&2
  tessarin_png_defaults="$dir/tessarin"
}

# timed_run LABEL COMMAND...: best wall time of 3 runs, and the peak RSS of the last.
timed_run() {
  local label="$1"; shift
  local best="" t rss
  for _ in 1 2 3; do
    /usr/bin/time -f '%e %M' -o "$bench_out/time.txt" "$@" >/dev/null
    read -r t rss < "$bench_out/time.txt"
    if [ -z "$best" ] || awk "BEGIN{exit !($t < $best)}"; then best=$t; fi
  done
  printf '%-28s %8.2f s  peak RSS %8.1f MiB\n' "$label" "$best" "$(awk "BEGIN{print $rss/1024}")"
  last_seconds=$best
  last_rss_kib=$rss
}

# measure LABEL OUTDIR COMMAND...: best wall time of $runs runs (default 3),
# each into a fresh OUTDIR (vips writes OUTDIR_files beside it). Prints wall
# and CPU seconds, peak RSS and the bytes of the tiles of the best run, and
# sets last_seconds, last_cpu, last_rss_kib and last_bytes.
measure() {
  local label="$1" outdir="$2"; shift 2
  local best="" cpu="" rss="" t u s m
  for _ in $(seq "${runs:-3}"); do
    rm -rf "$outdir" "$outdir.dzi" "$outdir"_files; mkdir -p "$outdir"
    /usr/bin/time -f '%e %U %S %M' -o "$bench_out/time.txt" "$@" >/dev/null
    read -r t u s m < "$bench_out/time.txt"
    if [ -z "$best" ] || awk "BEGIN{exit !($t < $best)}"; then
      best=$t; cpu=$(awk "BEGIN{print $u + $s}"); rss=$m
    fi
  done
  local dirs=("$outdir")
  [ -d "$outdir"_files ] && dirs+=("$outdir"_files)
  last_bytes=$(find "${dirs[@]}" -type f \( -name '*.jpg' -o -name '*.png' \) -printf '%s\n' |
    awk '{n += $1} END {print n + 0}')
  printf '%-40s %7.2f s  CPU %6.2f s  peak RSS %6.1f MiB  %6.1f MB\n' "$label" "$best" "$cpu" \
    "$(awk "BEGIN{print $rss / 1024}")" "$(awk "BEGIN{print $last_bytes / 1e6}")"
  last_seconds=$best
  last_cpu=$cpu
  last_rss_kib=$rss
}

# count_tiles DIR EXT
count_tiles() { find "$1" -name "*.$2" | wc -l; }

# ratio LABEL OURS THEIRS GOAL: "LABEL ratio 0.42 (goal <= 0.60)"
ratio() {
  awk -v l="$1" -v o="$2" -v t="$3" -v g="$4" 'BEGIN { printf "  %s %.2f (goal <= %s)\n", l, o / t, g }'
}
