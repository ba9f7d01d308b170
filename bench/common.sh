# Shared by the benchmark scripts: packages, the photo, and a timed run that
# reports seconds and peak resident memory.
set -euo pipefail
bench_root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
bench_out="$bench_root/bench/out"
mkdir -p "$bench_out"
source "$bench_root/scripts/deps.sh"
tessarin_install_packages time mate-backgrounds libvips-tools >&2
photo=/usr/share/backgrounds/mate/abstract/Elephants_5640x3172.jpg
tessarin="$bench_root/build/tessarin"
if [ ! -x "$tessarin" ]; then
  cmake -S "$bench_root" -B "$bench_root/build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  cmake --build "$bench_root/build" -j "$(nproc)" >&2
fi

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
