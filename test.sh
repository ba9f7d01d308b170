#!/usr/bin/env bash
# Installs what is missing, builds and runs every test.
#   ./test.sh             Release build with debug info in build/
#   ./test.sh --sanitize  AddressSanitizer + UndefinedBehaviorSanitizer build in build-asan/
#   ./test.sh --tsan      ThreadSanitizer build in build-tsan/
set -euo pipefail
cd "$(dirname "$0")"
source scripts/deps.sh
tessarin_install_packages

build=build
flags=()
case "${1:-}" in
  --sanitize) build=build-asan; flags=(-DTESSARIN_SANITIZE=address,undefined) ;;
  --tsan) build=build-tsan; flags=(-DTESSARIN_SANITIZE=thread) ;;
  "") ;;
  *) echo "usage: $0 [--sanitize|--tsan]" >&2; exit 2 ;;
esac

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "${flags[@]}" >/dev/null
cmake --build "$build" -j "$(nproc)"
ctest --test-dir "$build" --output-on-failure -j "$(nproc)"
