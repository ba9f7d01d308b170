#!/usr/bin/env bash
# Huge pictures cut band by band, beside `vips dzsave`, in one table:
#
#   case                                          peak memory              time
#   400 MP baseline JPEG, exact 1024 x 1024 tiles  <= vips's peak           <= 0.5 x vips
#   400 MP progressive JPEG, exact tiles           <= vips's peak           <= 0.6 x vips
#   400 MP RGB PNG, 1024 x 1024 tiles              <= 256 MiB               <= 0.5 x vips
#   400 MP 24-bit BMP, 1024 x 1024 tiles           <= 256 MiB
#   3.6 GP (60,000 x 60,000) baseline JPEG, exact  <= 512 MiB               <= 0.5 x vips
#   1.4 GP JPEG, lossless 1024 x 1024 tiles        <= DCT coefficients + 10 %
#   18 MP photo as a BMP, 256 x 256 tiles          <= 0.3 x the raster      <= the build before
#   18 MP progressive / baseline photo, exact 256  (no memory goal)         <= the build before
#
# "The build before" is commit 4ae78cd, which decoded every picture whole;
# its sources and build go to bench/out/before-4ae78cd/. The huge inputs are
# made once into bench/out/huge/ (about 3.2 GB, and a 1.2 GB raster while
# they are made; the tiles of each case are removed after it) from a
# 5000 x 2500 piece of the Elephants photo repeated with `vips replicate`.
# Our splits use 2 threads, exact tiles quality 75 (vips too). Peak memory
# is the maximum resident set size (/usr/bin/time). The big cases run once
# (they take minutes); the 18 MP ones keep the best of 3. A failed run
# shows as "fail" and its last output lines are printed.
#
#   HUGE_SCALE=small  a 500 x 250 piece: every huge input 1/100 of the pixels
#                     (bench/out/huge/small/), to try the script quickly
#   RUNS=n            runs of the 18 MP cases, default 3
#   BEFORE=0          leave out the build before (and its comparisons)
source "$(dirname "$0")/common.sh"
command -v python3 >/dev/null || tessarin_install_packages python3 >&2

scale=${HUGE_SCALE:-full}
case $scale in
  full) piece_w=5000 piece_h=2500 huge="$bench_out/huge" need_gib=15 ;;
  small) piece_w=500 piece_h=250 huge="$bench_out/huge/small" need_gib=1 ;;
  *) echo "HUGE_SCALE is full or small, not '$scale'" >&2; exit 2 ;;
esac
runs=${RUNS:-3}
quality=75
mkdir -p "$huge"
avail_gib=$(df -P -k "$huge" | awk 'NR == 2 { printf "%d", $4 / 1048576 }')
if (( avail_gib < need_gib )); then
  echo "Only $avail_gib GiB free under $huge; the inputs and tiles need about $need_gib GiB." >&2
  exit 1
fi
# vips keeps big decoded pictures in temporary files: beside the inputs.
export TMPDIR="$huge/tmp"
mkdir -p "$TMPDIR"

note() { echo "[$(date +%T)] $*" >&2; }

# Writes a bottom-up 24-bit BMP (40-byte header) of W x H RGB rows read from
# standard input, one row in memory at a time.
bmp_writer='
import struct, sys
w, h, path = int(sys.argv[1]), int(sys.argv[2]), sys.argv[3]
stride = (w * 3 + 3) // 4 * 4
pad = bytes(stride - w * 3)
pixels = stride * h
size = 54 + pixels
header = b"BM" + struct.pack("<IHHI", size if size < 2**32 else 0, 0, 0, 54)
header += struct.pack("<IiiHHIIiiII", 40, w, h, 1, 24, 0,
                      pixels if pixels < 2**32 else 0, 2835, 2835, 0, 0)
rows = sys.stdin.buffer
with open(path, "wb") as out:
    out.write(header)
    out.truncate(size)
    for y in range(h):
        rgb = rows.read(w * 3)
        if len(rgb) != w * 3:
            sys.exit("the raw rows end at row %d of %d" % (y, h))
        bgr = bytearray(rgb)
        bgr[0::3] = rgb[2::3]
        bgr[2::3] = rgb[0::3]
        out.seek(54 + (h - 1 - y) * stride)
        out.write(bgr + pad)
'

# Prints "WIDTH HEIGHT COEFFICIENT_BYTES" of a JPEG file: what libjpeg holds
# for jpeg_read_coefficients, each component's blocks rounded up to whole
# MCUs, 64 coefficients of 2 bytes a block.
jpeg_coefficients='
import struct, sys
with open(sys.argv[1], "rb") as f:
    if f.read(2) != b"\xff\xd8":
        sys.exit("not a JPEG file")
    while True:
        byte = f.read(1)
        if not byte:
            sys.exit("no frame header")
        if byte != b"\xff":
            continue
        marker = f.read(1)[0]
        while marker == 0xFF:
            marker = f.read(1)[0]
        if marker in (0x01, 0xD8) or 0xD0 <= marker <= 0xD7:
            continue
        length = struct.unpack(">H", f.read(2))[0]
        if 0xC0 <= marker <= 0xCF and marker not in (0xC4, 0xC8, 0xCC):
            _, h, w, n = struct.unpack(">BHHB", f.read(6))
            comps = [f.read(3) for _ in range(n)]
            hs = [c[1] >> 4 for c in comps]
            vs = [c[1] & 15 for c in comps]
            mcus_x = -(-w // (8 * max(hs)))
            mcus_y = -(-h // (8 * max(vs)))
            print(w, h, sum(mcus_x * a * mcus_y * b for a, b in zip(hs, vs)) * 128)
            break
        f.seek(length - 2, 1)
'

# --- Inputs ---------------------------------------------------------------
piece="$huge/piece.v"
made_piece=0
# need FILE: true (and a note) when FILE has still to be made.
need() { [ -f "$1" ] && return 1; note "making $(basename "$1")"; return 0; }
make_piece() {
  [ -f "$piece" ] && return
  vips crop "$photo" "$piece" 0 0 $piece_w $piece_h
  made_piece=1
}

# 400 MP: 4 x 8 pieces, 20,000 x 20,000 (small: 2,000 x 2,000).
mid_w=$((piece_w * 4)) mid_h=$((piece_h * 8))
mid_raw="$huge/rgb-$mid_w.v"
baseline_mid="$huge/baseline-$mid_w.jpg" progressive_mid="$huge/progressive-$mid_w.jpg"
png_mid="$huge/rgb-$mid_w.png" bmp_mid="$huge/rgb-$mid_w.bmp"
if [ ! -f "$baseline_mid" ] || [ ! -f "$progressive_mid" ] || [ ! -f "$png_mid" ] || [ ! -f "$bmp_mid" ]; then
  make_piece
  [ -f "$mid_raw" ] || vips replicate "$piece" "$mid_raw" 4 8
  if need "$baseline_mid"; then vips copy "$mid_raw" "$baseline_mid[Q=90]"; fi
  if need "$progressive_mid"; then vips copy "$mid_raw" "$progressive_mid[Q=90,interlace]"; fi
  if need "$png_mid"; then vips copy "$mid_raw" "$png_mid"; fi
  if need "$bmp_mid"; then
    vips rawsave_fd "$mid_raw" 1 | python3 -c "$bmp_writer" $mid_w $mid_h "$bmp_mid.part"
    mv "$bmp_mid.part" "$bmp_mid"
  fi
  rm -f "$mid_raw"
fi
# 1.4 GP: 8 x 14 pieces, 40,000 x 35,000; 3.6 GP: 12 x 24, 60,000 x 60,000.
lossless_big="$huge/baseline-$((piece_w * 8))x$((piece_h * 14)).jpg"
exact_big="$huge/baseline-$((piece_w * 12))x$((piece_h * 24)).jpg"
if need "$lossless_big"; then make_piece; vips replicate "$piece" "$lossless_big.part.jpg[Q=85]" 8 14; mv "$lossless_big.part.jpg" "$lossless_big"; fi
if need "$exact_big"; then make_piece; vips replicate "$piece" "$exact_big.part.jpg[Q=85]" 12 24; mv "$exact_big.part.jpg" "$exact_big"; fi
[ $made_piece = 1 ] && rm -f "$piece"

# 18 MP: the progressive photo, a baseline copy and a 24-bit BMP (as the
# other benchmarks make them).
baseline_photo="$bench_out/elephants-baseline.jpg"
[ -f "$baseline_photo" ] || jpegtran -copy all -outfile "$baseline_photo" "$photo"
bmp_photo="$bench_out/elephants.bmp"
[ -f "$bmp_photo" ] || djpeg -bmp "$photo" > "$bmp_photo"
photo_raster=$((5640 * 3172 * 3))

# --- The build before -----------------------------------------------------
before_commit=4ae78cd
tessarin_before=""
if [ "${BEFORE:-1}" != 0 ]; then
  before="$bench_out/before-$before_commit"
  if [ ! -f "$before/src/CMakeLists.txt" ]; then
    note "sources of $before_commit"
    rm -rf "$before/src"; mkdir -p "$before/src"
    git -C "$bench_root" archive "$before_commit" | tar -x -C "$before/src"
  fi
  if [ ! -f "$before/build/build.ninja" ]; then
    launcher=()
    command -v ccache >/dev/null &&
      launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
    cmake -S "$before/src" -B "$before/build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
      -DTESSARIN_WINDOW=OFF "${launcher[@]}" >/dev/null
  fi
  note "building $before_commit"
  nice cmake --build "$before/build" -j 2 --target tessarin >&2
  tessarin_before="$before/build/tessarin"
fi

# --- Runs -----------------------------------------------------------------
# timed N OUTDIR COMMAND...: the best wall time of N runs, each into a fresh
# OUTDIR (vips writes OUTDIR.dzi and OUTDIR_files beside it), removed after.
# Sets secs and mib (peak of that run), or both to "fail" when a run fails.
timed() {
  local n=$1 outdir=$2; shift 2
  local best="" peak="" t k rc
  for _ in $(seq "$n"); do
    rm -rf "$outdir" "$outdir.dzi" "$outdir"_files; mkdir -p "$outdir"
    rc=0
    /usr/bin/time -f '%e %M' -o "$huge/time.txt" "$@" >"$huge/run.log" 2>&1 || rc=$?
    if [ $rc != 0 ]; then
      echo "  failed (exit $rc): $*" >&2
      tail -n 5 "$huge/run.log" | sed 's/^/    /' >&2
      best=fail; break
    fi
    read -r t k < <(tail -n 1 "$huge/time.txt")
    if [ -z "$best" ] || awk "BEGIN{exit !($t < $best)}"; then best=$t; peak=$k; fi
  done
  rm -rf "$outdir" "$outdir.dzi" "$outdir"_files
  if [ "$best" = fail ]; then secs=fail mib=fail; return; fi
  secs=$best
  mib=$(awk "BEGIN{printf \"%.1f\", $peak / 1024}")
}

# ours N TILE SOURCE OPTION...: our split, 2 threads, tiles of TILE pixels.
ours() {
  local n=$1 tile=$2 src=$3; shift 3
  note "tessarin $* $(basename "$src")"
  timed "$n" "$huge/tiles-ours" "$tessarin" /cmd /outdir "$huge/tiles-ours" /notmake \
    /x "$tile" /y "$tile" /t 2 "$@" "$src"
  our_s=$secs our_mib=$mib
}
before_run() {
  local n=$1 tile=$2 src=$3; shift 3
  before_s=- before_mib=-
  [ -n "$tessarin_before" ] || return 0
  note "tessarin $before_commit $* $(basename "$src")"
  timed "$n" "$huge/tiles-before" "$tessarin_before" /cmd /outdir "$huge/tiles-before" /notmake \
    /x "$tile" /y "$tile" /t 2 "$@" "$src"
  before_s=$secs before_mib=$mib
}
# vips_run N TILE SUFFIX SOURCE
vips_run() {
  note "vips dzsave $3 $(basename "$4")"
  timed "$1" "$huge/tiles-vips" vips dzsave "$4" "$huge/tiles-vips" --depth one \
    --tile-size "$2" --overlap 0 --suffix "$3"
  vips_s=$secs vips_mib=$mib
}

# at_most LABEL VALUE LIMIT: "LABEL 12.3 <= 45.6 ok" (or "MISSED").
at_most() {
  if [ "$2" = fail ] || [ "$2" = - ] || [ "$3" = fail ] || [ "$3" = - ]; then
    echo "$1 n/a"; return
  fi
  awk -v l="$1" -v v="$2" -v m="$3" 'BEGIN {
    printf "%s %.2f <= %.2f %s", l, v, m, (v <= m ? "ok" : "MISSED") }'
}
# mul A B: A x B, or "-" when either is not a number.
mul() {
  case "$1$2" in *fail* | *-*) echo -; return ;; esac
  awk "BEGIN{printf \"%.2f\", $1 * $2}"
}
div() {
  case "$1$2" in *fail* | -* | *-) echo -; return ;; esac
  awk "BEGIN{exit !($2 == 0)}" && { echo -; return; }
  awk "BEGIN{printf \"%.2f\", $1 / $2}"
}

rows=()
format='| %-44s | %8s | %8s | %8s | %8s | %5s | %8s | %8s | %s |'
# row CASE GOALS: a table row of the last runs' numbers.
row() {
  rows+=("$(printf "$format" "$1" "$our_mib" "$our_s" "$vips_mib" "$vips_s" \
    "$(div "$our_s" "$vips_s")" "$before_mib" "$before_s" "$2")")
  echo "${rows[-1]}" >&2  # as it comes, for a run cut short
}
mp() { awk -v w="$1" -v h="$2" 'BEGIN { p = w * h / 1e6; if (p >= 1000) printf "%.1f GP", p / 1000; else printf "%.0f MP", p }'; }

# The 18 MP photo, against the build before.
raster_mib=$(awk "BEGIN{printf \"%.1f\", $photo_raster / 1048576}")
vips_s=- vips_mib=-
ours "$runs" 256 "$bmp_photo"
before_run "$runs" 256 "$bmp_photo"
row "18 MP BMP, 256 tiles" "$(at_most "MiB" "$our_mib" "$(mul 0.3 "$raster_mib")"); $(at_most "s" "$our_s" "$before_s") (before)"
for name in progressive baseline; do
  src=$photo; [ $name = baseline ] && src=$baseline_photo
  ours "$runs" 256 "$src" /jc /jq $quality
  before_run "$runs" 256 "$src" /jc /jq $quality
  vips_run "$runs" 256 ".jpg[Q=$quality]" "$src"
  row "18 MP $name JPEG, exact 256 tiles" "$(at_most "s" "$our_s" "$before_s") (before)"
done
before_s=- before_mib=-

# 400 MP.
size=$(mp $mid_w $mid_h)
for name in baseline progressive; do
  src=$baseline_mid goal=0.5
  [ $name = progressive ] && src=$progressive_mid goal=0.6
  ours 1 1024 "$src" /jc /jq $quality
  vips_run 1 1024 ".jpg[Q=$quality]" "$src"
  row "$size $name JPEG, exact 1024 tiles" \
    "$(at_most "MiB" "$our_mib" "$vips_mib") (vips); $(at_most "s" "$our_s" "$(mul $goal "$vips_s")") ($goal x vips)"
done
ours 1 1024 "$png_mid"
vips_run 1 1024 .png "$png_mid"
row "$size RGB PNG, 1024 tiles" \
  "$(at_most "MiB" "$our_mib" 256); $(at_most "s" "$our_s" "$(mul 0.5 "$vips_s")") (0.5 x vips)"
ours 1 1024 "$bmp_mid"
vips_s=- vips_mib=-
row "$size 24-bit BMP, 1024 tiles" "$(at_most "MiB" "$our_mib" 256)"

# 1.4 GP, lossless: at most the coefficients the transform holds, plus 10 %.
read -r w h coefficients < <(python3 -c "$jpeg_coefficients" "$lossless_big")
coefficient_mib=$(awk "BEGIN{printf \"%.1f\", $coefficients / 1048576}")
ours 1 1024 "$lossless_big" /!jc
row "$(mp "$w" "$h") JPEG ${w}x$h, lossless 1024 tiles" \
  "$(at_most "MiB" "$our_mib" "$(mul 1.1 "$coefficient_mib")") (coefficients $coefficients bytes + 10 %)"

# 3.6 GP, exact.
read -r w h _ < <(python3 -c "$jpeg_coefficients" "$exact_big")
ours 1 1024 "$exact_big" /jc /jq $quality
vips_run 1 1024 ".jpg[Q=$quality]" "$exact_big"
row "$(mp "$w" "$h") baseline JPEG ${w}x$h, exact 1024" \
  "$(at_most "MiB" "$our_mib" 512); $(at_most "s" "$our_s" "$(mul 0.5 "$vips_s")") (0.5 x vips)"

echo
echo "Scale: $scale. Exact tiles quality $quality; 2 threads; ratio = our seconds / vips's."
echo "18 MP rows: best of $runs runs; the others one run. Before = build of $before_commit."
printf "$format\n" "case" "ours MiB" "ours s" "vips MiB" "vips s" "ratio" "bef. MiB" "before s" "goals"
printf "$format\n" "" "" "" "" "" "" "" "" "-----" | tr ' ' '-'
printf '%s\n' "${rows[@]}"
