#!/usr/bin/env bash
# Fails on any #include that runs up a layer, naming the file and line.
#
#   platform            includes nothing of ours
#   settings, imaging   platform (and not each other)
#   split               platform, settings, imaging
#   app                 everything but ui (the command mode is in tessarin_core)
#   ui                  everything
#
# Each format's folder (src/imaging/<format>/) is its own: no other format's
# folder includes from it, and nothing outside src/imaging reaches into it;
# the rest of the program meets formats through the registry.
#
# Nothing below ui includes Qt, and neither do the engine's tests (every test
# outside tests/ui), which build without Qt. src/app/window_main.cpp is the
# window program's entry, outside tessarin_core: it may include ui.
#
#   check_layers.sh [SOURCE_ROOT]     (default: the repository holding this script)
set -euo pipefail
root=${1:-$(dirname "$0")/../..}
cd "$root"

files=$(find src tests -type f \( -name '*.cpp' -o -name '*.h' \) | LC_ALL=C sort)
# shellcheck disable=SC2086
awk '
function allowed(from, to) {
    if (from == "ui") return 1
    if (from == "app" || from == "the engine tests") return to != "ui"
    if (from == "split") return to == "platform" || to == "settings" || to == "imaging" || to == "split"
    if (from == "settings" || from == "imaging") return to == "platform" || to == from
    if (from == "platform") return to == "platform"
    return 1
}
function fail(why) {
    printf "%s:%d: %s: %s\n", FILENAME, FNR, why, $0
    bad++
}
FNR == 1 {
    n = split(FILENAME, part, "/")
    layer = ""
    qt_free = 0
    if (part[1] == "src") {
        layer = part[2]
        qt_free = layer != "ui"
        if (FILENAME == "src/app/window_main.cpp") layer = "ui"
    } else if (part[1] == "tests") {
        layer = part[2] == "ui" ? "ui" : "the engine tests"
        qt_free = layer != "ui"
    }
}
/^[ \t]*#[ \t]*include[ \t]*[<"]/ {
    line = $0
    sub(/^[ \t]*#[ \t]*include[ \t]*/, "", line)
    delim = substr(line, 1, 1)
    name = substr(line, 2)
    sub(/[>"].*$/, "", name)
    if (delim == "<") {
        if (qt_free && name ~ /^Q/) fail(layer " may not include Qt")
        next
    }
    if (name ~ /(^|\/)\.\.\//) { fail("includes through \"..\"; name the header from src/"); next }
    if (part[1] == "src" && name ~ /^imaging\/[^\/]+\//) {
        split(name, inner, "/")
        if (layer != "imaging") { fail(layer " may not reach into a format folder"); next }
        if (n >= 4 && part[3] != inner[2]) { fail("a format may not include the code of another format"); next }
    }
    slash = index(name, "/")
    if (slash == 0) next
    to = substr(name, 1, slash - 1)
    if (to != "platform" && to != "settings" && to != "imaging" && to != "split" && to != "app" && to != "ui")
        next
    if (!allowed(layer, to)) fail(layer " may not include " to "/")
}
END {
    if (bad) {
        printf "%d include(s) run up a layer (see tests/layering/check_layers.sh)\n", bad
        exit 1
    }
}
' $files
