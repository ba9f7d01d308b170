#!/usr/bin/env bash
# Installs what is missing, builds the two programs incrementally (./test.sh
# builds the rest) and runs build/tessarin with the given arguments.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
source "$here/scripts/deps.sh"
tessarin_install_packages >&2
if [ ! -f "$here/build/build.ninja" ]; then
  cmake -S "$here" -B "$here/build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
cmake --build "$here/build" -j "$(nproc)" --target tessarin tessarin-window >&2
exec "$here/build/tessarin" "$@"
