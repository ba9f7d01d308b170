#!/usr/bin/env bash
# Installs the built tree into a temporary prefix, as a user or a distribution
# would, and checks what lands there: only tessarin on PATH, stripped
# programs, a desktop entry, AppStream data and manual page that their tools
# accept, the window program and the read-me where the programs look for them,
# and a command-mode split by the installed program.
#
# install_test.sh CMAKE BUILD_DIR SOURCE_DIR VERSION BINDIR WINDOW_DIR DATADIR MANDIR DOCDIR DOC_FROM_WINDOW
# (the directories relative to the prefix, as the install rules use them)
set -u
cmake=$1 build=$2 source=$3 version=$4
bindir=$5 windowdir=$6 datadir=$7 mandir=$8 docdir=$9 doc_from_window=${10}

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
prefix=$tmp/prefix
failures=0

fail() {
  echo "FAILED: $*"
  failures=$((failures + 1))
}

has_tool() {
  command -v "$1" >/dev/null && return 0
  echo "skipped: $1 is not installed (scripts/deps.sh installs it)"
  return 1
}

if ! "$cmake" --install "$build" --prefix "$prefix" --strip >"$tmp/install.log" 2>&1; then
  cat "$tmp/install.log"
  echo "FAILED: cmake --install"
  exit 1
fi

tessarin=$prefix/$bindir/tessarin
window=$prefix/$windowdir/tessarin-window
desktop=$prefix/$datadir/applications/tessarin.desktop
metainfo=$prefix/$datadir/metainfo/io.github.tessarin.tessarin.metainfo.xml
manpage=$prefix/$mandir/man1/tessarin.1

on_path=$(ls -A "$prefix/$bindir")
[ "$on_path" = tessarin ] || fail "$bindir holds '$on_path', not tessarin alone"
[ -x "$window" ] || fail "no window program at $windowdir/tessarin-window"
for f in "$desktop" "$metainfo" "$manpage" "$prefix/$docdir/LICENSE"; do
  [ -f "$f" ] || fail "not installed: ${f#"$prefix"/}"
done
# F1 looks for the read-me from the window program's folder.
[ -f "$prefix/$windowdir/$doc_from_window/Readme.txt" ] ||
  fail "Readme.txt is not at $windowdir/$doc_from_window"

if has_tool readelf; then
  for program in "$tessarin" "$window"; do
    sections=$(readelf -S -W "$program" 2>&1)
    if grep -qE '\.debug_|\.symtab' <<<"$sections"; then
      fail "${program#"$prefix"/} carries debug information or a symbol table"
    fi
  done
fi

if has_tool desktop-file-validate; then
  desktop-file-validate "$desktop" >"$tmp/desktop.log" 2>&1 && [ ! -s "$tmp/desktop.log" ] ||
    { cat "$tmp/desktop.log"; fail "desktop-file-validate"; }
fi

if has_tool appstreamcli; then
  appstreamcli validate --no-net --strict "$metainfo" >"$tmp/appstream.log" 2>&1 ||
    { cat "$tmp/appstream.log"; fail "appstreamcli validate"; }
  # The whole tree: the launchable names the installed desktop entry.
  appstreamcli validate-tree --no-net --strict "$prefix" >"$tmp/tree.log" 2>&1 ||
    { cat "$tmp/tree.log"; fail "appstreamcli validate-tree"; }
  grep -q "<release version=\"$version\"" "$metainfo" ||
    fail "the AppStream releases do not list version $version"
fi

if has_tool man; then
  for width in 80 132; do
    LC_ALL=C.UTF-8 MANWIDTH=$width man --warnings -l "$manpage" 2>"$tmp/man.log" >/dev/null
    [ ! -s "$tmp/man.log" ] || { cat "$tmp/man.log"; fail "man --warnings (MANWIDTH=$width)"; }
  done
  grep -q "^\.TH TESSARIN 1 .*\"Tessarin $version\"" "$manpage" ||
    fail "the manual page is not for version $version"
fi

export XDG_CONFIG_HOME=$tmp/config
mkdir -p "$tmp/in" "$tmp/out"
cp "$source/tests/data/pngsuite/basn2c08.png" "$tmp/in/picture.png"
"$tessarin" /cmd /outdir "$tmp/out" /notmake /x 16 /y 16 "$tmp/in/picture.png" >"$tmp/cmd.log" 2>&1
status=$?
[ "$status" = 0 ] || { cat "$tmp/cmd.log"; fail "tessarin /cmd exited with $status"; }
tiles=$(find "$tmp/out" -name 'picture_*.png' | wc -l)
[ "$tiles" = 4 ] || { cat "$tmp/cmd.log"; fail "a 32 x 32 image gave $tiles tiles of 16 x 16, not 4"; }

# Without a display the window program says so itself: it was found.
env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$tessarin" >/dev/null 2>"$tmp/window.log"
grep -q 'ディスプレイが見つからない' "$tmp/window.log" ||
  { cat "$tmp/window.log"; fail "tessarin did not reach the installed window program"; }

env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$tessarin" --version >"$tmp/version.log" 2>&1
status=$?
[ "$status" = 0 ] && grep -qi tessarin "$tmp/version.log" ||
  { cat "$tmp/version.log"; fail "tessarin --version exited with $status"; }

if [ "$failures" != 0 ]; then
  echo "$failures check(s) failed"
  exit 1
fi
echo "the installed tree passed every check"
