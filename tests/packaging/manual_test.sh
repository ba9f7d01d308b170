#!/bin/bash
# The documentation as users read it: the manual page rendered without
# warnings under a UTF-8 locale (with the result marks) and under LANG=C (with
# their ASCII stand-ins and the menus' English names, since groff's ascii
# device has no glyph for them), --help naming the GNU spellings and the
# default output folder, and every list of the formats naming those of the
# registry, as --version shows them.
# Usage: manual_test.sh SOURCE_DIR TESSARIN
# The documents are those the build made beside TESSARIN.
source_dir=$1 tessarin=$2
build=$(dirname "$tessarin")
manpage=$build/tessarin.1
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
tmp=$(mktemp -d) && trap 'rm -rf "$tmp"' EXIT

if command -v man >/dev/null; then
  for locale in C.UTF-8 C; do
    env -u LC_ALL -u LC_CTYPE LANG=$locale MANWIDTH=80 man --warnings -l "$manpage" \
      >"$tmp/$locale.txt" 2>"$tmp/$locale.log"
    [ ! -s "$tmp/$locale.log" ] || { cat "$tmp/$locale.log"; fail "man warnings under LANG=$locale"; }
  done
  for text in '○：path' '×：path【reason】' '△：path【reason】' '“アイコンへのドラッグ＆ドロップ分割実行”' \
    "'/!jc'" '“設定０”'; do
    grep -qF -- "$text" "$tmp/C.UTF-8.txt" || fail "LANG=C.UTF-8: \"$text\" is missing"
  done
  for text in 'O:path' 'x:path[reason]' '^:path[reason]' '"Split Files Dropped on the' \
    '"Settings 0"' "'/!jc'" 'default output folder'; do
    grep -qF -- "$text" "$tmp/C.txt" || fail "LANG=C: \"$text\" is missing"
  done
else
  echo "man is not installed: the manual page is not rendered"
fi

for locale in en_US.UTF-8 C; do
  LC_ALL=$locale "$tessarin" --help >"$tmp/help.txt" || fail "--help exited with $?"
  for text in '-o, --outdir DIR' '--threads' "'/!jc'" '~/Desktop' 'XDG_DESKTOP_DIR'; do
    grep -qF -- "$text" "$tmp/help.txt" || fail "--help under $locale lacks \"$text\""
  done
done
LC_ALL=en_US.UTF-8 "$tessarin" --help | grep -qF 'default output folder' ||
  fail "--help does not name the default output folder"

# The registry's formats: "  NAME  .ext .ext" lines under "Formats" in --version.
formats=$("$tessarin" --version | sed -n '/^Formats/,/^[^ ]/p' | grep '^  ')
names=$(awk '{print $1}' <<<"$formats" | paste -sd, - | sed 's/,/, /g')
[ -n "$names" ] || fail "--version lists no format"
grep -qF "raster images ($names)" "$build/Readme.txt" || fail "Readme.txt does not list the formats: $names"
# README.md keeps no list that a new format would leave stale: it sends the
# reader to the program's own.
grep -qF 'raster images (the formats and extensions `tessarin --version`' "$source_dir/README.md" ||
  fail "README.md does not point at the program's list of formats"
grep -qF "画像（${names//, /、}）" "$build/Readme.txt" || fail "Readme.txt (Japanese) does not list $names"
LC_ALL=C "$tessarin" --help | grep -qF "画像（${names//, /、}）" || fail "--help does not list $names"
LC_ALL=en_US.UTF-8 "$tessarin" --help | grep -qF "Cut images ($names) into tiles." ||
  fail "--help (English) does not list $names"
for extension in $(awk '{$1 = ""; print}' <<<"$formats"); do
  grep -qF -- "$extension" "$manpage" || fail "the manual page lacks the extension $extension"
done
for document in Readme.txt tessarin.1 tessarin.desktop io.github.tessarin.tessarin.metainfo.xml; do
  [ ! -f "$build/$document" ] || ! grep -n '@[A-Z_]*@' "$build/$document" ||
    fail "$document keeps a placeholder"
done

# The filler repeats a line per format and refuses a placeholder it does not know.
lists=$build/tessarin_format_lists
printf '<@FORMAT_MIME_TYPE@>\nme@example.org @FORMAT_NAMES_AND@.' >"$tmp/good.in"
if "$lists" "$tmp/good.in" "$tmp/good"; then
  [ "$(grep -c '^<image/[a-z.+-]*>$' "$tmp/good")" = "$(wc -l <<<"$formats")" ] &&
    [ "$(tail -n 1 "$tmp/good")" = "me@example.org $(sed 's/\(.*\), /\1 and /' <<<"$names")." ] ||
    { cat "$tmp/good"; fail "tessarin_format_lists filled the template wrongly"; }
else
  fail "tessarin_format_lists failed on a good template"
fi
printf 'MimeType=@MIME_TYPE@\n' >"$tmp/bad.in"
! "$lists" "$tmp/bad.in" "$tmp/bad" 2>/dev/null && [ ! -e "$tmp/bad" ] ||
  fail "tessarin_format_lists accepted an unknown placeholder"

[ "$failures" = 0 ] || { echo "$failures check(s) failed"; exit 1; }
echo "the documentation passed every check"
