#!/usr/bin/env bash
# Installs what is missing, builds and runs every test.
#   ./test.sh             Release build with debug info in build/, and the
#                         programs' -O3 Release build in build-release-check/
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

# The tree stays formatted: an unformatted source file fails the run.
unformatted=$(git ls-files '*.cpp' '*.h' | xargs clang-format --dry-run 2>&1 | grep -c 'warning:' || true)
if [ "$unformatted" != 0 ]; then
  git ls-files '*.cpp' '*.h' | xargs clang-format --dry-run 2>&1 | grep 'warning:' | cut -d: -f1 | sort -u >&2
  echo "clang-format: the files above are not formatted (clang-format -i FILE)" >&2
  exit 1
fi

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "${flags[@]}" >/dev/null
cmake --build "$build" -j "$(nproc)"

# The programs as the installation builds them (Release, -O3), with warnings
# as errors: GCC warns about code it only sees inlined at that level. The
# tests are not built there.
if [ ${#flags[@]} -eq 0 ]; then
  cmake -S . -B build-release-check -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_COMPILE_WARNING_AS_ERROR=ON >/dev/null
  cmake --build build-release-check -j "$(nproc)" --target tessarin tessarin-window
fi

ctest --test-dir "$build" --output-on-failure -j "$(nproc)"
