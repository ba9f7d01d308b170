#!/bin/bash
# The documentation as users read it: the manual page rendered without
# warnings under a UTF-8 locale (with the result marks) and under LANG=C (with
# their ASCII stand-ins and the menus' English names, since groff's ascii
# device has no glyph for them), and --help naming the GNU spellings and the
# default output folder.
# Usage: manual_test.sh SOURCE_DIR TESSARIN
source_dir=$1 tessarin=$2
manpage=$source_dir/resources/tessarin.1
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

[ "$failures" = 0 ] || { echo "$failures check(s) failed"; exit 1; }
echo "the documentation passed every check"
